// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegionFromBitmap.h"

#include <algorithm>

namespace quellix {
namespace {

// Tells for each pixel of a stored row whether it is cut away.
class TransparencyTest {
public:
    explicit TransparencyTest(const DibBitmap& bitmap)
        : bitmap_(bitmap)
    {
    }

    bool operator()(const uint8_t* row, int x) const
    {
        switch (bitmap_.bitsPerPixel) {
        case 1: return entry((row[x / 8] >> (7 - x % 8)) & 0x01);
        case 4: return entry((row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0F);
        case 8: return entry(row[x]);
        case 16: return (row[2 * x] | row[2 * x + 1]) == 0;
        case 24: return (row[3 * x] | row[3 * x + 1] | row[3 * x + 2]) == 0;
        case 32: return (row[4 * x] | row[4 * x + 1] | row[4 * x + 2] | row[4 * x + 3]) == 0;
        default: return false;
        }
    }

private:
    bool entry(unsigned index) const { return index < bitmap_.colourTable.size() && bitmap_.colourTable[index] == 0; }

    const DibBitmap& bitmap_;
};

struct Run {
    int32_t left, right;  // right exclusive

    bool operator==(const Run&) const = default;
};

// Collects a row's runs of kept pixels into `runs` (cleared first).
void ReadRuns(const uint8_t* row, int width, const TransparencyTest& transparent, std::vector<Run>& runs)
{
    runs.clear();
    int runStart = -1;
    for (int x = 0; x < width; ++x) {
        const bool cut = transparent(row, x);
        if (runStart >= 0 && cut) {
            runs.push_back({runStart, x});
            runStart = -1;
        } else if (runStart < 0 && !cut) {
            runStart = x;
        }
    }
    if (runStart >= 0)
        runs.push_back({runStart, width});
}

// Turns bands of identical rows into rectangles, and keeps the rectangle
// around every kept pixel for when the rectangles grow too many.
class RegionBuilder {
public:
    explicit RegionBuilder(RegionData& region)
        : region_(region)
    {
    }

    void addRow(int y, std::vector<Run>& runs)
    {
        if (!runs.empty()) {
            bounds_.left = std::min(bounds_.left, runs.front().left);
            bounds_.right = std::max(bounds_.right, runs.back().right);
            bounds_.top = std::min(bounds_.top, y);
            bounds_.bottom = y + 1;
        }
        if (runs == band_)
            return;
        closeBand(y);
        band_.swap(runs);
        bandTop_ = y;
    }

    void finish(int height)
    {
        closeBand(height);
        if (region_.bounded)
            region_.rects.assign(1, bounds_);
    }

private:
    void closeBand(int bottom)
    {
        if (region_.bounded)
            return;
        if (region_.rects.size() + band_.size() > kMostRegionRects) {
            region_.bounded = true;
            region_.rects = {};
            return;
        }
        for (const Run& run : band_)
            region_.rects.push_back({run.left, bandTop_, run.right, bottom});
    }

    RegionData& region_;
    std::vector<Run> band_;
    int bandTop_ = 0;
    RegionRect bounds_{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
};

}  // namespace

RegionData CreateRegionFromBitmap(const DibBitmap& bitmap)
{
    RegionData region;
    const size_t rowBytes = static_cast<size_t>(bitmap.RowBytes());
    if (bitmap.Empty() || bitmap.bits.size() < rowBytes * static_cast<size_t>(bitmap.height))
        return region;
    region.width = bitmap.width;
    region.height = bitmap.height;
    const TransparencyTest transparent(bitmap);
    RegionBuilder builder(region);
    std::vector<Run> runs;
    for (int y = 0; y < bitmap.height; ++y) {
        const uint8_t* row = bitmap.bits.data() + static_cast<size_t>(bitmap.height - 1 - y) * rowBytes;  // bottom-up
        ReadRuns(row, bitmap.width, transparent, runs);
        builder.addRow(y, runs);
    }
    builder.finish(bitmap.height);
    return region;
}

}  // namespace quellix
