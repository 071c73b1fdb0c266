// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrik/DescriptorTransport.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace tavrik {
namespace {

// Nothing to transfer now; a wait for readiness follows.
bool WouldBlock(ssize_t result)
{
    return result == 0 || (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
}

}  // namespace

DescriptorTransport::DescriptorTransport(int descriptor)
    : descriptor_(descriptor)
{
}

DescriptorTransport::~DescriptorTransport()
{
    closeDescriptor();
}

void DescriptorTransport::closeDescriptor()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
}

ssize_t DescriptorTransport::sendSome(const uint8_t* data, size_t size)
{
    return ::write(descriptor_, data, size);
}

ssize_t DescriptorTransport::receiveSome(uint8_t* data, size_t size)
{
    return ::read(descriptor_, data, size);
}

// A hang-up (a terminal whose far end closed, a connection shut both ways)
// ends every wait at once; the caller tries the transfer once more, and if
// that moves nothing either the device is gone.
DescriptorTransport::Wait DescriptorTransport::waitFor(short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd entry{descriptor_, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return Wait::TimedOut;
        if (ready < 0 || (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            return Wait::HungUp;
        return Wait::Ready;
    }
}

// Any failure other than "not now" means the device or the connection is
// gone: the driver opens the port afresh.
size_t DescriptorTransport::transfer(size_t size, short events, uint32_t timeoutMs,
                                     const std::function<ssize_t(size_t)>& step)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool hungUp = false;
    size_t done = 0;
    while (done < size && !broken_) {
        const ssize_t n = step(done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (!WouldBlock(n) || hungUp) {
            broken_ = true;
        } else {
            const Wait wait = waitFor(events, deadline);
            if (wait == Wait::TimedOut)
                break;
            hungUp = wait == Wait::HungUp;
        }
    }
    return done;
}

bool DescriptorTransport::write(const uint8_t* data, size_t size, uint32_t timeoutMs)
{
    const auto send = [&](size_t done) { return sendSome(data + done, size - done); };
    return transfer(size, POLLOUT, timeoutMs, send) == size;
}

size_t DescriptorTransport::read(uint8_t* data, size_t size, uint32_t timeoutMs)
{
    return transfer(size, POLLIN, timeoutMs, [&](size_t done) { return receiveSome(data + done, size - done); });
}

void DescriptorTransport::discardInput()
{
    if (broken_)
        return;
    flushSystemInput();
    uint8_t sink[512];
    for (;;) {
        const ssize_t n = receiveSome(sink, sizeof sink);
        if (n > 0 || (n < 0 && errno == EINTR))
            continue;
        broken_ = !WouldBlock(n);
        return;
    }
}

bool DescriptorTransport::broken() const
{
    return broken_;
}

}  // namespace tavrik
