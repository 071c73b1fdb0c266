// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as ds.dat for every reader, and the title file's rule.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "xandrel/custom/StringTableFile.h"
#include "xandrel/custom/TitleFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace xandrel;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (size_t reader = 0; reader < kStringTableReaderCount; ++reader) {
        StringTable table = DefaultStringTable();
        ReadStringTable(bytes, static_cast<StringTableReader>(reader), table);
        // Whatever was read must survive a save and read back unchanged
        // once cut to what the writer stores.
        const std::string saved = FormatStringTable(table);
        StringTable again;
        ReadStringTable(saved, StringTableReader::GuiConfig, again);
        if (FormatStringTable(again) != saved)
            __builtin_trap();
    }
    TitleFromBytes(bytes);
    return 0;
}
