// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// EDID images, reports and a UTF-8 check for the EDID tests and fuzz target.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "xandrel/edid/EdidFile.h"
#include "xandrel/edid/EdidReport.h"

namespace edidtest {

using Image = xandrel::EdidImage;

// The EDID header 00 FF FF FF FF FF FF 00 and every other byte zero.
inline Image HeaderOnly()
{
    Image image{};
    std::fill(image.begin() + 1, image.begin() + 7, BYTE{0xFF});
    return image;
}

// `image` with `bytes` written from `offset` on.
inline Image With(Image image, int offset, std::initializer_list<int> bytes)
{
    for (int byte : bytes)
        image[static_cast<std::size_t>(offset++)] = static_cast<BYTE>(byte);
    return image;
}

inline std::string Report(const Image& image)
{
    std::string report;
    EDID_MakeReport(image, report);
    return report;
}

// `text` with every line feed turned into CR LF, as the report ends its lines.
inline std::string Crlf(std::string_view text)
{
    std::string lines;
    for (char c : text) {
        if (c == '\n')
            lines += '\r';
        lines += c;
    }
    return lines;
}

// True when `text` is well-formed UTF-8 of one- to three-byte sequences
// (all a report turns into): no stray or missing continuation byte, no
// overlong two-byte form.
inline bool IsValidUtf8(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i++]);
        std::size_t more = lead < 0x80 ? 0 : lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2 : 3;
        if (more == 3 || i + more > text.size())
            return false;
        for (; more > 0; --more) {
            if ((static_cast<unsigned char>(text[i++]) & 0xC0) != 0x80)
                return false;
        }
    }
    return true;
}

}  // namespace edidtest
