// Building the splash shape: the built-in 570 x 270 picture, and a 4000 x 3000
// picture of the same kind, to show the time grows with the pixels.
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

void RegionOfSplash(benchmark::State& state)
{
    const quellix::DibBitmap bitmap = Scaled(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    size_t rects = 0;
    for (auto _ : state) {
        const quellix::RegionData region = quellix::CreateRegionFromBitmap(bitmap);
        rects = region.rects.size();
        benchmark::DoNotOptimize(region.rects.data());
    }
    const double pixels = static_cast<double>(state.range(0) * state.range(1));
    state.counters["rects"] = static_cast<double>(rects);
    state.counters["pixels_per_s"] = benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(RegionOfSplash)->Args({570, 270})->Args({4000, 3000})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
