// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The EDID report: a 256-byte EDID image (the base block, bytes 0-127, and
// the first extension block, bytes 128-255) decoded into one fact per line.
//
// The report is a byte string in code page 950: every line ends in CR LF,
// the multiplication sign of the established timings is the byte pair A1 D1,
// and descriptor texts are copied from the image unchanged. The decoder only
// reads the image, checks no checksum and never reads outside the 256 bytes.
// ReportToUtf8 turns a report into text a window can show.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "xandrel/XandrelExport.h"

using BYTE = uint8_t;

namespace xandrel {
inline constexpr std::size_t kEdidImageSize = 256;
inline constexpr std::size_t kEdidBlockSize = 128;
using EdidImageView = std::span<const BYTE, kEdidImageSize>;
}  // namespace xandrel

// Empties `report` and fills it with the report of `image`: the base block,
// then the CEA extension when byte 126 is 1 and byte 128 is 0x02. An image
// without the header 00 FF FF FF FF FF FF 00 gives "error edid format" alone.
XANDREL_EXPORT void EDID_MakeReport(xandrel::EdidImageView image, std::string& report);

// Appends the lines of the 18-byte descriptor at `offset` (a detailed timing,
// or a monitor descriptor by its tag) and returns offset + 18. A descriptor
// that the end of the image cuts short reads its missing bytes as zero.
XANDREL_EXPORT int EDID_DescriptorText(std::string& report, int offset, xandrel::EdidImageView image);

// The chromaticity fraction of a 10-bit code: code / 1024, exact in single
// precision. Bits above the tenth are ignored.
XANDREL_EXPORT float EDID_ChromaValue(unsigned code);

// Appends the lines of the CEA data blocks from `start` over `length` bytes
// (video, audio and speaker allocation blocks give lines, the other codes
// none) and returns the offset at which the walk stopped: after the last
// block it took, which may lie past the image when the end of the image cuts
// that block short. Every block is passed over by its stated length, even an
// audio or speaker block whose length is no multiple of three. A start
// outside the image or a length below 1 appends nothing and returns `start`.
XANDREL_EXPORT int EDID_CEABlocksText(std::string& report, int start, int length, xandrel::EdidImageView image);

namespace xandrel {

// The three manufacturer letters of an EDID vendor ID (image bytes 8 and 9),
// five bits each plus 0x40, appended as they come even when a code lies
// outside A to Z.
XANDREL_EXPORT std::string EdidManufacturerLetters(BYTE first, BYTE second);

enum class ReportLineEnds {
    AsStored,  // keep CR LF
    Platform,  // CR LF on Windows, LF elsewhere
};

// The report as UTF-8 text for a window. The pair A1 D1 becomes U+00D7 (the
// multiplication sign), CR LF the chosen line end, and tab and the printable
// ASCII bytes stay as they are. What remains can only have come from a
// descriptor text of the image: any other control byte (a zero byte, the line
// feed that ends a name, a lone CR) becomes a blank, so a name stays on its
// line and a zero byte cannot cut the text short, and any other byte from
// 0x80 up becomes U+FFFD, one per byte. The result is always valid UTF-8.
XANDREL_EXPORT std::string ReportToUtf8(std::string_view report, ReportLineEnds lineEnds = ReportLineEnds::AsStored);

}  // namespace xandrel
