// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A device-independent bitmap as the splash region reads it: the raw pixel
// values of its own colour depth, rows stored bottom-up and padded to four
// bytes, with the colour table of the depths that have one. Standard C++ only.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quellix {

struct DibBitmap {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;               // 1, 4, 8, 16, 24 or 32
    std::vector<uint8_t> bits;          // bottom-up rows of RowBytes() each
    std::vector<uint32_t> colourTable;  // blue, green, red, reserved as a little-endian word

    int RowBytes() const { return ((width * bitsPerPixel + 31) / 32) * 4; }
    bool Empty() const { return width <= 0 || height <= 0; }
};

// The largest splash picture taken from a file, so that a damaged or hostile
// header cannot make the program claim gigabytes.
inline constexpr int kLargestSide = 16384;
inline constexpr int64_t kLargestPixelCount = 32LL * 1024 * 1024;

// Reads a BMP file's bytes (the file header, an information header of 40 or
// more bytes, the colour table, uncompressed pixels; 16- and 32-bit pixels
// may carry bit masks). Top-down files are turned bottom-up. Anything else —
// not a BMP, cut short, compressed, an unknown depth, larger than the limits
// above — gives an empty bitmap and `error` says why.
DibBitmap ReadDibFile(std::string_view bytes, std::string& error);

// A 24-bit bottom-up bitmap from top-down RGB rows (3 bytes a pixel, no padding).
DibBitmap DibFromRgbRows(int width, int height, const uint8_t* rgb);

}  // namespace quellix
