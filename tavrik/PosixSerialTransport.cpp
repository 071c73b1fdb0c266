// SPDX-License-Identifier: GPL-3.0-or-later
// Serial ports (and pseudo-terminals) through termios at 8N1, no flow
// control, raw: what the Qt serial transport does, without Qt.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

#include "tavrik/DescriptorTransport.h"
#include "tavrik/PortLockFile.h"
#include "tavrik/PortTable.h"
#include "tavrik/PosixTransports.h"

namespace tavrik {
namespace {

class PosixSerialTransport : public DescriptorTransport {
public:
    PosixSerialTransport(int descriptor, const termios& original, std::unique_ptr<PortLockFile> lock)
        : DescriptorTransport(descriptor)
        , original_(original)
        , lock_(std::move(lock))
    {
    }

    // Leaves the port as it was found and free to others, the lock file last.
    ~PosixSerialTransport() override
    {
        ::tcsetattr(descriptor(), TCSANOW, &original_);
#if defined(TIOCNXCL)
        ::ioctl(descriptor(), TIOCNXCL);
#endif
        closeDescriptor();
    }

protected:
    void flushSystemInput() override
    {
        ::tcflush(descriptor(), TCIFLUSH);
    }

private:
    termios original_;
    std::unique_ptr<PortLockFile> lock_;
};

// The speeds termios names; others are refused.
bool SpeedOf(uint32_t baudRate, speed_t& speed)
{
    static const std::pair<uint32_t, speed_t> kSpeeds[] = {
        {50, B50},
        {75, B75},
        {110, B110},
        {134, B134},
        {150, B150},
        {200, B200},
        {300, B300},
        {600, B600},
        {1200, B1200},
        {1800, B1800},
        {2400, B2400},
        {4800, B4800},
        {9600, B9600},
        {19200, B19200},
        {38400, B38400},
        {57600, B57600},
        {115200, B115200},
        {230400, B230400},
#if defined(B460800)
        {460800, B460800},
        {921600, B921600},
#endif
    };
    for (const auto& [rate, value] : kSpeeds) {
        if (rate == baudRate) {
            speed = value;
            return true;
        }
    }
    return false;
}

// Raw 8N1 without flow control; reads return at once with what is there.
bool Configure(int descriptor, const termios& original, speed_t speed)
{
    termios settings = original;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD | CS8;
    settings.c_cflag &= ~(PARENB | CSTOPB);
#if defined(CRTSCTS)
    settings.c_cflag &= ~CRTSCTS;
#endif
    settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    return ::cfsetispeed(&settings, speed) == 0 && ::cfsetospeed(&settings, speed) == 0
        && ::tcsetattr(descriptor, TCSANOW, &settings) == 0;
}

// A bare name means a device file, as Qt reads port names.
std::string SystemLocation(const std::string& path)
{
    const bool isPath = path.rfind('/', 0) == 0 || path.rfind("./", 0) == 0 || path.rfind("../", 0) == 0;
    return isPath ? path : "/dev/" + path;
}

void Fail(OpenOutcome& outcome, OpenStatus status, std::string message)
{
    outcome.status = status;
    outcome.message = std::move(message);
}

// A refusal to open is a missing right only when the file is not ours to
// read and write; otherwise another program holds the port exclusively.
void DescribeRefusal(const std::string& path, const std::string& location, OpenOutcome& outcome)
{
    if (::access(location.c_str(), R_OK | W_OK) != 0 && errno == EACCES)
        Fail(outcome, OpenStatus::NoPermission, path + ": permission denied. " + SerialAccessHint(location));
    else
        Fail(outcome, OpenStatus::InUse, path + " is in use by another program");
}

void DescribeOpenFailure(int error, const std::string& path, const std::string& location, OpenOutcome& outcome)
{
    switch (error) {
    case ENOENT:
    case ENODEV: Fail(outcome, OpenStatus::NotFound, path + ": no such port"); return;
    case EBUSY: Fail(outcome, OpenStatus::InUse, path + " is in use by another program"); return;
    case EACCES:
    case EPERM: DescribeRefusal(path, location, outcome); return;
    default: Fail(outcome, OpenStatus::Failed, path + ": " + std::strerror(error)); return;
    }
}

// The lock file first, as Qt SerialPort takes it, so that two programs
// opening the port at once do not both get it.
std::unique_ptr<PortLockFile> LockPort(const std::string& path, const std::string& location, OpenOutcome& outcome)
{
    const std::string lockPath = PortLockFile::PathFor(location);
    if (lockPath.empty()) {
        Fail(outcome, OpenStatus::Failed, path + ": no folder to hold its lock file");
        return nullptr;
    }
    auto lock = std::make_unique<PortLockFile>();
    switch (lock->take(lockPath)) {
    case PortLockFile::Outcome::Taken: return lock;
    case PortLockFile::Outcome::Held: Fail(outcome, OpenStatus::InUse, path + " is in use by another program"); break;
    case PortLockFile::Outcome::Failed:
        Fail(outcome, OpenStatus::Failed,
             path + ": cannot make the lock file " + lockPath + ": " + std::strerror(errno));
        break;
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<Transport> MakePosixSerialTransport(const std::string& path, uint32_t baudRate, OpenOutcome& outcome)
{
    speed_t speed = B9600;
    if (!SpeedOf(baudRate, speed)) {
        Fail(outcome, OpenStatus::Failed, path + ": " + std::to_string(baudRate) + " baud is not supported");
        return nullptr;
    }
    const std::string location = SystemLocation(path);
    auto lock = LockPort(path, location, outcome);
    if (!lock)
        return nullptr;
    const int descriptor = ::open(location.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        DescribeOpenFailure(errno, path, location, outcome);
        return nullptr;
    }
#if defined(TIOCEXCL)
    ::ioctl(descriptor, TIOCEXCL);  // further opens fail with EBUSY (except for root)
#endif
    termios original{};
    if (::tcgetattr(descriptor, &original) != 0 || !Configure(descriptor, original, speed)) {
        Fail(outcome, OpenStatus::Failed, path + ": " + std::strerror(errno));
#if defined(TIOCNXCL)
        ::ioctl(descriptor, TIOCNXCL);
#endif
        ::close(descriptor);
        return nullptr;
    }
    outcome.status = OpenStatus::Opened;
    return std::make_unique<PosixSerialTransport>(descriptor, original, std::move(lock));
}

}  // namespace tavrik
