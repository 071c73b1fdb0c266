#include "RegionFromBitmap.h"

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
    bool entry(unsigned index) const
    {
        return index < bitmap_.colourTable.size() && bitmap_.colourTable[index] == 0;
    }

    const DibBitmap& bitmap_;
};

void AddRect(RegionData& region, RegionRect rect)
{
    if (static_cast<int>(region.rects.size()) == region.room) {
        region.room += kRegionGrowth;
        region.rects.reserve(static_cast<size_t>(region.room));
    }
    region.rects.push_back(rect);
}

}  // namespace

RegionData CreateRegionFromBitmap(const DibBitmap& bitmap)
{
    RegionData region;
    const size_t rowBytes = static_cast<size_t>(bitmap.RowBytes());
    if (bitmap.Empty() || bitmap.bits.size() < rowBytes * static_cast<size_t>(bitmap.height))
        return region;
    region.width = bitmap.width;
    region.height = bitmap.height;
    region.room = bitmap.height;
    region.rects.reserve(static_cast<size_t>(region.room));
    const TransparencyTest transparent(bitmap);
    for (int y = 0; y < bitmap.height; ++y) {
        const uint8_t* row = bitmap.bits.data() + static_cast<size_t>(bitmap.height - 1 - y) * rowBytes;  // bottom-up
        bool inRun = false;
        int runStart = 0;
        for (int x = 0; x < bitmap.width; ++x) {
            const bool cut = transparent(row, x);
            if (inRun && cut) {
                AddRect(region, {runStart, y, x, y + 1});
                inRun = false;
            } else if (!inRun && !cut) {
                inRun = true;
                runStart = x;
            }
        }
        if (inRun)
            AddRect(region, {runStart, y, bitmap.width, y + 1});
    }
    return region;
}

}  // namespace quellix
