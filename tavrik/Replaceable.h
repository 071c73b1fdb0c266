// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A process-wide function that tests or front ends may replace, falling
// back to the built-in one when given an empty function: Tavrik's hooks (wait,
// error reporter, opener) and the windows' (message boxes, file dialog).
// Devices' worker threads call it while another thread may replace it: each
// call takes its own copy under a lock.
#include <mutex>
#include <utility>

namespace tavrik {

template <typename Function>
class Replaceable {
public:
    explicit Replaceable(Function builtIn)
        : builtIn_(builtIn)
        , current_(std::move(builtIn))
    {
    }

    Function get() const
    {
        std::lock_guard lock(mutex_);
        return current_;
    }

    Function replace(Function function)
    {
        std::lock_guard lock(mutex_);
        Function previous = std::move(current_);
        current_ = function ? std::move(function) : builtIn_;
        return previous;
    }

private:
    mutable std::mutex mutex_;
    Function builtIn_;
    Function current_;
};

}  // namespace tavrik
