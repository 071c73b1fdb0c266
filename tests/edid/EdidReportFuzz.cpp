// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the EDID report. The input's first 256 bytes are the
// image (missing bytes zero); each input is decoded twice, once as it is and
// once with the EDID header forced so that mutations reach the decoder behind
// the header check. The report must turn into valid UTF-8, and the data block
// walk and the descriptor decoder are also run from offsets taken from the
// input's bytes after the image.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "EdidTestImages.h"

namespace {

void Decode(const xandrel::EdidImage& image)
{
    std::string report;
    EDID_MakeReport(image, report);
    if (!edidtest::IsValidUtf8(xandrel::ReportToUtf8(report, xandrel::ReportLineEnds::Platform)))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    xandrel::EdidImage image{};
    std::copy_n(data, std::min(size, image.size()), image.begin());
    Decode(image);

    constexpr uint8_t header[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::copy(std::begin(header), std::end(header), image.begin());
    Decode(image);

    if (size >= image.size() + 3) {
        const uint8_t* extra = data + image.size();
        std::string text;
        EDID_CEABlocksText(text, extra[0], extra[1], image);
        EDID_DescriptorText(text, extra[2], image);
        EDID_DescriptorText(text, static_cast<int8_t>(extra[2]), image);
    }
    return 0;
}
