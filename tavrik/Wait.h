// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <functional>

#include "tavrik/TavrikExport.h"

namespace tavrik {

// Every pause of the system (command pacing, EDID waits, the interval between
// read tries) goes through Wait(), so tests can replace it with a virtual clock.
using WaitFunction = std::function<void(uint32_t milliseconds)>;

// Pauses for the given time through the current wait function.
TAVRIK_EXPORT void Wait(uint32_t milliseconds);

// Installs a wait function and returns the one it replaces. An empty function
// restores the real sleep.
TAVRIK_EXPORT WaitFunction SetWaitFunction(WaitFunction function);

// The clock the pacing of the line is measured on: microseconds of a steady
// clock (fine enough that a rest measured on it is never shorter than asked).
// Tests that run in virtual time replace it together with Wait().
using ClockFunction = std::function<uint64_t()>;

// Microseconds since an arbitrary start, never going back.
TAVRIK_EXPORT uint64_t NowMicroseconds();

// Installs a clock and returns the one it replaces. An empty function
// restores the steady clock.
TAVRIK_EXPORT ClockFunction SetClockFunction(ClockFunction function);

}  // namespace tavrik
