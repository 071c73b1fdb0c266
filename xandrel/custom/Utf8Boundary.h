// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Byte limits on texts that never split a UTF-8 character.
#include <cstddef>
#include <string_view>

namespace xandrel {

// The length of the longest prefix of `text` of at most `limit` bytes that
// ends on a character boundary. A cut that would fall inside a well-formed
// multi-byte character moves back to that character's first byte; bytes that
// are not well-formed UTF-8 count as characters of one byte each.
inline size_t Utf8PrefixLength(std::string_view text, size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    const auto continuation = [&](size_t i) { return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80; };
    size_t start = limit;
    while (start > 0 && limit - start < 3 && continuation(start))
        --start;
    if (start == limit || continuation(start))
        return limit;
    const unsigned char lead = static_cast<unsigned char>(text[start]);
    const size_t length = lead >= 0xF0 && lead <= 0xF7 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return start + length > limit && lead <= 0xF7 ? start : limit;
}

}  // namespace xandrel
