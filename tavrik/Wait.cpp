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

}  // namespace tavrik
