// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the launcher puts in place of Qt when it runs a device command itself:
// ports opened with POSIX calls, no listing of the system's ports (asking for
// one throws PortListingNeeded, and the full program takes the command), and
// a traffic log that hands its lines to its listeners (--trace) directly.

namespace quellix::cli {

struct PortListingNeeded { };

}  // namespace quellix::cli
