#include "LineServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quellix::sim {
namespace {

using Clock = std::chrono::steady_clock;

void SetNonBlocking(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

int Listen(const std::string& host, uint16_t port, uint16_t& boundPort, std::string& error)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (int status = ::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found); status != 0) {
        error = host + ": " + ::gai_strerror(status);
        return -1;
    }
    int fd = -1;
    for (addrinfo* candidate = found; candidate && fd < 0; candidate = candidate->ai_next) {
        fd = ::socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC, candidate->ai_protocol);
        if (fd < 0)
            continue;
        const int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(fd, candidate->ai_addr, candidate->ai_addrlen) != 0 || ::listen(fd, 1) != 0) {
            error = "cannot listen on " + host + ":" + service + ": " + std::strerror(errno);
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (fd < 0)
        return -1;
    sockaddr_storage bound {};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    boundPort = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                  : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    SetNonBlocking(fd);
    return fd;
}

}  // namespace

LineServer::LineServer(Receiver receiver)
    : receiver_(std::move(receiver))
{
    if (::pipe2(wakePipe_, O_CLOEXEC) == 0) {
        SetNonBlocking(wakePipe_[0]);
        SetNonBlocking(wakePipe_[1]);
    }
}

std::unique_ptr<LineServer> LineServer::OnPseudoTerminal(Receiver receiver, std::string& error)
{
    std::unique_ptr<LineServer> server(new LineServer(std::move(receiver)));
    server->pty_ = std::make_unique<PseudoTerminal>();
    if (!server->pty_->ok()) {
        error = server->pty_->error();
        return nullptr;
    }
    SetNonBlocking(server->pty_->masterFd());
    server->thread_ = std::thread(&LineServer::run, server.get());
    return server;
}

std::unique_ptr<LineServer> LineServer::OnTcp(const std::string& host, uint16_t port, Receiver receiver,
                                               std::string& error)
{
    std::unique_ptr<LineServer> server(new LineServer(std::move(receiver)));
    server->host_ = host.empty() ? "127.0.0.1" : host;
    server->listenFd_ = Listen(server->host_, port, server->tcpPort_, error);
    if (server->listenFd_ < 0)
        return nullptr;
    server->thread_ = std::thread(&LineServer::run, server.get());
    return server;
}

LineServer::~LineServer()
{
    stop();
    if (listenFd_ >= 0)
        ::close(listenFd_);
    closeClient();
    for (int fd : wakePipe_)
        if (fd >= 0)
            ::close(fd);
}

std::string LineServer::address() const
{
    std::lock_guard lock(mutex_);
    if (pty_)
        return pty_->slavePath();
    const bool ipv6 = host_.find(':') != std::string::npos;
    return "tcp://" + (ipv6 ? "[" + host_ + "]" : host_) + ":" + std::to_string(tcpPort_);
}

void LineServer::send(Bytes bytes, std::chrono::microseconds delay, std::chrono::microseconds byteGap)
{
    if (bytes.empty())
        return;
    {
        std::lock_guard lock(mutex_);
        // A paced byte arrives when its last bit has gone, one byte time after it starts.
        Clock::time_point due = Clock::now() + delay + byteGap;
        if (!outgoing_.empty() && outgoing_.back().due > due)
            due = outgoing_.back().due;  // keep the order of the line
        outgoing_.push_back(Pending{due, byteGap, std::move(bytes)});
    }
    wake();
}

void LineServer::hangUp()
{
    {
        std::lock_guard lock(mutex_);
        hangUpRequested_ = true;
    }
    wake();
}

void LineServer::onAddressChange(std::function<void(const std::string&)> callback)
{
    std::lock_guard lock(mutex_);
    addressChanged_ = std::move(callback);
}

void LineServer::stop()
{
    if (stopping_.exchange(true))
        return;
    wake();
    if (thread_.joinable())
        thread_.join();
}

bool LineServer::waitForClient(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!pty_ && clientFd_ < 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return pty_ || clientFd_ >= 0;
}

