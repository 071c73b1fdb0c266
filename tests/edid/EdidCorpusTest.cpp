// SPDX-License-Identifier: GPL-3.0-or-later
// Real EDIDs from the shared corpus: the whole report of one HDMI monitor
// with a CEA extension, and the identity, date and first detailed timing of
// every corpus file checked against what edid-decode prints for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "EdidTestImages.h"
#include "xandrel/custom/AtomicFile.h"

using namespace edidtest;
namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = QUELLIX_EDID_CORPUS;

std::string ReportOf(const fs::path& file)
{
    Image image{};
    std::string error;
    EXPECT_TRUE(xandrel::LoadEdidFile(file.string(), image, error)) << error;
    return Report(image);
}

TEST(EdidCorpus, WholeReportOfAnHdmiMonitor)
{
    // A timing, range limits, name and serial in the base block; video, audio,
    // speaker and vendor blocks in the extension, whose last descriptor is cut
    // by the end of the image.
    const fs::path file = kCorpus / "asus-vw246-hdmi.bin";
    if (!fs::exists(file))
        GTEST_SKIP() << "no EDID corpus at " << kCorpus;
    std::string expected, error;
    ASSERT_TRUE(xandrel::ReadFileBytes(QUELLIX_EDID_GOLDEN "/asus-vw246-hdmi.report", expected, error)) << error;
    EXPECT_EQ(ReportOf(file), expected);
}

// The rest of the first line of `text` that follows `label`; "" when none does.
std::string After(const std::string& text, const std::string& label)
{
    const auto at = text.find(label);
    if (at == std::string::npos)
        return {};
    const auto start = at + label.size();
    return text.substr(start, text.find_first_of("\r\n", start) - start);
}

// "MANUFACTURER MODEL SERIAL WEEK/YEAR WIDTHxHEIGHT[i] CLOCK-IN-10-kHz"
std::string FactsFromReport(const std::string& report)
{
    char letters[4] = {};
    unsigned model = 0;
    int week = 0, year = 0;
    std::sscanf(After(report, "Manufacturer ID: ").c_str(), "%3c%x", letters, &model);
    std::sscanf(After(report, "Manufacture date: ").c_str(), "week %d, year %d", &week, &year);
    std::string facts = std::string(letters) + " " + std::to_string(model) + " "
        + std::to_string(static_cast<uint32_t>(std::stol(After(report, "Serial Number: ")))) + " "
        + std::to_string(week) + "/" + std::to_string(year);
    const std::string clock = After(report, "Pixel Clock : ");
    if (clock.empty())
        return facts;
    const bool interlaced = After(report, "Interlaced or not : ") == "true";
    const int height = std::stoi(After(report, "Vertical Active : ")) * (interlaced ? 2 : 1);
    return facts + " " + std::to_string(std::stoi(After(report, "Horizontal Active : "))) + "x" + std::to_string(height)
        + (interlaced ? "i " : " ") + std::to_string(std::lround(std::stod(clock) * 100));
}

std::string FactsFromEdidDecode(const std::string& text, bool withTiming)
{
    const std::string serial = After(text, "\n    Serial Number: ");
    int week = 0, year = 0;
    if (std::sscanf(After(text, "\n    Made in: ").c_str(), "week %d of %d", &week, &year) < 2)
        std::sscanf(After(text, "\n    Made in: ").c_str(), "%d", &year);
    if (std::sscanf(After(text, "\n    Model year: ").c_str(), "%d", &year) == 1)
        week = 255;
    std::string facts = After(text, "\n    Manufacturer: ") + " " + After(text, "\n    Model: ") + " "
        + (serial.empty() ? "0" : serial) + " " + std::to_string(week) + "/" + std::to_string(year);
    // "DTD 1:  1920x1080   60.000000 Hz  16:9     67.500 kHz    148.500000 MHz (531 mm x 299 mm)"
    const std::string timing = After(text, "DTD 1: ");
    char size[32];
    if (!withTiming || std::sscanf(timing.c_str(), "%31s", size) != 1)
        return facts;
    const auto clockEnd = timing.find(" MHz");
    const double megahertz = std::stod(timing.substr(timing.rfind(' ', clockEnd - 1) + 1));
    return facts + " " + size + " " + std::to_string(std::lround(megahertz * 100));
}

TEST(EdidCorpus, AgreesWithEdidDecode)
{
    std::vector<fs::path> files;
    std::error_code status;
    for (const auto& entry : fs::directory_iterator(kCorpus, status))
        files.push_back(entry.path());
    if (files.empty())
        GTEST_SKIP() << "no EDID corpus at " << kCorpus;
    if (std::system("command -v edid-decode > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "edid-decode is not installed (Debian package edid-decode)";
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::string decoded;
        if (std::FILE* pipe = ::popen(("edid-decode '" + file.string() + "' 2>/dev/null").c_str(), "r")) {
            char buffer[4096];
            for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
                decoded.append(buffer, got);
            ::pclose(pipe);
        }
        ASSERT_NE(decoded.find("Block 0, Base EDID:"), std::string::npos) << "edid-decode failed on " << file;
        // The report shows timings of the base block and of a CEA extension only.
        const std::string report = ReportOf(file);
        EXPECT_EQ(FactsFromReport(report),
                  FactsFromEdidDecode(decoded, report.find("Pixel Clock") != std::string::npos))
            << file.filename();
    }
}

}  // namespace
