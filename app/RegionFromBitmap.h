#pragma once
// The splash window's shape: one rectangle per horizontal run of pixels that
// are not black, taken from the bitmap's raw pixel values. Standard C++ only.
//
// A pixel is cut away (transparent) when
//   8 bits:   its colour table entry, as a 32-bit value, is 0;
//   16 bits:  its 16-bit value is 0;
//   24 bits:  its three bytes are 0;
//   32 bits:  its 32-bit value is 0, the fourth byte included.
// 1- and 4-bit bitmaps are tested like 8-bit ones, through their colour
// table: a pixel is cut away when its entry is 0.
// Only exact black is cut: near-black stays.
#include <cstdint>
#include <vector>

#include "DibBitmap.h"

namespace quellix {

struct RegionRect {
    int32_t left, top, right, bottom;  // pixels from the top-left corner; right and bottom exclusive

    bool operator==(const RegionRect&) const = default;
};

struct RegionData {
    int width = 0;
    int height = 0;
    std::vector<RegionRect> rects;  // by rows from the top, runs from the left; never merged across rows
    int room = 0;                   // rectangles the block has room for: one per row, then 40 more at a time
};

inline constexpr int kRegionGrowth = 40;

// The region of `bitmap`. An empty bitmap gives a size of 0 and no rectangles.
RegionData CreateRegionFromBitmap(const DibBitmap& bitmap);

}  // namespace quellix
