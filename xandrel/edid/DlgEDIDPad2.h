// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The second page of the EDID configuration dialog: extension bytes 128-255
// as hexadecimal boxes. A shown CEA-861 block has its data block collection
// spread over labelled groups (video, audio, speaker allocation, vendor
// specific, and every other kind together as "extension"); the bytes from the
// descriptor offset on go to the detailed-timing area, the last to the
// checksum box.
//
// The groups are filled in that fixed order, whatever the order of the blocks
// in the data: each takes the next "length" bytes of the collection, so a
// collection that lists its audio block first shows it in the video group.
// Reading back follows the same order, so it returns the bytes shown.
#include <array>

#include "xandrel/edid/DlgEDIDPad1.h"

class XANDREL_EXPORT DlgEDIDPad2 : public xandrel::EdidBytePage {
    Q_OBJECT
public:
    static constexpr int kHeaderBox = 1183;  // 1183-1186: tag, revision, descriptor offset, flags
    static constexpr int kTimingBox = 1187;  // 1187-1309: the detailed-timing area
    static constexpr int kTimingBoxes = 123;
    static constexpr int kChecksumBox = 1310;
    static constexpr int kVideoBox = 1311;      // 31 boxes
    static constexpr int kAudioBox = 1342;      // 31 boxes
    static constexpr int kSpeakerBox = 1373;    // 31 boxes
    static constexpr int kVendorBox = 1404;     // 31 boxes
    static constexpr int kExtensionBox = 1453;  // 36 boxes
    static constexpr int kGroupBoxes = 31;
    static constexpr int kExtensionBoxes = 36;

    explicit DlgEDIDPad2(QWidget* parent = nullptr);

    // Shows the 128 bytes of `block` ("%02X") grouped as above and warns
    // "128~255 bytes check sum error!" when they do not sum to 0. A block
    // whose first byte is 0xFF (erased) changes nothing at all: boxes,
    // lengths and warning are left alone.
    //
    // The lengths come from walking the collection (tag t: size (t & 0x1F) + 1,
    // kind t >> 5): a video, audio, speaker or vendor block adds its size to
    // its group's length, every other kind to the extension length, so with
    // well-formed data the lengths add up to d - 4 and the detailed-timing
    // area starts at byte d. The walk never goes past byte 126. Sizes that add up to more than the boxes hold are
    // cut in the fill order: each group keeps at most its own boxes and at
    // most what is left of the 123 boxes' worth of bytes 4-126; the bytes a
    // group cannot take go on to the next group, and the rest to the
    // detailed-timing area. The lengths then say how many boxes each group
    // filled, every byte is shown exactly once, and box 1310 always shows
    // byte 127.
    void ShowBlock(const BYTE* block);
    // The configuration dialog's fill when it opens: the plain layout, as for
    // a block without a data block collection. The five lengths become 0,
    // bytes 0-3 go to the header, 4-126 to the whole detailed-timing area and
    // 127 to the checksum box, written "%02x" (the boxes make the letters
    // capitals); the data-block groups are emptied and their boxes hidden.
    // No checksum test.
    void FillPlain(const BYTE* block);
    // Reads the boxes back in the order ShowBlock fills them (by the five
    // lengths) into block[0..127]; see EdidBytePage::readBoxes for what
    // happens when a box does not hold two hexadecimal digits.
    bool GetBlock(BYTE* block, QString* problem = nullptr);

    // How many boxes of each data-block group the last shown block filled.
    int m_VideoLength = 0;
    int m_AudioLength = 0;
    int m_SpeakerLength = 0;
    int m_VendorLength = 0;
    int m_ExtensionLength = 0;

private:
    struct Group {
        int DlgEDIDPad2::*length;
        int firstBox;
        int boxes;
    };
    // The data-block groups in the order they are filled.
    static const std::array<Group, 5> kGroups;

    // How many boxes each group fills for the lengths as they stand: at most
    // its own boxes and what is left of the 123, in fill order.
    std::array<int, 5> filledBoxes() const;
    // The 128 boxes that hold bytes 0-127, in byte order, for the lengths as
    // they stand (cut by filledBoxes, so no box outside the page is ever
    // named, whatever the lengths hold).
    std::vector<int> byteBoxes() const;
    // Fills the boxes that hold bytes 0-127 from `block`, shows them and
    // hides and empties every other box.
    void fillShown(const BYTE* block, const char* format);
};
