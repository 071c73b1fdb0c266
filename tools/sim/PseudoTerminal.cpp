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
    termios settings {};
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
}

PseudoTerminal::~PseudoTerminal()
{
    close();
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
