// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// quellix-cli's exit statuses, shared by the full program and the launcher.

namespace quellix::cli {

enum ExitCode : int {
    kOk = 0,
    kNoAnswer = 1,     // the device gave no valid answer
    kUsage = 2,        // bad verb, option or number; nothing was sent
    kPortProblem = 3,  // the port could not be opened or was not open
    kFileProblem = 4,
};

}  // namespace quellix::cli
