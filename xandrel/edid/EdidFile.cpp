// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/edid/EdidFile.h"

#include <algorithm>
#include <numeric>

#include "xandrel/custom/AtomicFile.h"

namespace xandrel {
namespace {

constexpr std::size_t kExtensionCount = 126;
// EDIDs with more extension blocks than the image holds (384, 512 bytes, ...)
// are real; anything longer than this is no EDID.
constexpr std::size_t kLongestEdidFile = 128 * 256;

int BlockSum(std::span<const BYTE> bytes)
{
    return std::accumulate(bytes.begin(), bytes.end(), 0);
}

std::string BadSize(const std::string& path, std::size_t size, const std::string& why)
{
    return "Cannot load " + path + ": it holds "
        + (size > kLongestEdidFile ? "more than " + std::to_string(kLongestEdidFile) : std::to_string(size))
        + (size == 1 ? " byte" : " bytes") + why;
}

}  // namespace

BYTE EdidBlockChecksum(EdidBlockView block)
{
    return static_cast<BYTE>(-BlockSum(block.first<kEdidBlockSize - 1>()));
}

bool EdidBlockIsSound(EdidBlockView block)
{
    return BlockSum(block) % 256 == 0;
}

std::string EdidImageProblem(const EdidImage& image)
{
    static constexpr BYTE kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    const std::span<const BYTE, kEdidImageSize> all(image);
    std::string problem;
    auto add = [&problem](const char* what) { problem += problem.empty() ? what : std::string("; ") + what; };
    if (!std::equal(std::begin(kHeader), std::end(kHeader), image.begin()))
        add("the header is not 00 FF FF FF FF FF FF 00");
    if (!EdidBlockIsSound(all.first<kEdidBlockSize>()))
        add("the checksum of block 0 (bytes 0-127) is wrong");
    if (!EdidBlockIsSound(all.last<kEdidBlockSize>()))
        add("the checksum of block 1 (bytes 128-255) is wrong");
    return problem;
}

void SetEdidChecksums(EdidImage& image)
{
    const std::span<BYTE, kEdidImageSize> all(image);
    image[kEdidBlockSize - 1] = EdidBlockChecksum(all.first<kEdidBlockSize>());
    image[kEdidImageSize - 1] = EdidBlockChecksum(all.last<kEdidBlockSize>());
}

bool LoadEdidFile(const std::string& path, EdidImage& image, std::string& error)
{
    // One byte more than the longest EDID file tells a file that is too long.
    std::string bytes;
    if (!ReadFileBytes(path, bytes, error, kLongestEdidFile + 1))
        return false;

    const std::size_t size = bytes.size();
    if (size == 0) {
        error = "Cannot load " + path + ": the file is empty; an EDID file holds whole blocks of 128 bytes.";
        return false;
    }
    if (size % kEdidBlockSize != 0 || size > kLongestEdidFile) {
        error = BadSize(path, size, "; an EDID file holds whole blocks of 128 bytes.");
        return false;
    }
    const auto extensions = static_cast<unsigned char>(bytes[kExtensionCount]);
    if (extensions != 0 && size == kEdidBlockSize) {
        error = BadSize(path, size,
                        ", but its base block announces " + std::to_string(extensions)
                            + " extension block(s), which the file lacks.");
        return false;
    }

    // The whole file has been read and is sound: only now replace the image.
    const std::size_t taken = extensions != 0 ? kEdidImageSize : kEdidBlockSize;
    const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
    std::copy(data, data + taken, image.begin());
    std::fill(image.begin() + static_cast<std::ptrdiff_t>(taken), image.end(), BYTE{0});
    return true;
}

bool SaveEdidFile(const std::string& path, const EdidImage& image, std::string& error)
{
    EdidImage written = image;
    SetEdidChecksums(written);
    return WriteFileAtomically(path, std::string_view(reinterpret_cast<const char*>(written.data()), written.size()),
                               error);
}

}  // namespace xandrel
