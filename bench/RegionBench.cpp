// SPDX-License-Identifier: GPL-3.0-or-later
// Building the splash shape: the built-in 570 x 270 picture, a 4000 x 3000
// picture of the same kind, and 1-bit checkerboards (a run per pixel pair,
// no two rows alike: the most rectangles a picture can ask for), to show the
// time grows with the pixels.
#include <benchmark/benchmark.h>

#include <vector>

#include "DibBitmap.h"
#include "ProgramArtwork.h"
#include "RegionFromBitmap.h"

namespace {

quellix::DibBitmap Scaled(int width, int height)
{
    const QImage picture = quellix::art::SplashPicture().scaled(width, height).convertToFormat(QImage::Format_RGB888);
    std::vector<uint8_t> rgb;
    for (int y = 0; y < picture.height(); ++y)
        rgb.insert(rgb.end(), picture.constScanLine(y), picture.constScanLine(y) + picture.width() * 3);
    return quellix::DibFromRgbRows(picture.width(), picture.height(), rgb.data());
}

// Entry 0 black, entry 1 white; rows alternate 0101... and 1010...
quellix::DibBitmap Checkerboard(int width, int height)
{
    quellix::DibBitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bitsPerPixel = 1;
    bitmap.colourTable = {0x00000000, 0x00FFFFFF};
    const size_t rowBytes = static_cast<size_t>(bitmap.RowBytes());
    bitmap.bits.resize(rowBytes * static_cast<size_t>(height));
    for (size_t row = 0; row < static_cast<size_t>(height); ++row)
        std::fill_n(bitmap.bits.begin() + static_cast<std::ptrdiff_t>(row * rowBytes), rowBytes, row % 2 ? 0xAA : 0x55);
    return bitmap;
}

void MeasureRegion(benchmark::State& state, const quellix::DibBitmap& bitmap)
{
    size_t rects = 0;
    for (auto _ : state) {
        const quellix::RegionData region = quellix::CreateRegionFromBitmap(bitmap);
        rects = region.rects.size();
        benchmark::DoNotOptimize(region.rects.data());
    }
    const double pixels = static_cast<double>(bitmap.width) * bitmap.height;
    state.counters["rects"] = static_cast<double>(rects);
    state.counters["pixels_per_s"] = benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate);
}

void RegionOfSplash(benchmark::State& state)
{
    MeasureRegion(state, Scaled(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
}

void RegionOfCheckerboard(benchmark::State& state)
{
    MeasureRegion(state, Checkerboard(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
}

BENCHMARK(RegionOfSplash)->Args({570, 270})->Args({4000, 3000})->Unit(benchmark::kMicrosecond);
BENCHMARK(RegionOfCheckerboard)
    ->Args({400, 500})  // 100,000 rectangles: the most a shape keeps
    ->Args({1000, 1000})
    ->Args({4000, 4000})
    ->Args({8192, 4096})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
