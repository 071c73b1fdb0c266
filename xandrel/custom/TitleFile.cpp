// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/TitleFile.h"

#include "xandrel/custom/AtomicFile.h"
#include "xandrel/custom/Utf8Boundary.h"

namespace xandrel {

std::string TitleFromBytes(std::string_view bytes)
{
    bytes = bytes.substr(0, Utf8PrefixLength(bytes, kTitleFileLimit));
    return std::string(bytes.substr(0, bytes.find('\0')));
}

std::string ReadTitleFile(std::string_view folder)
{
    // Three bytes past the limit show whether a character straddles it.
    std::string bytes;
    std::string error;
    if (!ReadFileBytes(DataFilePath(DataFile::Title, folder), bytes, error, kTitleFileLimit + 3))
        return kDefaultStartTitle;
    return TitleFromBytes(bytes);
}

}  // namespace xandrel
