// SPDX-License-Identifier: GPL-3.0-or-later
// "tcp://host:port": raw TCP to a serial device server (or to the simulator),
// what the Qt TCP transport does, without Qt.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tavrik/DescriptorTransport.h"
#include "tavrik/PosixTransports.h"
#include "tavrik/TcpAddress.h"

namespace tavrik {
namespace {

// A peer that has gone answers a send with EPIPE instead of killing us.
#if defined(MSG_NOSIGNAL)
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

using Clock = std::chrono::steady_clock;

class PosixTcpTransport : public DescriptorTransport {
public:
    using DescriptorTransport::DescriptorTransport;

protected:
    ssize_t sendSome(const uint8_t* data, size_t size) override { return ::send(descriptor(), data, size, kSendFlags); }
    // Nothing received from a readable socket means the peer closed it.
    ssize_t receiveSome(uint8_t* data, size_t size) override
    {
        const ssize_t n = ::recv(descriptor(), data, size, 0);
        if (n == 0 && size > 0)
            errno = ECONNRESET;
        return n == 0 && size > 0 ? -1 : n;
    }
};

int NonBlockingSocket(const addrinfo& address)
{
    const int socket = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (socket < 0)
        return -1;
    ::fcntl(socket, F_SETFD, FD_CLOEXEC);
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
#if defined(SO_NOSIGPIPE)
    const int on = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    return socket;
}

// Waits until `deadline` for a connection to be made; the socket, or -1 with
// `error` saying why.
int ConnectBy(const addrinfo& address, Clock::time_point deadline, int& error)
{
    const int socket = NonBlockingSocket(address);
    if (socket < 0) {
        error = errno;
        return -1;
    }
    if (::connect(socket, address.ai_addr, address.ai_addrlen) == 0)
        return socket;
    error = errno;
    if (error == EINPROGRESS) {
        pollfd entry{socket, POLLOUT, 0};
        int ready = 0;
        do {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            ready = ::poll(&entry, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
        } while (ready < 0 && errno == EINTR);
        socklen_t size = sizeof error;
        error = ready == 0 ? ETIMEDOUT : 0;
        if (ready > 0 && ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
            error = errno;
        if (ready > 0 && error == 0)
            return socket;
    }
    ::close(socket);
    return -1;
}

// Tries each address the host name gives until one accepts or the time is up.
// Why a name lookup failed, worded as the Qt transport words it where a
// script may read it: the same command gives the same message either way.
std::string LookupFailure(int lookup)
{
    if (lookup == EAI_NONAME
#if defined(EAI_NODATA)
        || lookup == EAI_NODATA
#endif
    )
        return "Host not found";
    return lookup == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(lookup);
}

int Connect(const TcpAddress& parsed, const std::string& address, OpenOutcome& outcome)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(parsed.host.c_str(), std::to_string(parsed.port).c_str(), &hints, &found);
    if (lookup != 0) {
        const bool systemFault = lookup == EAI_SYSTEM || lookup == EAI_MEMORY;
        outcome.status = systemFault ? OpenStatus::Failed : OpenStatus::NotFound;
        outcome.message = address + ": " + LookupFailure(lookup);
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTcpConnectTimeoutMs);
    int error = ETIMEDOUT;
    int socket = -1;
    for (const addrinfo* each = found; each && socket < 0 && Clock::now() < deadline; each = each->ai_next)
        socket = ConnectBy(*each, deadline, error);
    ::freeaddrinfo(found);
    if (socket < 0) {
        outcome.status = error == ECONNREFUSED ? OpenStatus::NotFound : OpenStatus::Failed;
        outcome.message = address + ": " + std::strerror(error);
    }
    return socket;
}

}  // namespace

std::unique_ptr<Transport> MakePosixTcpTransport(const std::string& address, OpenOutcome& outcome)
{
    TcpAddress parsed;
    if (!ParseTcpAddress(address, parsed, outcome))
        return nullptr;
    const int socket = Connect(parsed, address, outcome);
    if (socket < 0)
        return nullptr;
    const int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    auto transport = std::make_unique<PosixTcpTransport>(socket);
    if (!parsed.token.empty()) {
        const std::string line = AuthLine(parsed.token);
        transport->write(reinterpret_cast<const uint8_t*>(line.data()), line.size(), kTcpConnectTimeoutMs);
    }
    outcome.status = OpenStatus::Opened;
    return transport;
}

OpenOutcome OpenPosixTransport(const std::string& address, uint32_t baudRate)
{
    OpenOutcome outcome;
    outcome.transport = IsTcpAddress(address) ? MakePosixTcpTransport(address, outcome)
                                              : MakePosixSerialTransport(address, baudRate, outcome);
    return outcome;
}

}  // namespace tavrik
