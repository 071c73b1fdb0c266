// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Waits for a condition instead of for a fixed time: a test that needs
// another thread or process to get somewhere polls for it with a deadline.
#include <chrono>
#include <thread>

namespace testsupport {

// True as soon as `condition()` holds; false when it still does not after
// `deadline`. Polls every few milliseconds.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds deadline = std::chrono::seconds(20))
{
    const auto giveUp = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= giveUp)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace testsupport