void LineServer::wake()
{
    const char byte = 0;
    [[maybe_unused]] ssize_t ignored = ::write(wakePipe_[1], &byte, 1);
}

int LineServer::lineFd() const
{
    return pty_ ? pty_->masterFd() : clientFd_.load();
}

void LineServer::acceptClient()
{
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (clientFd_ >= 0) {  // one client at a time, like a serial line
        ::close(fd);
        return;
    }
    const int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    SetNonBlocking(fd);
    clientFd_ = fd;
}

void LineServer::closeClient()
{
    if (clientFd_ >= 0)
        ::close(clientFd_);
    clientFd_ = -1;
}

void LineServer::readLine()
{
    uint8_t buffer[512];
    const ssize_t n = ::read(lineFd(), buffer, sizeof buffer);
    if (n > 0) {
        receiver_(Bytes(buffer, buffer + n));
        return;
    }
    // A TCP client that left; a pseudo-terminal whose last user closed the
    // slave reports EIO until it is opened again, which is not an end.
    if (!pty_ && (n == 0 || (errno != EAGAIN && errno != EINTR)))
        closeClient();
}

// Returns how long, in microseconds, until the next byte is due (-1: none).
int LineServer::flushDue()
{
    std::lock_guard lock(mutex_);
    while (!outgoing_.empty()) {
        Pending& next = outgoing_.front();
        const auto now = Clock::now();
        if (next.due > now)
            return static_cast<int>(std::chrono::ceil<std::chrono::microseconds>(next.due - now).count());
        const int fd = lineFd();
        if (fd < 0) {  // no client: the bytes go nowhere, as on an unplugged cable
            outgoing_.pop_front();
            continue;
        }
        const size_t chunk = next.byteGap.count() > 0 ? 1 : next.bytes.size() - next.sent;
        const ssize_t written = ::write(fd, next.bytes.data() + next.sent, chunk);
        if (written < 0)
            return errno == EAGAIN ? 1000 : (outgoing_.pop_front(), 0);
        next.sent += static_cast<size_t>(written);
        if (next.sent == next.bytes.size())
            outgoing_.pop_front();
        else if (next.byteGap.count() > 0)
            next.due += next.byteGap;  // from when the byte was due, so waking late does not add up
    }
    return -1;
}

void LineServer::reopenPseudoTerminal()
{
    auto fresh = std::make_unique<PseudoTerminal>();
    if (fresh->ok())
        SetNonBlocking(fresh->masterFd());
    std::lock_guard lock(mutex_);
    pty_ = std::move(fresh);
}

void LineServer::run()
{
    while (!stopping_) {
        bool hangUp = false;
        std::function<void(const std::string&)> announce;
        {
            std::lock_guard lock(mutex_);
            std::swap(hangUp, hangUpRequested_);
            if (hangUp) {
                outgoing_.clear();
                announce = addressChanged_;
            }
        }
        if (hangUp) {
            if (pty_)
                reopenPseudoTerminal();
            else
                closeClient();
            if (announce)
                announce(address());
        }
        const int timeoutUs = flushDue();
        pollfd fds[3] = {{wakePipe_[0], POLLIN, 0}, {lineFd(), POLLIN, 0}, {listenFd_, POLLIN, 0}};
        const timespec timeout{timeoutUs < 0 ? 1 : timeoutUs / 1000000, timeoutUs < 0 ? 0 : (timeoutUs % 1000000) * 1000L};
        const int ready = ::ppoll(fds, 3, &timeout, nullptr);
        if (ready <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wakePipe_[0], drain, sizeof drain) > 0) {
            }
        }
        if (fds[1].fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            readLine();
        if (fds[1].fd >= 0 && pty_ && (fds[1].revents & POLLHUP) && !(fds[1].revents & POLLIN))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));  // no program on the line yet
        if (fds[2].fd >= 0 && (fds[2].revents & POLLIN))
            acceptClient();
    }
}

}  // namespace quellix::sim
