// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/edid/EdidReport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstdarg>
#include <cstdio>

namespace {

using xandrel::EdidImageView;

constexpr int kImageEnd = static_cast<int>(xandrel::kEdidImageSize);
constexpr int kDescriptorSize = 18;
constexpr int kExtensionStart = 128;
constexpr int kCeaBlocksStart = 132;
constexpr int kCeaHeaderSize = kCeaBlocksStart - kExtensionStart;
constexpr BYTE kCeaTag = 0x02;

// Image byte `position`. Positions outside the image read as zero: that is
// how a data block or a descriptor that the end of the image cuts short is
// decoded, and it keeps every read inside the 256 bytes.
BYTE At(EdidImageView image, long long position)
{
    return position >= 0 && position < kImageEnd ? image[static_cast<std::size_t>(position)] : 0;
}

// Appends printf-formatted text. Every line the report formats this way is
// well below the buffer's size. Floating-point values go through AppendFixed.
[[gnu::format(printf, 2, 3)]] void AppendFormat(std::string& report, const char* format, ...)
{
    char text[128];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (length > 0)
        report.append(text, std::min(static_cast<std::size_t>(length), sizeof text - 1));
}

// Appends `value` with `decimals` digits after the point exactly as printf's
// "%.*f" does in the C locale. printf itself follows the process's numeric
// locale, which a GUI program takes from the environment (a decimal comma in
// many of them); the report's bytes must not depend on it.
void AppendFixed(std::string& report, double value, int decimals)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec == std::errc())
        report.append(text, result.ptr);
}

const char* TrueFalse(bool value)
{
    return value ? "true" : "false";
}

struct BitText {
    unsigned mask;
    const char* text;
};

// Appends, in table order, the text of every entry whose bit is set in `value`.
void AppendSetBits(std::string& report, unsigned value, std::span<const BitText> table)
{
    for (const BitText& entry : table) {
        if (value & entry.mask)
            report += entry.text;
    }
}

// ---- Base block -------------------------------------------------------------

constexpr std::array<BYTE, 8> kHeader = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

constexpr std::array<const char*, 4> kVideoLevels = {
    "video level : 0.7, 0.3\r\n",
    "video level : 0.714, 0.286\r\n",
    "video level : 1, 0.4\r\n",
    "video level : 0.7, 0\r\n",
};

constexpr BitText kAnalogSyncs[] = {
    {0x10, "blank-to-black setup\r\n"}, {0x08, "separate syncs\r\n"},  {0x04, "composite sync\r\n"},
    {0x02, "sync on green\r\n"},        {0x01, "serration vsync\r\n"},
};

constexpr std::array<const char*, 4> kDisplayTypes = {
    "\tdisplay type :monochrome\r\n",
    "\tdisplay type :RGB color\r\n",
    "\tdisplay type :non RGB multicolour\r\n",
    "\tdisplay type :undefined\r\n",
};

constexpr BitText kFeatures[] = {
    {0x80, "\tstandby\r\n"},
    {0x40, "\tsuspend\r\n"},
    {0x20, "\tactive-off/low power\r\n"},
    {0x04, "\tstandard colour space\r\n"},
    {0x02, "\tpreferred timing mode\r\n"},
    {0x01, "\tdefault GTF supported\r\n"},
};

// One chromaticity value: its high byte and the two low bits at `shift` in
// the low byte, printed between `label` and `tail`.
struct ChromaEntry {
    const char* label;
    const char* tail;
    int highByte;
    int lowByte;
    int shift;
};

constexpr ChromaEntry kChroma[] = {
    {"\tRed-x ", "  ", 27, 25, 6},   {"Red-y ", "\r\n", 28, 25, 4},   {"\tGreen-x ", "  ", 29, 25, 2},
    {"Green-y ", "\r\n", 30, 25, 0}, {"\tBlue-x ", "  ", 31, 26, 6},  {"Blue-y ", "\r\n", 32, 26, 4},
    {"\tWhite-x ", "  ", 33, 26, 2}, {"White-y ", "\r\n", 34, 26, 0},
};

