// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/PlatformFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xandrel::platform {
namespace {

namespace fs = std::filesystem;

std::string Reason(int error)
{
    return std::strerror(error);
}

// Why the file at `target` must not be replaced ("" when it may be): only a
// regular file with its owner's write permission is; a device, a pipe or a
// folder is not a file to save over, and a read-only file was made so.
std::string WhyNotReplaceable(const fs::path& target, mode_t& mode, bool& exists)
{
    struct stat status { };
    exists = ::stat(target.c_str(), &status) == 0;
    if (!exists)
        return errno == ENOENT ? "" : Reason(errno);
    if (!S_ISREG(status.st_mode))
        return "it is not a regular file";
    if ((status.st_mode & S_IWUSR) == 0)
        return "the file is read-only";
    mode = status.st_mode & 07777;
    return {};
}

bool WriteAll(int file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(file, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// Creates a temporary file beside `target` that did not exist before (new
// files get the permissions the user's umask gives; a replaced file keeps its
// own), writes the bytes and flushes them to the disk. -1 on failure, with
// errno set and nothing left behind.
int WriteTemporary(const fs::path& target, std::string_view bytes, bool keepMode, mode_t mode,
                   fs::path (*temporaryName)(const fs::path&), std::string& name)
{
    int file = -1;
    for (int attempt = 0; attempt < 100 && file < 0; ++attempt) {
        name = temporaryName(target).string();
        file = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file < 0 && errno != EEXIST)
            return -1;
    }
    if (file < 0)
        return -1;
    if ((keepMode && ::fchmod(file, mode) != 0) || !WriteAll(file, bytes) || ::fsync(file) != 0) {
        const int error = errno;
        ::close(file);
        ::unlink(name.c_str());
        errno = error;
        return -1;
    }
    return file;
}

// The rename is flushed too, so a power cut after the save keeps the new file.
void FlushFolder(const fs::path& target)
{
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle >= 0) {
        ::fsync(handle);
        ::close(handle);
    }
}

}  // namespace

bool ReplaceWithBytes(const fs::path& target, const std::string& shown, std::string_view bytes,
                      fs::path (*temporaryName)(const fs::path&), std::string& error)
{
    mode_t mode = 0;
    bool exists = false;
    if (const std::string why = WhyNotReplaceable(target, mode, exists); !why.empty()) {
        error = "Cannot save " + shown + ": " + why + ".";
        return false;
    }
    std::string temporary;
    const int file = WriteTemporary(target, bytes, exists, mode, temporaryName, temporary);
    if (file < 0) {
        error = "Cannot save " + shown + ": " + Reason(errno) + ".";
        return false;
    }
    const bool closed = ::close(file) == 0;
    const int closeError = errno;
    if (!closed || ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = "Cannot save " + shown + ": " + Reason(closed ? errno : closeError) + ".";
        ::unlink(temporary.c_str());
        return false;
    }
    FlushFolder(target);
    return true;
}

std::string FolderRefusal(const fs::path& folder)
{
    return ::access(folder.c_str(), W_OK) == 0 ? std::string() : std::strerror(errno);
}

}  // namespace xandrel::platform
