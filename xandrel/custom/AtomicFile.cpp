#include "xandrel/custom/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define XANDREL_POSIX_FILES 1
#endif

namespace xandrel {
namespace {

namespace fs = std::filesystem;

// A chain of symbolic links longer than this is taken for a loop.
constexpr int kMostLinks = 40;

std::string Reason(int error)
{
    return std::strerror(error);
}

// A save writes through symbolic links: the file replaced is the one the
// link (or chain of links) names, and the link stays.
fs::path FollowLinks(fs::path path)
{
    std::error_code status;
    for (int hop = 0; hop < kMostLinks && fs::is_symlink(path, status); ++hop) {
        const fs::path next = fs::read_symlink(path, status);
        if (status)
            break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// A temporary name beside `target`, hidden, that no other save uses now.
std::string TemporaryNameBeside(const fs::path& target)
{
    static thread_local std::mt19937 random{std::random_device{}()};
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    return (folder / ("." + target.filename().string() + ".save-" + std::to_string(random() % 100000000))).string();
}

#if defined(XANDREL_POSIX_FILES)

// Why the file at `target` must not be replaced ("" when it may be): only a
// regular file with its owner's write permission is; a device, a pipe or a
// folder is not a file to save over, and a read-only file was made so.
std::string WhyNotReplaceable(const fs::path& target, mode_t& mode, bool& exists)
{
    struct stat status {};
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
int WriteTemporary(const fs::path& target, std::string_view bytes, bool keepMode, mode_t mode, std::string& name)
{
    int file = -1;
    for (int attempt = 0; attempt < 100 && file < 0; ++attempt) {
        name = TemporaryNameBeside(target);
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

bool Replace(const fs::path& target, const std::string& shown, std::string_view bytes, std::string& error)
{
    mode_t mode = 0;
    bool exists = false;
    if (const std::string why = WhyNotReplaceable(target, mode, exists); !why.empty()) {
        error = "Cannot save " + shown + ": " + why + ".";
        return false;
    }
    std::string temporary;
    const int file = WriteTemporary(target, bytes, exists, mode, temporary);
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

bool IsReadableFile(const std::string& path, std::string& why)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return true;  // opening it says why
    if (S_ISREG(status.st_mode))
        return true;
    why = S_ISDIR(status.st_mode) ? "it is a folder" : "it is not a regular file";
    return false;
}

#else

// Without POSIX: the standard library's files and rename.
bool Replace(const fs::path& target, const std::string& shown, std::string_view bytes, std::string& error)
{
    std::error_code status;
    if (fs::exists(target, status) && !fs::is_regular_file(target, status)) {
        error = "Cannot save " + shown + ": it is not a regular file.";
        return false;
    }
    const std::string temporary = TemporaryNameBeside(target);
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = "Cannot save " + shown + ": " + Reason(errno) + ".";
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (written && closed)
        fs::rename(temporary, target, status);
    if (!written || !closed || status) {
        error = "Cannot save " + shown + ": " + (status ? status.message() : Reason(errno)) + ".";
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool IsReadableFile(const std::string& path, std::string& why)
{
    std::error_code status;
    if (!fs::exists(path, status) || fs::is_regular_file(path, status))
        return true;
    why = fs::is_directory(path, status) ? "it is a folder" : "it is not a regular file";
    return false;
}

#endif

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error)
{
    const fs::path target = FollowLinks(fs::path(path));
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code status;
    if (!fs::is_directory(folder, status)) {
        error = "Cannot save " + path + ": the folder " + folder.string() + " does not exist.";
        return false;
    }
    return Replace(target, path, bytes, error);
}

bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error, size_t limit)
{
    // A pipe or a device would block or never end: only files are read.
    if (std::string why; !IsReadableFile(path, why)) {
        error = "Cannot read " + path + ": " + why + ".";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "Cannot open " + path + ": " + Reason(errno) + ".";
        return false;
    }
    bytes.clear();
    char buffer[65536];
    while (bytes.size() < limit) {
        const size_t want = std::min(sizeof buffer, limit - bytes.size());
        const size_t got = std::fread(buffer, 1, want, file);
        bytes.append(buffer, got);
        if (got < want)
            break;
    }
    const bool failed = std::ferror(file) != 0;
    const int readError = errno;
    std::fclose(file);
    if (failed) {
        error = "Cannot read " + path + ": " + Reason(readError) + ".";
        return false;
    }
    return true;
}

}  // namespace xandrel