// Bytes 35, 36 and 37 read as one 24-bit value, byte 35 highest. The sign
// between the sizes is the code page 950 multiplication sign A1 D1 (the
// literals are split after it so that no digit joins the hex escape).
constexpr BitText kEstablishedTimings[] = {
    {0x800000,
     "\t720\xA1\xD1"
     "400@70 Hz\r\n"},
    {0x400000,
     "\t720\xA1\xD1"
     "400@88 Hz\r\n"},
    {0x200000,
     "\t640\xA1\xD1"
     "480@60 Hz\r\n"},
    {0x100000,
     "\t640\xA1\xD1"
     "480@67 Hz\r\n"},
    {0x080000,
     "\t640\xA1\xD1"
     "480@72 Hz\r\n"},
    {0x040000,
     "\t640\xA1\xD1"
     "480@75 Hz\r\n"},
    {0x020000,
     "\t800\xA1\xD1"
     "600@56 Hz\r\n"},
    {0x010000,
     "\t800\xA1\xD1"
     "600@60 Hz\r\n"},
    {0x008000,
     "\t800\xA1\xD1"
     "600@72 Hz\r\n"},
    {0x004000,
     "\t800\xA1\xD1"
     "600@75 Hz\r\n"},
    {0x002000,
     "\t832\xA1\xD1"
     "624@75 Hz\r\n"},
    {0x001000,
     "\t1024\xA1\xD1"
     "768@87 Hz\r\n"},
    {0x000800,
     "\t1024\xA1\xD1"
     "768@60 Hz\r\n"},
    {0x000400,
     "\t1024\xA1\xD1"
     "768@70 Hz\r\n"},
    {0x000200,
     "\t1024\xA1\xD1"
     "768@75 Hz\r\n"},
    {0x000100,
     "\t1280\xA1\xD1"
     "1024@75 Hz\r\n"},
    {0x000080,
     "\t1152\xA1\xD1"
     "870@75 Hz\r\n"},
};

// By the top two bits of a standard timing's second byte.
struct AspectRatio {
    double verticalPerHorizontal;
    const char* name;
};
constexpr std::array<AspectRatio, 4> kAspectRatios = {
    {{0.625, "16:10"}, {0.75, "4:3"}, {0.8, "5:4"}, {0.5625, "16:9"}}};

constexpr int kStandardTimings = 38;
constexpr BYTE kUnusedStandardTiming = 0x01;
constexpr int kFirstDescriptor = 54;
constexpr int kDescriptorsEnd = 126;

void AppendVideoInput(std::string& report, BYTE input)
{
    if (input & 0x80) {
        report += (input & 0x01) ? "digital DFP 1.x compatible\r\n" : "digital\r\n";
        return;
    }
    report += "analog\r\n";
    report += kVideoLevels[(input >> 5) & 3];
    AppendSetBits(report, input, kAnalogSyncs);
}

void AppendStandardTiming(std::string& report, BYTE first, BYTE second)
{
    if (first == kUnusedStandardTiming)
        return;
    const int horizontal = (first + 31) * 8;
    const AspectRatio& ratio = kAspectRatios[second >> 6];
    AppendFormat(report, "Resolution : %d x ", horizontal);
    AppendFixed(report, horizontal * ratio.verticalPerHorizontal, 0);
    AppendFormat(report, "@%d Hz %s\r\n", (second & 0x3F) + 60, ratio.name);
}

void AppendBaseBlock(std::string& report, EdidImageView b)
{
    report += "Manufacturer ID: ";
    report += xandrel::EdidManufacturerLetters(b[8], b[9]);
    AppendFormat(report, "%02X%02X\r\n", b[11], b[10]);

    const uint32_t serial = b[12] | b[13] << 8 | b[14] << 16 | static_cast<uint32_t>(b[15]) << 24;
    AppendFormat(report, "Serial Number: %d\r\n", static_cast<int32_t>(serial));
    AppendFormat(report, "Manufacture date: week %d, year %d\r\n", b[16], b[17] + 1990);
    AppendFormat(report, "EDID Version Number: %d.%d\r\n", b[18], b[19]);

    report += "Signal Type: ";
    AppendVideoInput(report, b[20]);
    AppendFormat(report, "Max Image Size: %d x %d mm\r\n", b[21] * 10, b[22] * 10);
    report += "Display Gamma: ";
    AppendFixed(report, b[23] / 100.0 + 1, 2);
    report += "\r\n";

    report += "Feature Supported: \r\n";
    report += kDisplayTypes[(b[24] >> 3) & 3];
    AppendSetBits(report, b[24], kFeatures);

    report += "Color characteristics:\r\n";
    for (const ChromaEntry& entry : kChroma) {
        const unsigned code = b[entry.highByte] << 2 | ((b[entry.lowByte] >> entry.shift) & 3);
        report += entry.label;
        AppendFixed(report, EDID_ChromaValue(code), 3);
        report += entry.tail;
    }

    report += "Etablished Timings :\r\n";
    AppendSetBits(report, b[35] << 16 | b[36] << 8 | b[37], kEstablishedTimings);

    report += "Standard Timing :\r\n";
    for (int entry = 0; entry < 8; ++entry)
        AppendStandardTiming(report, b[kStandardTimings + 2 * entry], b[kStandardTimings + 2 * entry + 1]);

    for (int offset = kFirstDescriptor; offset < kDescriptorsEnd;)
        offset = EDID_DescriptorText(report, offset, b);

    AppendFormat(report, "checksum : %02X\r\n\r\n", b[127]);
}

