// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Private to Tavrik: the byte channel over a non-blocking POSIX descriptor,
// shared by the POSIX serial and TCP transports.
#include <chrono>
#include <functional>
#include <sys/types.h>

#include "tavrik/Transport.h"

namespace tavrik {

class DescriptorTransport : public Transport {
public:
    explicit DescriptorTransport(int descriptor);
    ~DescriptorTransport() override;
    DescriptorTransport(const DescriptorTransport&) = delete;
    DescriptorTransport& operator=(const DescriptorTransport&) = delete;

    bool write(const uint8_t* data, size_t size, uint32_t timeoutMs) override;
    size_t read(uint8_t* data, size_t size, uint32_t timeoutMs) override;
    void discardInput() override;
    bool broken() const override;

protected:
    int descriptor() const { return descriptor_; }
    // Closes the descriptor ahead of this object (a subclass that must let
    // go of more after it).
    void closeDescriptor();
    // One non-blocking transfer, as ::write() and ::read() answer: 0 or
    // EAGAIN when nothing moves now, any other failure when the far end has gone.
    virtual ssize_t sendSome(const uint8_t* data, size_t size);
    virtual ssize_t receiveSome(uint8_t* data, size_t size);
    // Drops received bytes the operating system still holds.
    virtual void flushSystemInput() { }

private:
    using Clock = std::chrono::steady_clock;
    enum class Wait {
        Ready,
        TimedOut,
        HungUp
    };
    Wait waitFor(short events, Clock::time_point deadline);
    // Runs `step` (given the bytes moved so far) until `size` bytes have
    // moved, the time is up or the far end has gone; returns the bytes moved.
    size_t transfer(size_t size, short events, uint32_t timeoutMs, const std::function<ssize_t(size_t)>& step);

    int descriptor_;
    bool broken_ = false;
};

}  // namespace tavrik
