// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The splash window's shape: the pixels that are not black, as rectangles,
// taken from the bitmap's raw pixel values. Standard C++ only.
//
// A pixel is cut away (transparent) when
//   8 bits:   its colour table entry, as a 32-bit value, is 0;
//   16 bits:  its 16-bit value is 0;
//   24 bits:  its three bytes are 0;
//   32 bits:  its 32-bit value is 0, the fourth byte included.
// 1- and 4-bit bitmaps are tested like 8-bit ones, through their colour
// table: a pixel is cut away when its entry is 0.
// Only exact black is cut: near-black stays.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "DibBitmap.h"

namespace quellix {

struct RegionRect {
    int32_t left, top, right, bottom;  // pixels from the top-left corner; right and bottom exclusive

    bool operator==(const RegionRect&) const = default;
};

// More rectangles than a window system takes for a window's shape in good time.
inline constexpr size_t kMostRegionRects = 100000;

struct RegionData {
    int width = 0;
    int height = 0;
    // One rectangle per horizontal run of kept pixels, by bands from the top,
    // runs from the left. Consecutive rows with the same runs form one band:
    // each of their runs is one rectangle as tall as the band.
    std::vector<RegionRect> rects;
    // The shape needed more than kMostRegionRects rectangles: `rects` holds
    // the one rectangle around the kept pixels instead.
    bool bounded = false;
};

// The region of `bitmap`. An empty bitmap gives a size of 0 and no rectangles.
RegionData CreateRegionFromBitmap(const DibBitmap& bitmap);

}  // namespace quellix