// ---- Descriptors ------------------------------------------------------------

using Descriptor = std::array<BYTE, kDescriptorSize>;

void AppendDetailedTiming(std::string& report, const Descriptor& d)
{
    report += "Pixel Clock : ";
    AppendFixed(report, (d[0] + 256 * d[1]) / 100.0, 2);
    report += " MHZ\r\n";
    AppendFormat(report, "Horizontal Active : %d pixels\r\n", d[2] + 256 * (d[4] >> 4));
    AppendFormat(report, "Horizontal Blanking : %d pixels\r\n", d[3] + 256 * (d[4] & 0x0F));
    AppendFormat(report, "Vertical Active : %d pixels\r\n", d[5] + 256 * (d[7] >> 4));
    AppendFormat(report, "Vertical Blanking : %d lines\r\n", d[6] + 256 * (d[7] & 0x0F));
    AppendFormat(report, "Horizontal Sync Offset : %d pixels\r\n", d[8] + 256 * (d[11] >> 6));
    AppendFormat(report, "Horizontal Pulse Width : %d pixels\r\n", d[9] + 256 * ((d[11] >> 4) & 3));
    AppendFormat(report, "Vertical Sync Offset : %d pixels\r\n", (d[10] >> 4) + 16 * ((d[11] >> 2) & 3));
    AppendFormat(report, "Vertical Pulse Width : %d pixels\r\n", (d[10] & 0x0F) + 16 * (d[11] & 3));
    AppendFormat(report, "Horizontal Size : %d mm\r\n", d[12] + 256 * (d[14] >> 4));
    AppendFormat(report, "Vertical Size : %d mm\r\n", d[13] + 256 * (d[14] & 0x0F));
    AppendFormat(report, "Horizontal , Vertical Border : %d , %d\r\n", d[15], d[16]);
    const BYTE flags = d[17];
    AppendFormat(report, "Interlaced or not : %s\r\n", TrueFalse(flags & 0x80));
    AppendFormat(report, "Stereo or not : %s\r\n", TrueFalse(flags & 0x60));
    AppendFormat(report, "Separate Sync or not : %s\r\n", TrueFalse(flags & 0x0C));
    AppendFormat(report, "Vertical Sync positive or not : %s\r\n", TrueFalse(flags & 0x04));
    AppendFormat(report, "Horizontal Sync positive or not : %s\r\n", TrueFalse(flags & 0x02));
    AppendFormat(report, "Stereo Mode : %s\r\n", TrueFalse(flags & 0x01));
}

// A text descriptor: its 13 text bytes exactly as stored, terminator and
// padding included.
void AppendDescriptorString(std::string& report, const char* label, const Descriptor& d)
{
    report += label;
    report.append(reinterpret_cast<const char*>(d.data() + 5), kDescriptorSize - 5);
    report += "\r\n";
}

void AppendMonitorDescriptor(std::string& report, const Descriptor& d)
{
    switch (d[3]) {
    case 0xFC: AppendDescriptorString(report, "Monitor name : ", d); break;
    case 0xFE: AppendDescriptorString(report, "ASCII string : ", d); break;
    case 0xFF: AppendDescriptorString(report, "nMonitor Serial Number : ", d); break;
    case 0xFD:
        report += "Monitor Range Limits : \r\n";
        AppendFormat(report, "Vertical Rate Min , Max : %d , %d Hz\r\n", d[5], d[6]);
        AppendFormat(report, "Horizontal Rate Min , Max : %d , %d Hz\r\n", d[7], d[8]);
        AppendFormat(report, "Max Supported Pixel Clock: %d MHz\r\n", d[9] * 10);
        break;
    default: report += "Block Type Unknown Or Padding Block\r\n"; break;
    }
}

