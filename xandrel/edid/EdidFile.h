// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// EDID files (.bin): the raw image with no header. A file holds 128 bytes
// (a base block that announces no extension) or 256 bytes (the base block
// and the first extension block); checksums of both blocks.
#include <array>
#include <span>
#include <string>

#include "xandrel/XandrelExport.h"
#include "xandrel/edid/EdidReport.h"

namespace xandrel {

using EdidImage = std::array<BYTE, kEdidImageSize>;
using EdidBlockView = std::span<const BYTE, kEdidBlockSize>;

// The value of a block's last byte that makes the whole block sum to 0
// modulo 256 (the block's current last byte is not counted).
XANDREL_EXPORT BYTE EdidBlockChecksum(EdidBlockView block);

// True when the block's 128 bytes sum to 0 modulo 256.
XANDREL_EXPORT bool EdidBlockIsSound(EdidBlockView block);

// What is wrong with an image as an EDID of two blocks, in words: the
// 8-byte header (00 FF FF FF FF FF FF 00) and the checksum of each block.
// Empty when the image is sound.
XANDREL_EXPORT std::string EdidImageProblem(const EdidImage& image);

// Sets byte 127 and byte 255 to the checksums of their blocks.
XANDREL_EXPORT void SetEdidChecksums(EdidImage& image);

// Loads an EDID file into `image`. The first 128 bytes are the base block;
// when its byte 126 (the extension count) is zero they are the whole EDID and
// the extension half of the image is cleared (a longer file's second block is
// then ignored), otherwise the file must hold the extension block as its next
// 128 bytes. Blocks beyond the second (an EDID with several extensions) are
// not taken. A size that is no whole number of blocks, or above 32 KiB, is
// refused, and so is a file that cannot be read. On failure `image` is
// untouched and `error` says which file and why; true on success. No more
// than 32 KiB + 1 bytes are read, whatever the file's size.
XANDREL_EXPORT bool LoadEdidFile(const std::string& path, EdidImage& image, std::string& error);

// Writes the 256 bytes of `image` to `path`, with both checksums recomputed
// in what is written (`image` itself is not changed: call SetEdidChecksums
// first to keep it equal to the file). The file is replaced atomically, so a
// failed save leaves an existing file as it was. On failure `error` says
// which file and why; true on success.
XANDREL_EXPORT bool SaveEdidFile(const std::string& path, const EdidImage& image, std::string& error);

}  // namespace xandrel
