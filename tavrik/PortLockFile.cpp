// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrik/PortLockFile.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tavrik {
namespace {

// A lock file untouched this long and flock()ed by no one is taken over.
constexpr auto kStaleAge = std::chrono::seconds(30);
constexpr size_t kMaximumContent = 4096;

struct LockOwner {
    long long pid = 0;
    std::string program;
    std::string host;
    std::string machineId;
    std::string bootId;
};

std::string ReadStart(const char* path, size_t limit)
{
    const int file = ::open(path, O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return {};
    std::string text(limit, '\0');
    const ssize_t n = ::read(file, text.data(), limit);
    ::close(file);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

std::string TempFolder()
{
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder && *folder ? folder : "/tmp";
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string HostName()
{
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::string MachineId()
{
    const int hexDigits = 32;
    std::string id = ReadStart("/var/lib/dbus/machine-id", hexDigits);
    if (id.empty() && errno == ENOENT)
        id = ReadStart("/usr/local/var/lib/dbus/machine-id", hexDigits);
    return id;
}

std::string BootId()
{
    const size_t uuidLength = 36;
    const std::string id = ReadStart("/proc/sys/kernel/random/boot_id", uuidLength);
    return id.size() == uuidLength ? id : "";
}

// The file name of a process's program; "" when the system cannot tell.
std::string ProgramOf(long long pid)
{
#if defined(__linux__)
    if (::access("/proc/version", F_OK) != 0)
        return {};
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    char target[4096];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0)
        return "/ERROR/";  // gone, or not ours to see: names no program
    std::string path(target, static_cast<size_t>(n));
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        path.resize(path.size() - deleted.size());
    return path.substr(path.rfind('/') + 1);
#else
    (void)pid;
    return {};
#endif
}

std::string Contents()
{
    const long long pid = ::getpid();
    return std::to_string(pid) + '\n' + ProgramOf(pid) + '\n' + HostName() + '\n' + MachineId() + '\n' + BootId()
        + '\n';
}

bool ReadOwner(const std::string& path, LockOwner& owner)
{
    std::istringstream lines(ReadStart(path.c_str(), kMaximumContent));
    std::string pid;
    std::getline(lines, pid);
    std::getline(lines, owner.program);
    std::getline(lines, owner.host);
    std::getline(lines, owner.machineId);
    std::getline(lines, owner.bootId);
    char* end = nullptr;
    owner.pid = std::strtoll(pid.c_str(), &end, 10);
    return !pid.empty() && *end == '\0' && owner.pid > 0;
}

// The process is alive and still runs the program that took the lock (its
// number was not given to another).
bool Running(const LockOwner& owner)
{
    if (::kill(static_cast<pid_t>(owner.pid), 0) == -1 && errno == ESRCH)
        return false;
    const std::string program = ProgramOf(owner.pid);
    return program.empty() || program == owner.program.substr(owner.program.rfind('/') + 1);
}

bool OnThisHost(const LockOwner& owner)
{
    if (!owner.machineId.empty()) {
        if (const std::string ours = MachineId(); !ours.empty())
            return ours == owner.machineId;
    }
    return owner.host.empty() || owner.host == HostName();
}

bool ApparentlyStale(const std::string& path)
{
    LockOwner owner;
    if (ReadOwner(path, owner) && OnThisHost(owner)) {
        if (!owner.bootId.empty() && owner.bootId != BootId())
            return true;
        if (!Running(owner))
            return true;
    }
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        return false;
    const auto modified = std::chrono::system_clock::from_time_t(info.st_mtime);
    const auto age = std::chrono::system_clock::now() - modified;
    return age > kStaleAge || age < -kStaleAge;
}

// Removes a lock file no one holds: its owner keeps it flock()ed.
bool RemoveUnheld(const std::string& path)
{
    const int file = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    const bool removed = ::flock(file, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.c_str()) == 0;
    ::close(file);
    return removed;
}

bool WriteAll(int file, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(file, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string PortLockFile::PathFor(const std::string& devicePath)
{
    std::string name = devicePath.rfind("/dev/", 0) == 0 ? devicePath.substr(5) : devicePath;
    for (char& c : name)
        c = c == '/' ? '_' : c;
    const std::vector<std::string> folders = {"/var/lock",         "/etc/locks", "/var/spool/locks",
                                              "/var/spool/uucp",   "/tmp",       "/var/tmp",
                                              "/var/lock/lockdev", "/run/lock",  TempFolder()};
    for (const std::string& folder : folders) {
        const std::string path = folder + "/LCK.." + name;
        if (::access(folder.c_str(), R_OK) == 0
            && (::access(path.c_str(), F_OK) == 0 || ::access(folder.c_str(), W_OK) == 0))
            return path;
    }
    return {};
}

PortLockFile::~PortLockFile()
{
    release();
}

PortLockFile::Outcome PortLockFile::take(const std::string& path)
{
    return take(path, 0);
}

// Two takers of a stale lock settle who removes it by a lock of its own,
// "<path>.rmlock", itself taken over when its taker died (one level deep).
PortLockFile::Outcome PortLockFile::take(const std::string& path, int depth)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int file = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file >= 0) {
            ::flock(file, LOCK_EX | LOCK_NB);  // keeps takers of stale locks off while we live
            if (!WriteAll(file, Contents())) {
                const int error = errno;
                ::close(file);
                ::unlink(path.c_str());
                errno = error ? error : ENOSPC;
                return Outcome::Failed;
            }
            ::fdatasync(file);
            path_ = path;
            descriptor_ = file;
            return Outcome::Taken;
        }
        if (errno != EEXIST)
            return Outcome::Failed;
        if (depth > 1 || !ApparentlyStale(path))
            return Outcome::Held;
        PortLockFile removal;
        if (removal.take(path + ".rmlock", depth + 1) != Outcome::Taken || !ApparentlyStale(path)
            || !RemoveUnheld(path))
            return Outcome::Held;
    }
    return Outcome::Held;
}

void PortLockFile::release()
{
    if (descriptor_ < 0)
        return;
    ::unlink(path_.c_str());
    ::close(descriptor_);
    descriptor_ = -1;
}

}  // namespace tavrik