// ---- CEA extension ----------------------------------------------------------

constexpr int kAudioBlock = 1;
constexpr int kVideoBlock = 2;
constexpr int kSpeakerBlock = 4;
constexpr int kShortAudioSize = 3;

// By video identification code 1 to 59.
constexpr std::array<const char*, 59> kVideoFormats = {
    "640x480p@59.94(60)Hz  4:3\r\n",
    "720x480p@59.94(60)Hz  4:3\r\n",
    "720x480p@59.94(60)Hz 16:9\r\n",
    "1280x720p@59.94(60)Hz 16:9\r\n",
    "1920x1080i@59.94(60)Hz 16:9\r\n",
    "720(1440)x480i@59.94(60)Hz  4:3\r\n",
    "720(1440)x480i@59.94(60)Hz 16:9\r\n",
    "720(1440)x240p@59.94(60)Hz  4:3\r\n",
    "720(1440)x240p@59.94(60)Hz 16:9\r\n",
    "2880x480i@59.94(60)Hz  4:3\r\n",
    "2880x480i@59.94(60)Hz 16:9\r\n",
    "2880x480p@59.94(60)Hz  4:3\r\n",
    "2880x480p@59.94(60)Hz 16:9\r\n",
    "1440x480p@59.94(60)Hz  4:3\r\n",
    "1440x480p@59.94(60)Hz 16:9\r\n",
    "1920x1080p@59.94(60)Hz 16:9\r\n",
    "720x576p@50Hz  4:3\r\n",
    "720x576p@50Hz 16:9\r\n",
    "1280x720p@50Hz 16:9\r\n",
    "1920x1080i@50Hz 16:9\r\n",
    "720(1440)x576i@50Hz  4:3\r\n",
    "720(1440)x576i@50Hz 16:9\r\n",
    "720(1440)x288p@50Hz  4:3\r\n",
    "720(1440)x288p@50Hz 16:9\r\n",
    "2880x576i@50Hz  4:3\r\n",
    "2880x576i@50Hz 16:9\r\n",
    "2880x288p@50Hz  4:3\r\n",
    "2880x288p@50Hz 16:9\r\n",
    "1440x576p@50Hz  4:3\r\n",
    "1440x576p@50Hz 16:9\r\n",
    "1920x1080p@50Hz 16:9\r\n",
    "1920x1080p@23.97(24)Hz 16:9\r\n",
    "1920x1080p@25Hz 16:9\r\n",
    "1920x1080p@29.97(30)Hz 16:9\r\n",
    "2880x480p@59.94(60)Hz  4:3\r\n",
    "2880x480p@59.94(60)Hz 16:9\r\n",
    "2880x576p@50Hz  4:3\r\n",
    "2880x576p@50Hz 16:9\r\n",
    "1920x1080i@50Hz 16:9\r\n",
    "1920x1080i@100Hz 16:9\r\n",
    "1280x720p@100Hz 16:9\r\n",
    "720x576p@100Hz  4:3\r\n",
    "720x576p@100Hz 16:9\r\n",
    "720(1440)x576i@100Hz  4:3\r\n",
    "720(1440)x576i@100Hz 16:9\r\n",
    "1920x1080i@119.88(120)Hz 16:9\r\n",
    "1280x720p@119.88(120)Hz 16:9\r\n",
    "720x480p@119.88(120)Hz  4:3\r\n",
    "720x480p@119.88(120)Hz 16:9\r\n",
    "720(1440)x480i@119.88(120)Hz  4:3\r\n",
    "720(1440)x480i@119.88(120)Hz 16:9\r\n",
    "720x576p@200Hz  4:3\r\n",
    "720x576p@200Hz 16:9\r\n",
    "720(1440)x576i@200Hz  4:3\r\n",
    "720(1440)x576i@200Hz 16:9\r\n",
    "720x480p@239.76(240)Hz  4:3\r\n",
    "720x480p@239.76(240)Hz 16:9\r\n",
    "720(1440)x480i@239.76(240)Hz  4:3\r\n",
    "720(1440)x480i@239.76(240)Hz 16:9\r\n",
};

