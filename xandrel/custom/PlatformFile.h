// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What saving a file needs of the operating system: one source file per system
// (PlatformFile_posix.cpp, PlatformFile_windows.cpp), chosen by the build.
// AtomicFile.cpp does the rest in standard C++.
#include <filesystem>
#include <string>
#include <string_view>

namespace xandrel::platform {

// Replaces the file at `target` (links already followed) with `bytes`: a
// fresh temporary file beside it, named by `temporaryName`, is written,
// flushed to the disk and renamed over the target; a replaced file keeps its
// permissions. A target that is no regular file or is read-only is refused.
// On failure `error` reads "Cannot save <shown>: <why>." and nothing is left
// behind.
bool ReplaceWithBytes(const std::filesystem::path& target, const std::string& shown, std::string_view bytes,
                      std::filesystem::path (*temporaryName)(const std::filesystem::path& target), std::string& error);

// Why the system refuses new files in `folder` to this process, or "" when
// it does not (as far as it tells before a file is made).
std::string FolderRefusal(const std::filesystem::path& folder);

}  // namespace xandrel::platform
