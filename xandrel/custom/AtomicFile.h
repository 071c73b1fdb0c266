// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <string_view>

#include "xandrel/XandrelExport.h"

namespace xandrel {

// Replaces the file at `path` with `bytes` so that it is never left half
// written: the bytes go to a temporary file beside it, created anew for this
// save and flushed to the disk, which is then renamed over the old one. The
// replaced file keeps its permissions; a symbolic link is written through
// (the link stays, its target changes). A target that is not a regular file
// (a folder, a device, a pipe) or is read-only is refused. On failure the old
// file is untouched, no temporary file is left, and `error` holds one line a
// person understands (which file, and why). True on success. Every file the
// programs save goes through here.
XANDREL_EXPORT bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

// Reads a whole file, at most `limit` bytes of it. False with `error` set
// (which file, and why) when it cannot be opened or read, or is no regular
// file (a pipe or a device would block or never end).
XANDREL_EXPORT bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error,
                                  size_t limit = static_cast<size_t>(-1));

}  // namespace xandrel
