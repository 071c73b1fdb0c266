// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "xandrel/custom/PlatformFile.h"

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
fs::path TemporaryNameBeside(const fs::path& target)
{
    static thread_local std::mt19937 random{std::random_device{}()};
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    return folder / ("." + target.filename().string() + ".save-" + std::to_string(random() % 100000000));
}

// A pipe or a device would block or never end, a folder is no file: only
// regular files are read. A missing file passes: opening it says why.
bool IsReadableFile(const std::string& path, std::string& why)
{
    std::error_code status;
    const fs::file_status found = fs::status(path, status);
    if (status || !fs::exists(found) || fs::is_regular_file(found))
        return true;
    why = fs::is_directory(found) ? "it is a folder" : "it is not a regular file";
    return false;
}

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
    return platform::ReplaceWithBytes(target, path, bytes, TemporaryNameBeside, error);
}

bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error, size_t limit)
{
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
