// SPDX-License-Identifier: GPL-3.0-or-later
#include "PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace quellix::sim {
namespace {

void MakeRaw(int fd)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(fd, TCSANOW, &settings);
    }
}

}  // namespace

PseudoTerminal::PseudoTerminal()
{
    // Close-on-exec: a program started meanwhile must not hold the line, or
    // closing it would not hang up the client.
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error_ = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        close();
        return;
    }
    const char* name = ::ptsname(master_);
    slavePath_ = name ? name : "";
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        error_ = "cannot open " + slavePath_ + ": " + std::strerror(errno);
        close();
        return;
    }
    MakeRaw(slave_);
    MakeRaw(master_);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

std::ptrdiff_t PseudoTerminal::read(uint8_t* buffer, size_t size)
{
    const ssize_t n = ::read(master_, buffer, size);
    if (n >= 0)
        return n;
    // EIO: the last program on the slave side closed it (until one opens it again).
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

std::ptrdiff_t PseudoTerminal::write(const uint8_t* bytes, size_t size)
{
    const ssize_t n = ::write(master_, bytes, size);
    if (n >= 0)
        return n;
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

void PseudoTerminal::close()
{
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
}

}  // namespace quellix::sim
