// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line of the windowed programs, read before any window, display
// connection or data folder exists: --help and --version are answered and an
// unknown option is refused without them. Qt's own options (-platform NAME,
// -style NAME, -reverse, ...) are left for QApplication.
#include <optional>
#include <string>

namespace xandrel {
struct ModelSpec;
}

namespace quellix {

struct ProgramUsage {
    const char* name;   // the program's name, as typed
    const char* about;  // what the program does, for --help
};

// What the command line chose for the run.
struct ProgramOptions {
    // --model NAME (-m NAME), else $QUELLIX_MODEL; null when neither names
    // one. Any name quellix-cli takes: a short name ("4x4", "vga-5x5"), a
    // class name, a mode index or a mode's name.
    const xandrel::ModelSpec* model = nullptr;
};

// The exit status when the command line was answered (0) or refused (2);
// nothing when the program is to go on. With `options` the program takes
// --model too (an unknown model is refused).
std::optional<int> AnswerCommandLine(int argc, char** argv, const ProgramUsage& usage,
                                     ProgramOptions* options = nullptr);

}  // namespace quellix