// By audio format code 1 to 15; each takes the channel count.
constexpr std::array<const char*, 15> kAudioFormats = {
    "LPCM %d channels ",
    "AC-3 %d channels  ",
    "MPEG1(Layers 1 & 2) %d channels  ",
    "MP3 %d channels  ",
    "MPEG2 %d channels  ",
    "AAC %d channels  ",
    "DTS %d channels  ",
    "ATRAC %d channels  ",
    "One Bit Audio %d channels  ",
    "Dolby Digital + %d channels  ",
    "DTS-HD %d channels  ",
    "MAT(MLP) %d channels  ",
    "DST %d channels  ",
    "WMA Pro %d channels  ",
    "Reserved for audio format 15 %d channels  ",
};
constexpr int kLpcm = 1;
constexpr int kLastFormatWithBitRate = 8;

constexpr BitText kLpcmBitDepths[] = {{0x01, ", 16 bit "}, {0x02, ", 20 bit "}, {0x04, ", 24 bit "}};

constexpr BitText kSampleRates[] = {
    {0x01, ", 32 kHz "}, {0x02, ", 44.1 kHz "},  {0x04, ", 48 kHz "},  {0x08, ", 88.2 kHz "},
    {0x10, ", 96 kHz "}, {0x20, ", 176.4 kHz "}, {0x40, ", 192 kHz "},
};

constexpr BitText kSpeakers[] = {
    {0x01, " FL/FR "}, {0x02, " LFE "},     {0x04, " FC "},      {0x08, " RL/RR "},
    {0x10, " RC "},    {0x20, " FLC/FRC "}, {0x40, " RLC/RRC "},
};

// One short audio descriptor. A descriptor of the reserved format code 0
// describes no audio format and gives no line.
void AppendShortAudioDescriptor(std::string& report, BYTE formatAndChannels, BYTE rates, BYTE detail)
{
    const int format = (formatAndChannels >> 3) & 0x0F;
    if (format == 0)
        return;
    AppendFormat(report, kAudioFormats[format - 1], (formatAndChannels & 7) + 1);
    if (format == kLpcm)
        AppendSetBits(report, detail, kLpcmBitDepths);
    else if (format <= kLastFormatWithBitRate)
        AppendFormat(report, ", Max bit rate %dbit  ", detail);
    AppendSetBits(report, rates, kSampleRates);
    report += "\r\n";
}

// The payload of a data block lies from `first` up to `end` (exclusive);
// bytes of it past the image read as zero.
void AppendVideoBlock(std::string& report, EdidImageView image, int first, int end)
{
    report += "**********Video Data Block**********\r\n";
    for (int position = first; position < end; ++position) {
        const int vic = At(image, position) & 0x7F;
        if (vic >= 1 && vic <= static_cast<int>(kVideoFormats.size()))
            report += kVideoFormats[vic - 1];
    }
}

// Only whole three-byte descriptors inside the block are taken; one or two
// bytes left over at the block's end are passed over with the block, so a
// block with a wrong length never reads, or hides, the next block's tag.
void AppendAudioBlock(std::string& report, EdidImageView image, int first, int end)
{
    report += "**********Audio Data Block**********\r\n";
    for (int position = first; position + kShortAudioSize <= end; position += kShortAudioSize)
        AppendShortAudioDescriptor(report, At(image, position), At(image, position + 1), At(image, position + 2));
}

// The speaker bits are the first byte of each three-byte step that starts
// before the block's last byte, so no step reads outside the block.
void AppendSpeakerBlock(std::string& report, EdidImageView image, int first, int end)
{
    report += "**********Speaker Allocation Block**********\r\n";
    for (int position = first; position < end - 1; position += 3) {
        AppendSetBits(report, At(image, position), kSpeakers);
        report += "\r\n";
    }
}

void AppendCeaExtension(std::string& report, EdidImageView b)
{
    AppendFormat(report, "CEA Extension \r\nRevision Number : %02X\r\n", b[129]);
    const BYTE flags = b[131];
    AppendFormat(report, "supports underscan : %s\r\n", TrueFalse(flags & 0x80));
    AppendFormat(report, "supports basic audio : %s\r\n", TrueFalse(flags & 0x40));
    AppendFormat(report, "supports YCbCr 4:4:4 : %s\r\n", TrueFalse(flags & 0x20));
    AppendFormat(report, "supports YCbCr 4:2:2 : %s\r\n", TrueFalse(flags & 0x10));

    const int descriptorOffset = b[130];
    if (descriptorOffset == 0)
        return;
    int offset = kCeaBlocksStart;
    if (descriptorOffset > kCeaHeaderSize) {
        report += "\r\nCEA Extension Reserved Block\r\n";
        offset = EDID_CEABlocksText(report, kCeaBlocksStart, descriptorOffset - kCeaHeaderSize, b);
    }
    // The last descriptor may start after byte 238; EDID_DescriptorText reads
    // its bytes past the image as zero.
    while (offset < kImageEnd)
        offset = EDID_DescriptorText(report, offset, b);
    AppendFormat(report, "checksum : %02X\r\n", b[255]);
}

}  // namespace

