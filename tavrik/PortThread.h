// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <functional>
#include <memory>

#include "tavrik/TavrikExport.h"

namespace tavrik {

// A thread on which a port driver can be used. The serial and network
// objects behind a port watch their sockets through Qt, which works only on
// threads that Qt started; a plain std::thread cannot carry them.
class TAVRIK_EXPORT PortThread {
public:
    // Starts running `body` at once.
    explicit PortThread(std::function<void()> body);
    // Waits for `body` to return.
    ~PortThread();
    PortThread(const PortThread&) = delete;
    PortThread& operator=(const PortThread&) = delete;

    // Waits for `body` to return; later calls return at once.
    void join();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tavrik
