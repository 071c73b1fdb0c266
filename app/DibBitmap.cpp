// SPDX-License-Identifier: GPL-3.0-or-later
#include "DibBitmap.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace quellix {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kBitFields = 3;

uint32_t Read32(std::string_view bytes, size_t at)
{
    uint32_t value = 0;
    for (int k = 3; k >= 0; --k)
        value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(k)]);
    return value;
}

uint16_t Read16(std::string_view bytes, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

DibBitmap Fail(std::string& error, const std::string& why)
{
    error = why;
    return {};
}

}  // namespace

DibBitmap ReadDibFile(std::string_view bytes, std::string& error)
{
    if (bytes.size() < kFileHeaderSize + kInfoHeaderSize || bytes[0] != 'B' || bytes[1] != 'M')
        return Fail(error, "not a BMP file");
    const uint32_t pixelOffset = Read32(bytes, 10);
    const uint32_t headerSize = Read32(bytes, 14);
    if (headerSize < kInfoHeaderSize || kFileHeaderSize + headerSize > bytes.size())
        return Fail(error, "a BMP header this program does not read");
    const auto width = static_cast<int32_t>(Read32(bytes, 18));
    const auto signedHeight = static_cast<int32_t>(Read32(bytes, 22));
    const uint16_t depth = Read16(bytes, 28);
    const uint32_t compression = Read32(bytes, 30);
    uint32_t colours = Read32(bytes, 46);

    DibBitmap bitmap;
    bitmap.width = width;
    bitmap.height = signedHeight == INT32_MIN ? 0 : std::abs(signedHeight);
    bitmap.bitsPerPixel = depth;
    if (width <= 0 || bitmap.height <= 0 || width > kLargestSide || bitmap.height > kLargestSide
        || int64_t{width} * bitmap.height > kLargestPixelCount)
        return Fail(error,
                    "a picture of " + std::to_string(width) + " x " + std::to_string(signedHeight)
                        + " pixels is beyond what a splash can be");
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32)
        return Fail(error, std::to_string(depth) + " bits per pixel is no BMP depth this program reads");
    const bool masked = compression == kBitFields && (depth == 16 || depth == 32);
    if (compression != kUncompressed && !masked)
        return Fail(error, "compressed BMP files are not read");

    if (depth <= 8) {
        const uint32_t most = 1u << depth;
        colours = colours == 0 || colours > most ? most : colours;
        const size_t tableAt = kFileHeaderSize + headerSize;
        if (tableAt + 4 * size_t{colours} > bytes.size())
            return Fail(error, "the file ends in its colour table");
        for (uint32_t k = 0; k < colours; ++k)
            bitmap.colourTable.push_back(Read32(bytes, tableAt + 4 * k));
        bitmap.colourTable.resize(most, 0);  // indices past the table read as black
    }
    const size_t rowBytes = static_cast<size_t>(bitmap.RowBytes());
    const size_t pixelBytes = rowBytes * static_cast<size_t>(bitmap.height);
    if (pixelOffset > bytes.size() || bytes.size() - pixelOffset < pixelBytes)
        return Fail(error, "the file ends before its last row of pixels");
    const auto* pixels = reinterpret_cast<const uint8_t*>(bytes.data()) + pixelOffset;  // copied as one block
    bitmap.bits.assign(pixels, pixels + pixelBytes);
    if (signedHeight < 0) {  // stored top-down
        for (int top = 0, bottom = bitmap.height - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(bitmap.bits.begin() + static_cast<std::ptrdiff_t>(top * rowBytes),
                             bitmap.bits.begin() + static_cast<std::ptrdiff_t>((top + 1) * rowBytes),
                             bitmap.bits.begin() + static_cast<std::ptrdiff_t>(bottom * rowBytes));
    }
    error.clear();
    return bitmap;
}

DibBitmap DibFromRgbRows(int width, int height, const uint8_t* rgb)
{
    DibBitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bitsPerPixel = 24;
    const size_t rowBytes = static_cast<size_t>(bitmap.RowBytes());
    bitmap.bits.assign(rowBytes * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bitmap.bits.data() + static_cast<size_t>(height - 1 - y) * rowBytes;
        const uint8_t* source = rgb + static_cast<size_t>(y) * static_cast<size_t>(width) * 3;
        for (int x = 0; x < width; ++x) {  // DIBs keep blue, green, red
            row[3 * x] = source[3 * x + 2];
            row[3 * x + 1] = source[3 * x + 1];
            row[3 * x + 2] = source[3 * x];
        }
    }
    return bitmap;
}

}  // namespace quellix
