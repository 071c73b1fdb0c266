// SPDX-License-Identifier: GPL-3.0-or-later
// The base block report: header check, field lines, descriptors, numbers
// independent of the locale, and the UTF-8 text for windows.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "EdidTestImages.h"

using namespace edidtest;

namespace {

TEST(EdidReport, AnyHeaderByteWrongGivesOnlyTheFormatError)
{
    EXPECT_EQ(Report(Image{}), "error edid format");
    for (int at = 0; at < 8; ++at) {
        Image image = HeaderOnly();
        image[at] ^= 0x01;
        EXPECT_EQ(Report(image), "error edid format") << "header byte " << at;
    }
}

TEST(EdidReport, HeaderFollowedByZerosDecodesEveryLine)
{
    std::string expected =
        Crlf("Manufacturer ID: @@@0000\nSerial Number: 0\nManufacture date: week 0, year 1990\n"
             "EDID Version Number: 0.0\nSignal Type: analog\nvideo level : 0.7, 0.3\nMax Image Size: 0 x 0 mm\n"
             "Display Gamma: 1.00\nFeature Supported: \n\tdisplay type :monochrome\nColor characteristics:\n"
             "\tRed-x 0.000  Red-y 0.000\n\tGreen-x 0.000  Green-y 0.000\n\tBlue-x 0.000  Blue-y 0.000\n"
             "\tWhite-x 0.000  White-y 0.000\nEtablished Timings :\nStandard Timing :\n");
    for (int entry = 0; entry < 8; ++entry)
        expected += "Resolution : 248 x 155@60 Hz 16:10\r\n";
    for (int descriptor = 0; descriptor < 4; ++descriptor)
        expected += "\r\nDescriptor Block:\r\n\r\nBlock Type Unknown Or Padding Block\r\n";
    EXPECT_EQ(Report(HeaderOnly()), expected + "checksum : 00\r\n\r\n");
}

TEST(EdidReport, BaseBlockFieldsPrintAsStored)
{
    const struct {
        int offset;
        std::initializer_list<int> bytes;
        const char* expected;  // found in the report
    } cases[] = {
        {12, {0xFF, 0xFF, 0xFF, 0xFF}, "Serial Number: -1\r\n"},
        {12, {0x01, 0x00, 0x00, 0x00}, "Serial Number: 1\r\n"},
        {20, {0x81}, "Signal Type: digital DFP 1.x compatible\r\nMax Image Size"},
        {20,
         {0x7F},
         "analog\r\nvideo level : 0.7, 0\r\nblank-to-black setup\r\nseparate syncs\r\ncomposite sync\r\n"
         "sync on green\r\nserration vsync\r\nMax"},
        {23, {0x78}, "Display Gamma: 2.20\r\n"},
        {23, {0xFF}, "Display Gamma: 3.55\r\n"},
        {24,
         {0xFF},
         "\tdisplay type :undefined\r\n\tstandby\r\n\tsuspend\r\n\tactive-off/low power\r\n"
         "\tstandard colour space\r\n\tpreferred timing mode\r\n\tdefault GTF supported\r\nColor"},
        {25, {0xC0, 0x00, 0xFF, 0x80}, "\tRed-x 0.999  Red-y 0.500\r\n"},  // codes 0x3FF and 0x200
        {26, {0x01}, "\tWhite-x 0.000  White-y 0.001\r\n"},
        {37,
         {0xFF},
         "Etablished Timings :\r\n\t1152\xA1\xD1"
         "870@75 Hz\r\nStandard"},
        {38, {0xD1, 0xC0}, "Standard Timing :\r\nResolution : 1920 x 1080@60 Hz 16:9\r\n"},
        {38, {0x81, 0x4F, 0x81, 0x80}, "Resolution : 1280 x 960@75 Hz 4:3\r\nResolution : 1280 x 1024@60 Hz 5:4\r\n"},
        {38, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, "Standard Timing :\r\n\r\nDescriptor Block:"},
    };
    for (const auto& c : cases) {
        const std::string report = Report(With(HeaderOnly(), c.offset, c.bytes));
        EXPECT_NE(report.find(c.expected), std::string::npos) << c.expected << "\nin\n" << report;
    }
}

TEST(EdidReport, DetailedTimingTakesEveryFieldFromItsBits)
{
    const Image image =
        With(HeaderOnly(), 54,
             {1, 2, 0x80, 0x90, 0xAB, 0x38, 0x2D, 0x4C, 0x58, 0x2C, 0x45, 0xE7, 0x13, 0x2B, 0x21, 1, 2, 0x9E});
    std::string text;
    EXPECT_EQ(EDID_DescriptorText(text, 54, image), 72);
    EXPECT_EQ(text,
              Crlf("\nDescriptor Block:\n\nPixel Clock : 5.13 MHZ\nHorizontal Active : 2688 pixels\n"
                   "Horizontal Blanking : 2960 pixels\nVertical Active : 1080 pixels\n"
                   "Vertical Blanking : 3117 lines\nHorizontal Sync Offset : 856 pixels\n"
                   "Horizontal Pulse Width : 556 pixels\nVertical Sync Offset : 20 pixels\n"
                   "Vertical Pulse Width : 53 pixels\nHorizontal Size : 531 mm\nVertical Size : 299 mm\n"
                   "Horizontal , Vertical Border : 1 , 2\nInterlaced or not : true\nStereo or not : false\n"
                   "Separate Sync or not : true\nVertical Sync positive or not : true\n"
                   "Horizontal Sync positive or not : true\nStereo Mode : false\n"));
}

TEST(EdidReport, MonitorDescriptorsByTag)
{
    const struct {
        std::initializer_list<int> bytes;
        std::string expected;
    } cases[] = {
        {{0, 0, 0, 0xFC, 0, 'A', 'B', 'C', 0x0A, ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '},
         "Monitor name : ABC\n         \r\n"},
        {{0, 0, 0, 0xFE, 0, 'x', 0, 0xA1, 0xD1, 'y', 0x0A, ' ', ' ', ' ', ' ', ' ', ' ', ' '},
         std::string("ASCII string : x\0\xA1\xD1y\n       \r\n", 30)},
        {{0, 0, 0, 0xFF, 0, '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '1', '2', '3'},
         "nMonitor Serial Number : 1234567890123\r\n"},
        {{0, 0, 0, 0xFD, 0, 56, 76, 31, 83, 17},
         "Monitor Range Limits : \r\nVertical Rate Min , Max : 56 , 76 Hz\r\n"
         "Horizontal Rate Min , Max : 31 , 83 Hz\r\nMax Supported Pixel Clock: 170 MHz\r\n"},
        {{0, 0, 0, 0x10}, "Block Type Unknown Or Padding Block\r\n"},
        {{0x00, 0x0A}, "Pixel Clock : 25.60 MHZ\r\n"},  // a zero low byte is still a timing
    };
    for (const auto& c : cases) {
        std::string text;
        EDID_DescriptorText(text, 72, With(HeaderOnly(), 72, c.bytes));
        EXPECT_EQ(text.substr(0, 23 + c.expected.size()), "\r\nDescriptor Block:\r\n\r\n" + c.expected);
    }
}

TEST(EdidReport, DescriptorCutByTheImageEndReadsZeros)
{
    const std::initializer_list<int> head = {0x3A, 0x02, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40,
                                             0x58, 0x2C, 0x45, 0x00, 0x13, 0x2B, 0x21, 0x07};
    std::string cut, whole;
    EXPECT_EQ(EDID_DescriptorText(cut, 240, With(HeaderOnly(), 240, head)), 258);
    EDID_DescriptorText(whole, 54, With(HeaderOnly(), 54, head));  // bytes 70 and 71 stay zero
    EXPECT_EQ(cut, whole);
}

TEST(EdidReport, ExtensionLinesOnlyForOneCeaExtension)
{
    for (const auto& [count, tag] : {std::pair{0, 2}, {2, 2}, {1, 0x70}}) {
        const std::string report = Report(With(With(HeaderOnly(), 126, {count, 0x5A}), 128, {tag, 3, 4}));
        EXPECT_EQ(report.substr(report.size() - 17), "checksum : 5A\r\n\r\n") << count << " " << tag;
    }
}

// Fractions print as printf does in the C locale, rounding ties to even
// (0.0625 gives 0.062), whatever numeric locale the process has.
TEST(EdidReport, FractionsRoundAsPrintfInTheCLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");
    char expected[32];
    for (unsigned code = 0; code < 1024; ++code) {
        std::snprintf(expected, sizeof expected, "\tRed-x %1.3f  ", code / 1024.0);
        const Image image = With(HeaderOnly(), 25, {static_cast<int>(code & 3) << 6, 0, static_cast<int>(code >> 2)});
        EXPECT_NE(Report(image).find(expected), std::string::npos) << code;
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(EdidReport, DecimalCommaLocaleChangesNothing)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const std::string before = Report(With(HeaderOnly(), 23, {0x78}));
    bool comma = false;
    char probe[8];
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        comma = std::setlocale(LC_NUMERIC, name) && std::snprintf(probe, sizeof probe, "%.1f", 0.5) == 3
            && std::string(probe) == "0,5";
        if (comma)
            break;
    }
    const std::string after = Report(With(HeaderOnly(), 23, {0x78}));
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!comma)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    EXPECT_EQ(after, before);
}

TEST(EdidReportText, MultiplicationSignLineEndsAndStrayBytes)
{
#if defined(_WIN32)
    const char* platformEnd = "\r\n";
#else
    const char* platformEnd = "\n";
#endif
    const struct {
        std::string report;
        std::string asStored;
    } cases[] = {
        {"\t720\xA1\xD1"
         "400@70 Hz\r\n",
         "\t720\xC3\x97"
         "400@70 Hz\r\n"},
        {"Monitor name : ABC\n  \r\n", "Monitor name : ABC   \r\n"},
        {std::string("a\0b\rc\x7F", 6), "a b c "},
        {"\xA1\xA1\xD1", "\xEF\xBF\xBD\xC3\x97"},
        {"\xC3\x97\xFF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\r\r\n\n", " \r\n "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xandrel::ReportToUtf8(c.report), c.asStored);
        std::string platform = c.asStored;
        for (std::size_t at; (at = platform.find("\r\n")) != std::string::npos;)
            platform.replace(at, 2, platformEnd);
        EXPECT_EQ(xandrel::ReportToUtf8(c.report, xandrel::ReportLineEnds::Platform), platform);
    }
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const std::string bytes = {static_cast<char>(first), static_cast<char>(second), '\xA1'};
            ASSERT_TRUE(IsValidUtf8(xandrel::ReportToUtf8(bytes))) << first << " " << second;
        }
    }
}

}  // namespace