void EDID_MakeReport(EdidImageView image, std::string& report)
{
    report.clear();
    if (!std::equal(kHeader.begin(), kHeader.end(), image.begin())) {
        report = "error edid format";
        return;
    }
    AppendBaseBlock(report, image);
    if (image[126] == 1 && image[kExtensionStart] == kCeaTag)
        AppendCeaExtension(report, image);
}

int EDID_DescriptorText(std::string& report, int offset, EdidImageView image)
{
    // A descriptor cut by the end of the image reads its missing bytes as zero.
    Descriptor d;
    for (int i = 0; i < kDescriptorSize; ++i)
        d[i] = At(image, static_cast<long long>(offset) + i);

    report += "\r\nDescriptor Block:\r\n\r\n";
    if (d[0] != 0 || d[1] != 0)
        AppendDetailedTiming(report, d);
    else
        AppendMonitorDescriptor(report, d);
    return offset > INT_MAX - kDescriptorSize ? INT_MAX : offset + kDescriptorSize;
}

float EDID_ChromaValue(unsigned code)
{
    return static_cast<float>(code & 0x3FF) / 1024.0f;
}

int EDID_CEABlocksText(std::string& report, int start, int length, EdidImageView image)
{
    if (start < 0 || start >= kImageEnd || length < 1)
        return start;
    // Nothing lies past the image, so the walk ends there at the latest. A
    // block that the end of the image cuts short is decoded with its missing
    // bytes as zero, and the walk stops after it.
    const int end = start + std::min(length, kImageEnd - start);
    int position = start;
    while (position < end) {
        const BYTE tag = image[static_cast<std::size_t>(position)];
        const int first = position + 1;
        const int next = first + (tag & 0x1F);
        switch (tag >> 5) {
        case kAudioBlock: AppendAudioBlock(report, image, first, next); break;
        case kVideoBlock: AppendVideoBlock(report, image, first, next); break;
        case kSpeakerBlock: AppendSpeakerBlock(report, image, first, next); break;
        default:  // vendor-specific, extended and reserved blocks give no text
            break;
        }
        position = next;
    }
    return position;
}

namespace xandrel {

std::string EdidManufacturerLetters(BYTE first, BYTE second)
{
    return {
        static_cast<char>(((first >> 2) & 0x1F) + 0x40),
        static_cast<char>(((first & 0x03) << 3) + (second >> 5) + 0x40),
        static_cast<char>((second & 0x1F) + 0x40),
    };
}

std::string ReportToUtf8(std::string_view report, ReportLineEnds lineEnds)
{
#if defined(_WIN32)
    constexpr std::string_view platformLineEnd = "\r\n";
#else
    constexpr std::string_view platformLineEnd = "\n";
#endif
    const std::string_view lineEnd = lineEnds == ReportLineEnds::Platform ? platformLineEnd : "\r\n";
    constexpr std::string_view multiplicationSign = "\xC3\x97";  // U+00D7
    constexpr std::string_view replacement = "\xEF\xBF\xBD";     // U+FFFD

    std::string text;
    text.reserve(report.size() + report.size() / 16);
    for (std::size_t i = 0; i < report.size(); ++i) {
        const auto byte = static_cast<unsigned char>(report[i]);
        const auto next = i + 1 < report.size() ? static_cast<unsigned char>(report[i + 1]) : 0u;
        if (byte == 0xA1 && next == 0xD1) {
            text += multiplicationSign;
            ++i;
        } else if (byte == '\r' && next == '\n') {
            text += lineEnd;
            ++i;
        } else if (byte == '\t' || (byte >= 0x20 && byte < 0x7F)) {
            text += static_cast<char>(byte);
        } else if (byte < 0x80) {
            text += ' ';
        } else {
            text += replacement;
        }
    }
    return text;
}

}  // namespace xandrel
