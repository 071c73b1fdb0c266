// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The start-up title ti.dat: raw title bytes, no line structure.
#include <cstddef>
#include <string>
#include <string_view>

#include "xandrel/XandrelExport.h"
#include "xandrel/custom/DataFolder.h"

namespace xandrel {

inline constexpr char kDefaultStartTitle[] = "Matrix 8x8 Control Panel";
inline constexpr size_t kTitleFileLimit = 255;  // bytes of the file that count

// The title in a file's first bytes: at most 255 of them (fewer when the cut
// would split a character), up to the first zero byte. Nothing is stripped,
// so a line end in the file stays in the title.
XANDREL_EXPORT std::string TitleFromBytes(std::string_view bytes);

// The title of ti.dat in `folder`, reading no more of the file than the
// title can use; kDefaultStartTitle when the file cannot be read.
XANDREL_EXPORT std::string ReadTitleFile(std::string_view folder = kDefaultDataFolder);

}  // namespace xandrel
