// SPDX-License-Identifier: GPL-3.0-or-later
// The splash shape: runs of pixels that are not exactly black, at every
// depth, and the BMP reader that gives the raw pixel values.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "DibBitmap.h"
#include "RegionFromBitmap.h"

using namespace quellix;

namespace {

// A bitmap of `depth` whose pixel at (x, y) from the top is opaque when
// `opaque` says so; opaque pixels take the depth's darkest value that is not
// black, so near-black must stay.
DibBitmap Picture(int depth, int width, int height, const std::function<bool(int, int)>& opaque)
{
    DibBitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bitsPerPixel = depth;
    bitmap.bits.assign(static_cast<size_t>(bitmap.RowBytes()) * static_cast<size_t>(height), 0);
    if (depth <= 8) {
        bitmap.colourTable.assign(1u << depth, 0x00000000);
        bitmap.colourTable[1] = 0x00010101;  // near-black
    }
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bitmap.bits.data() + static_cast<size_t>((height - 1 - y) * bitmap.RowBytes());
        for (int x = 0; x < width; ++x) {
            if (!opaque(x, y))
                continue;
            switch (depth) {
            case 1: row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8)); break;
            case 4: row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? 0x10 : 0x01); break;
            case 8: row[x] = 1; break;
            case 16: row[2 * x] = 0x01; break;
            case 24: row[3 * x + 2] = 0x01; break;  // red 1
            case 32: row[4 * x + 3] = 0x01; break;  // only the fourth byte
            }
        }
    }
    return bitmap;
}

class RegionAtDepth : public ::testing::TestWithParam<int> { };

TEST_P(RegionAtDepth, RunsOfOpaquePixelsBecomeRectangles)
{
    const int depth = GetParam();
    EXPECT_TRUE(CreateRegionFromBitmap(Picture(depth, 9, 4, [](int, int) { return false; })).rects.empty())
        << "all black: nothing is left";

    const RegionData solid = CreateRegionFromBitmap(Picture(depth, 9, 4, [](int, int) { return true; }));
    ASSERT_EQ(solid.rects.size(), 1u) << "near-black is kept, identical rows are one band";
    EXPECT_EQ(solid.rects[0], (RegionRect{0, 0, 9, 4}));
    EXPECT_EQ(solid.width, 9);
    EXPECT_EQ(solid.height, 4);

    const RegionData single =
        CreateRegionFromBitmap(Picture(depth, 9, 4, [](int x, int y) { return x == 5 && y == 1; }));
    ASSERT_EQ(single.rects.size(), 1u);
    EXPECT_EQ(single.rects[0], (RegionRect{5, 1, 6, 2}));

    const RegionData tail = CreateRegionFromBitmap(Picture(depth, 9, 2, [](int x, int) { return x >= 6 || x == 2; }));
    ASSERT_EQ(tail.rects.size(), 2u);
    EXPECT_EQ(tail.rects[0], (RegionRect{2, 0, 3, 2}));
    EXPECT_EQ(tail.rects[1], (RegionRect{6, 0, 9, 2})) << "a run reaching the right edge closes at the width";
}

INSTANTIATE_TEST_SUITE_P(Depths, RegionAtDepth, ::testing::Values(1, 4, 8, 16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bpp"; });

TEST(Region, OnlyConsecutiveIdenticalRowsShareABand)
{
    // Rows 0-1 and 3 have the same two runs, row 2 one run; row 4 is black.
    const RegionData region = CreateRegionFromBitmap(
        Picture(8, 6, 5, [](int x, int y) { return y < 4 && (y == 2 ? x > 0 : x == 1 || x == 4); }));
    EXPECT_EQ(region.rects,
              (std::vector<RegionRect>{{1, 0, 2, 2}, {4, 0, 5, 2}, {1, 2, 6, 3}, {1, 3, 2, 4}, {4, 3, 5, 4}}));
    EXPECT_FALSE(region.bounded);
    EXPECT_TRUE(CreateRegionFromBitmap(DibBitmap{}).rects.empty());
}

TEST(Region, ShapeBeyondWhatAWindowTakesBecomesTheRectangleAroundItsPixels)
{
    // A checkerboard inside a black margin: 450 x 450 / 2 runs, none shared by the next row.
    const RegionData region = CreateRegionFromBitmap(
        Picture(1, 460, 455, [](int x, int y) { return x >= 3 && x < 453 && y >= 2 && y < 452 && (x + y) % 2 == 0; }));
    ASSERT_GT(450u * 450u / 2u, kMostRegionRects);
    EXPECT_TRUE(region.bounded);
    EXPECT_EQ(region.rects, (std::vector<RegionRect>{{3, 2, 453, 452}}));
}

// A BMP file: headers, optional colour table, rows as given.
std::string BmpFile(int width, int height, int depth, const std::string& pixels, int colours = 0, int compression = 0)
{
    std::string file(54 + 4 * colours, '\0');
    auto put32 = [&file](size_t at, uint32_t value) { std::memcpy(&file[at], &value, 4); };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size() + pixels.size()));
    put32(10, static_cast<uint32_t>(file.size()));
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    file[26] = 1;
    file[28] = static_cast<char>(depth);
    put32(30, static_cast<uint32_t>(compression));
    put32(46, static_cast<uint32_t>(colours));
    return file + pixels;
}

TEST(DibFile, ReadsWhatIsThereAndRefusesTheRest)
{
    std::string error;
    // 2 x 2 at 24 bits, stored top-down: rows padded to 8 bytes.
    const std::string rows =
        std::string("\x00\x00\x00\x01\x00\x00\0\0", 8) + std::string("\x05\x06\x07\x00\x00\x00\0\0", 8);
    DibBitmap topDown = ReadDibFile(BmpFile(2, -2, 24, rows), error);
    ASSERT_FALSE(topDown.Empty()) << error;
    const RegionData region = CreateRegionFromBitmap(topDown);
    ASSERT_EQ(region.rects.size(), 2u);
    EXPECT_EQ(region.rects[0], (RegionRect{1, 0, 2, 1}));
    EXPECT_EQ(region.rects[1], (RegionRect{0, 1, 1, 2}));

    DibBitmap paletted = ReadDibFile(BmpFile(4, 1, 8, std::string("\x00\x01\x02\x00", 4), 2), error);
    ASSERT_EQ(paletted.colourTable.size(), 256u) << error;
    EXPECT_EQ(CreateRegionFromBitmap(paletted).rects.size(), 0u)
        << "a table of two black entries; the rest read as black";

    const struct {
        std::string bytes;
        const char* why;
    } refused[] = {
        {"GIF89a", "not a BMP"},
        {BmpFile(2, 2, 24, std::string(8, 'x')), "ends before its last row"},
        {BmpFile(10000, 10000, 24, ""), "beyond what a splash can be"},
        {BmpFile(4, 4, 2, std::string(16, 'x')), "bits per pixel"},
        {BmpFile(4, 4, 8, std::string(16, 'x'), 0, 1), "compressed"},
        {BmpFile(4, 4, 8, "", 256).substr(0, 60), "colour table"},
        {BmpFile(0, 4, 24, ""), "beyond what a splash can be"},
    };
    for (const auto& bad : refused) {
        EXPECT_TRUE(ReadDibFile(bad.bytes, error).Empty()) << bad.why;
        EXPECT_NE(error.find(bad.why), std::string::npos) << error;
    }
}

}  // namespace
