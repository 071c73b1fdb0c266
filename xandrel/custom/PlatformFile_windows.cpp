// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/PlatformFile.h"

#include <algorithm>

#include <windows.h>

namespace xandrel::platform {
namespace {

namespace fs = std::filesystem;

// The system's words for an error code, without the line break and the full
// stop it ends with.
std::string Reason(DWORD error)
{
    char* text = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length && text ? std::string(text, length) : "error " + std::to_string(error);
    ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return reason;
}

// Why the file at `target` must not be replaced ("" when it may be): only a
// regular file without the read-only attribute is.
std::string WhyNotReplaceable(const fs::path& target, bool& exists)
{
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? "" : Reason(error);
    }
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return "it is not a regular file";
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return "the file is read-only";
    return {};
}

// Creates a temporary file beside `target` that did not exist before, writes
// the bytes and flushes them to the disk. False on failure, with the error
// code in `error` and nothing left behind.
bool WriteTemporary(const fs::path& target, std::string_view bytes, fs::path (*temporaryName)(const fs::path&),
                    fs::path& name, DWORD& error)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        name = temporaryName(target);
        file = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        error = file == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
        if (file == INVALID_HANDLE_VALUE && error != ERROR_FILE_EXISTS)
            return false;
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written = true;
    while (written && !bytes.empty()) {
        DWORD count = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
        written = ::WriteFile(file, bytes.data(), want, &count, nullptr) && count > 0;
        bytes.remove_prefix(count);
    }
    written = written && ::FlushFileBuffers(file);
    error = written ? ERROR_SUCCESS : ::GetLastError();
    if (!::CloseHandle(file) && written) {
        written = false;
        error = ::GetLastError();
    }
    if (!written)
        ::DeleteFileW(name.c_str());
    return written;
}

}  // namespace

bool ReplaceWithBytes(const fs::path& target, const std::string& shown, std::string_view bytes,
                      fs::path (*temporaryName)(const fs::path&), std::string& error)
{
    bool exists = false;
    if (const std::string why = WhyNotReplaceable(target, exists); !why.empty()) {
        error = "Cannot save " + shown + ": " + why + ".";
        return false;
    }
    fs::path temporary;
    DWORD failure = ERROR_SUCCESS;
    if (!WriteTemporary(target, bytes, temporaryName, temporary, failure)) {
        error = "Cannot save " + shown + ": " + Reason(failure) + ".";
        return false;
    }
    // ReplaceFileW keeps the replaced file's attributes and access rights; a
    // new file is moved into place, the move written through to the disk.
    const bool replaced = exists
        ? ::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
        : ::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    if (!replaced) {
        error = "Cannot save " + shown + ": " + Reason(::GetLastError()) + ".";
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

// A folder's read-only flag does not keep files out on Windows, and its
// access list tells only when a file is made: the save reports that itself.
std::string FolderRefusal(const fs::path& /*folder*/)
{
    return {};
}

}  // namespace xandrel::platform
