// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A write of the computer's image to an input or a stored EDID that can be
// undone. A write that is stopped or fails part-way leaves the place with the
// first chunks of the new EDID and the rest of the old one: no sound EDID, so
// a source reads it as broken. What the place held is therefore read and kept
// first, to be written back after such a write.
#include <string>

#include "xandrel/edid/EdidTransfers.h"

namespace xandrel {

// How a write that keeps what it replaces went.
struct KeptWrite {
    bool kept = false;     // `former` holds what the place held before
    bool written = false;  // the device took every chunk
    int chunksSent = 0;    // chunks that went out on the line
    EdidImage former{};

    // The write ended with some chunks sent: the place holds neither EDID.
    bool partWay() const { return !written && chunksSent > 0; }
};

// Input N and default A-D: the places an image is written to, whose EDID can
// be read back.
XANDREL_EXPORT bool IsWritablePlace(const EdidPlace& place);

// Writes `image` to `place` (input N or default A-D); `chunksSent` as for
// EDID_DeviceWrite.
XANDREL_EXPORT bool WriteEdidTo(EdidCommandHost& host, EdidProgress& progress, const EdidImage& image,
                                const EdidPlace& place, int* chunksSent = nullptr);

// With `keep`, reads what `place` holds into `former` first, and writes
// nothing when that read fails or a stop came during it; then writes `image`.
XANDREL_EXPORT KeptWrite WriteKeepingFormer(EdidCommandHost& host, EdidProgress& progress, const EdidImage& image,
                                            const EdidPlace& place, bool keep = true);

// What a place holds, as read back after a write that ended part-way.
enum class EdidHolding {
    Former,   // what it held before the write
    New,      // the image that was written
    Broken,   // neither, and no sound EDID
    Another,  // neither, yet a sound EDID
    Unknown,  // the read-back failed
};

XANDREL_EXPORT EdidHolding HoldingOf(const EdidImage& readBack, const EdidImage& former, const EdidImage& written);

// Reads `place` back and tells what it holds.
XANDREL_EXPORT EdidHolding ReadBackHolding(EdidCommandHost& host, EdidProgress& progress, const EdidPlace& place,
                                           const EdidImage& former, const EdidImage& written);

// "input 3 holds the EDID it held before the write", ... one sentence.
XANDREL_EXPORT std::string HoldingText(const EdidPlace& place, EdidHolding holding);

}  // namespace xandrel
