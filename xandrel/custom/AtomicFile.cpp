#include "xandrel/custom/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace xandrel {
namespace {

namespace fs = std::filesystem;

std::string Reason(int error)
{
    return std::strerror(error);
}

std::string TemporaryNameBeside(const fs::path& target)
{
    std::random_device seed;
    return target.string() + ".tmp" + std::to_string(seed() % 1000000);
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error)
{
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code status;
    if (!fs::is_directory(folder, status)) {
        error = "Cannot save " + path + ": the folder " + folder.string() + " does not exist.";
        return false;
    }
    const std::string temporary = TemporaryNameBeside(target);
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = "Cannot save " + path + ": " + Reason(errno) + ".";
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = "Cannot save " + path + ": " + Reason(written ? errno : writeError) + ".";
        std::remove(temporary.c_str());
        return false;
    }
    fs::rename(temporary, target, status);
    if (status) {
        error = "Cannot save " + path + ": " + status.message() + ".";
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error, size_t limit)
{
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
