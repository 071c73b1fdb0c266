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

}  // namespace tavrik
