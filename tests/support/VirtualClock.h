// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs every pause of the system in virtual time: Wait() adds to a counter
// instead of sleeping, scripted ports advance the same counter while a read
// waits in vain, and the line's pacing reads the counter as its clock.
#include <atomic>
#include <cstdint>
#include <vector>

#include "tavrik/Wait.h"

namespace testsupport {

class VirtualClock {
public:
    VirtualClock()
    {
        previous_ = tavrik::SetWaitFunction([this](uint32_t ms) {
            now_ += ms;
            waits_.push_back(ms);
        });
        previousClock_ = tavrik::SetClockFunction([this] { return now_.load() * 1000; });
    }
    ~VirtualClock()
    {
        tavrik::SetWaitFunction(previous_);
        tavrik::SetClockFunction(previousClock_);
    }
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    uint64_t now() const { return now_; }
    void advance(uint64_t ms) { now_ += ms; }
    // The pauses taken through Wait(), in order.
    const std::vector<uint32_t>& waits() const { return waits_; }

private:
    std::atomic<uint64_t> now_{0};
    std::vector<uint32_t> waits_;
    tavrik::WaitFunction previous_;
    tavrik::ClockFunction previousClock_;
};

// Makes Wait() return at once, for tests over real lines whose reads wait
// on the operating system anyway.
class NoWaiting {
public:
    NoWaiting()
    {
        previous_ = tavrik::SetWaitFunction([](uint32_t) {});
    }
    ~NoWaiting() { tavrik::SetWaitFunction(previous_); }

private:
    tavrik::WaitFunction previous_;
};

}  // namespace testsupport
