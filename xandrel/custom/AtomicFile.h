#pragma once
#include <string>
#include <string_view>

#include "xandrel/XandrelExport.h"

namespace xandrel {

// Replaces the file at `path` with `bytes` so that it is never left half
// written: the bytes go to a temporary file beside it, which is then renamed
// over the old one. On failure the old file is untouched and `error` holds
// one line a person understands (which file, and why). True on success.
XANDREL_EXPORT bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

// Reads a whole file, at most `limit` bytes of it. False with `error` set
// (which file, and why) when it cannot be opened or read.
XANDREL_EXPORT bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error,
                                  size_t limit = static_cast<size_t>(-1));

}  // namespace xandrel
