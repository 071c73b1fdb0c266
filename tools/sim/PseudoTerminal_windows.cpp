// SPDX-License-Identifier: GPL-3.0-or-later
#include "PseudoTerminal.h"

// Windows has no pseudo-terminal a program can open as a serial port: the
// simulator serves TCP there.
namespace quellix::sim {

PseudoTerminal::PseudoTerminal()
    : error_("pseudo-terminals are not available on this system; serve TCP instead")
{
}

PseudoTerminal::~PseudoTerminal() = default;

std::ptrdiff_t PseudoTerminal::read(uint8_t*, size_t)
{
    return -1;
}

std::ptrdiff_t PseudoTerminal::write(const uint8_t*, size_t)
{
    return -1;
}

void PseudoTerminal::close()
{
}

}  // namespace quellix::sim
