// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What quellix-cli says on standard error when something fails.
#include <string>

namespace quellix::cli {

// Prints "quellix-cli: <text>" on stderr and keeps it as the reason of a
// failure (see LastComplaint).
void Complain(const std::string& text);
std::string LastComplaint();

}  // namespace quellix::cli
