// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrik/Wait.h"

#include <chrono>
#include <thread>

#include "tavrik/Replaceable.h"

namespace tavrik {
namespace {

void Sleep(uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint64_t SteadyMicroseconds()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

Replaceable<ClockFunction>& CurrentClock()
{
    static Replaceable<ClockFunction> clock{ClockFunction(SteadyMicroseconds)};
    return clock;
}

Replaceable<WaitFunction>& CurrentWait()
{
    static Replaceable<WaitFunction> wait{WaitFunction(Sleep)};
    return wait;
}

}  // namespace

void Wait(uint32_t milliseconds)
{
    CurrentWait().get()(milliseconds);
}

WaitFunction SetWaitFunction(WaitFunction function)
{
    return CurrentWait().replace(std::move(function));
}

uint64_t NowMicroseconds()
{
    return CurrentClock().get()();
}

ClockFunction SetClockFunction(ClockFunction function)
{
    return CurrentClock().replace(std::move(function));
}

}  // namespace tavrik
