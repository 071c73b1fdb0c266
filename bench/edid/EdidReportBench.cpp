// SPDX-License-Identifier: GPL-3.0-or-later
// Reports per second over every EDID file of the corpus, in-process.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "xandrel/edid/EdidFile.h"
#include "xandrel/edid/EdidReport.h"

namespace {

std::vector<xandrel::EdidImage> LoadCorpus()
{
    std::vector<std::filesystem::path> files;
    std::error_code status;
    for (const auto& entry : std::filesystem::directory_iterator(QUELLIX_EDID_CORPUS, status)) {
        if (entry.path().extension() == ".bin")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<xandrel::EdidImage> images;
    for (const auto& file : files) {
        xandrel::EdidImage image{};
        std::string error;
        if (xandrel::LoadEdidFile(file.string(), image, error))
            images.push_back(image);
    }
    return images;
}

void BM_ReportCorpus(benchmark::State& state)
{
    static const std::vector<xandrel::EdidImage> images = LoadCorpus();
    if (images.empty()) {
        state.SkipWithError("no EDID corpus at " QUELLIX_EDID_CORPUS);
        return;
    }
    std::string report;
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const auto& image : images) {
            EDID_MakeReport(image, report);
            benchmark::DoNotOptimize(report.data());
            bytes += report.size();
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * images.size()));
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["files"] = static_cast<double>(images.size());
}
BENCHMARK(BM_ReportCorpus);

void BM_ReportToUtf8(benchmark::State& state)
{
    static const std::vector<xandrel::EdidImage> images = LoadCorpus();
    if (images.empty()) {
        state.SkipWithError("no EDID corpus at " QUELLIX_EDID_CORPUS);
        return;
    }
    std::vector<std::string> reports(images.size());
    for (std::size_t i = 0; i < images.size(); ++i)
        EDID_MakeReport(images[i], reports[i]);
    for (auto _ : state) {
        for (const auto& report : reports)
            benchmark::DoNotOptimize(xandrel::ReportToUtf8(report, xandrel::ReportLineEnds::Platform));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * reports.size()));
}
BENCHMARK(BM_ReportToUtf8);

}  // namespace

BENCHMARK_MAIN();
