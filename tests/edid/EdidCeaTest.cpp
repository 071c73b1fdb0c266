// SPDX-License-Identifier: GPL-3.0-or-later
// The CEA extension lines of the report: header and flags, the data block
// walk, the descriptors after it, and blocks cut by the end of the image.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EdidTestImages.h"

using namespace edidtest;

namespace {

// A base block announcing one CEA extension (revision 3) whose descriptors
// start at `d`, with `blocks` from byte 132 on.
Image CeaImage(int d, int flags, std::initializer_list<int> blocks = {})
{
    return With(With(With(HeaderOnly(), 126, {1, 0x11}), 128, {0x02, 0x03, d, flags}), 132, blocks);
}

std::string ExtensionLines(const Image& image)
{
    const std::string report = Report(image);
    const auto start = report.find("CEA Extension \r\n");
    return start == std::string::npos ? std::string() : report.substr(start);
}

int Count(const std::string& text, const std::string& line)
{
    int count = 0;
    for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        ++count;
    return count;
}

const std::string kVideo = "**********Video Data Block**********\r\n";
const std::string kAudio = "**********Audio Data Block**********\r\n";
const std::string kSpeakers = "**********Speaker Allocation Block**********\r\n";

TEST(EdidCea, NoDescriptorOffsetEndsAfterTheFlags)
{
    EXPECT_EQ(ExtensionLines(CeaImage(0, 0xA0)),
              Crlf("CEA Extension \n"
                   "Revision Number : 03\n"
                   "supports underscan : true\n"
                   "supports basic audio : false\n"
                   "supports YCbCr 4:4:4 : true\n"
                   "supports YCbCr 4:2:2 : false\n"));
}

TEST(EdidCea, DescriptorsFromByte132WithoutDataBlocks)
{
    Image image = CeaImage(4, 0x50);
    image[255] = 0xC4;
    const std::string lines = ExtensionLines(image);
    EXPECT_EQ(lines.find("Reserved Block"), std::string::npos);
    EXPECT_EQ(Count(lines, "Descriptor Block:"), 7) << "at 132, 150, ... 240; the last one cut by the image end";
    EXPECT_EQ(lines.substr(lines.size() - 15), "checksum : C4\r\n");
}

TEST(EdidCea, BlockWalk)
{
    const struct {
        const char* what;
        std::vector<int> bytes;
        std::string text;
    } cases[] = {
        {"two VICs, native flag ignored",
         {0x42, 0x90, 0x05},
         kVideo + "1920x1080p@59.94(60)Hz 16:9\r\n1920x1080i@59.94(60)Hz 16:9\r\n"},
        {"VICs 0, 60, 65, 127 give nothing",
         {0x45, 0x00, 0x3C, 0xC1, 0x7F, 0x81},
         kVideo + "640x480p@59.94(60)Hz  4:3\r\n"},
        {"VIC 23 and 24", {0x42, 23, 24}, kVideo + "720(1440)x288p@50Hz  4:3\r\n720(1440)x288p@50Hz 16:9\r\n"},
        {"LPCM",
         {0x23, 0x09, 0x07, 0x07},
         kAudio + "LPCM 2 channels , 16 bit , 20 bit , 24 bit , 32 kHz , 44.1 kHz , 48 kHz \r\n"},
        {"AC-3",
         {0x23, 0x15, 0x07, 0x50},
         kAudio + "AC-3 6 channels  , Max bit rate 80bit  , 32 kHz , 44.1 kHz , 48 kHz \r\n"},
        {"One Bit Audio has no bit rate",
         {0x23, 0x49, 0x7F, 0xFF},
         kAudio
             + "One Bit Audio 2 channels  , 32 kHz , 44.1 kHz , 48 kHz , 88.2 kHz , 96 kHz , 176.4 kHz , 192 kHz \r\n"},
        {"format 15, then ATRAC",
         {0x26, 0x78, 0x00, 0x00, 0x47, 0x00, 0x01},
         kAudio + "Reserved for audio format 15 1 channels  \r\nATRAC 8 channels  , Max bit rate 1bit  \r\n"},
        {"reserved format 0 gives no line", {0x23, 0x01, 0x07, 0x07}, kAudio},
        {"speakers", {0x83, 0x01, 0x00, 0x00}, kSpeakers + " FL/FR \r\n"},
        {"every speaker", {0x83, 0x7F, 0x00, 0x00}, kSpeakers + " FL/FR  LFE  FC  RL/RR  RC  FLC/FRC  RLC/RRC \r\n"},
        {"vendor block passed over",
         {0x65, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x41, 0x01},
         kVideo + "640x480p@59.94(60)Hz  4:3\r\n"},
        {"tag 0x00 moves on by one byte", {0x00, 0x00, 0x41, 0x02}, kVideo + "720x480p@59.94(60)Hz  4:3\r\n"},
        // Audio and speaker blocks whose length is no multiple of three are
        // still passed over by their length: the next block decodes.
        {"audio of length 4",
         {0x24, 0x09, 0x07, 0x07, 0x99, 0x41, 0x01},
         kAudio + "LPCM 2 channels , 16 bit , 20 bit , 24 bit , 32 kHz , 44.1 kHz , 48 kHz \r\n" + kVideo
             + "640x480p@59.94(60)Hz  4:3\r\n"},
        {"audio of length 5",
         {0x25, 0x09, 0x07, 0x07, 0x09, 0x07, 0x41, 0x01},
         kAudio + "LPCM 2 channels , 16 bit , 20 bit , 24 bit , 32 kHz , 44.1 kHz , 48 kHz \r\n" + kVideo
             + "640x480p@59.94(60)Hz  4:3\r\n"},
        {"speakers of length 4",
         {0x84, 0x01, 0x00, 0x00, 0x05, 0x41, 0x02},
         kSpeakers + " FL/FR \r\n" + kVideo + "720x480p@59.94(60)Hz  4:3\r\n"},
    };
    for (const auto& c : cases) {
        Image image = HeaderOnly();
        for (std::size_t i = 0; i < c.bytes.size(); ++i)
            image[132 + i] = static_cast<BYTE>(c.bytes[i]);
        std::string text;
        const int length = static_cast<int>(c.bytes.size());
        EXPECT_EQ(EDID_CEABlocksText(text, 132, length, image), 132 + length) << c.what;
        EXPECT_EQ(text, c.text) << c.what;
    }
}

TEST(EdidCea, BlocksCutByTheImageEndReadZeros)
{
    // A video block of 31 VICs at byte 250: five inside the image, the rest zero.
    const Image image = With(HeaderOnly(), 250, {0x5F, 1, 2, 3, 4, 5});
    std::string text;
    EXPECT_EQ(EDID_CEABlocksText(text, 250, 100, image), 282);
    EXPECT_EQ(Count(text, "\r\n"), 6);

    text.clear();
    EXPECT_EQ(EDID_CEABlocksText(text, 256, 10, image), 256);
    EXPECT_EQ(EDID_CEABlocksText(text, 132, 0, image), 132);
    EXPECT_EQ(EDID_CEABlocksText(text, -5, 10, image), -5);
    EXPECT_TRUE(text.empty());
}

TEST(EdidCea, LargestDescriptorOffsetEndsAtTheChecksum)
{
    // d = 255: the block walk covers the rest of the image, no descriptor follows.
    Image image = CeaImage(255, 0, {0x42, 0x01, 0x02});
    image[255] = 0x7E;
    const std::string lines = ExtensionLines(image);
    EXPECT_EQ(Count(lines, "Descriptor Block:"), 0);
    EXPECT_EQ(lines.substr(lines.size() - 15), "checksum : 7E\r\n");
}

}  // namespace
