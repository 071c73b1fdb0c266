// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/edid/DlgEDIDPad2.h"

#include <QGridLayout>
#include <QGroupBox>
#include <algorithm>

namespace {

// Boxes per row: the data-block groups, and the rows of 18 that put one
// 18-byte descriptor on each labelled row of the detailed-timing area (the
// extension group uses them too: its 36 boxes are two rows).
constexpr int kGroupRow = 12;
constexpr int kDescriptorRow = 18;

// The last byte a data block's tag can sit in (127 is the checksum).
constexpr int kLastDataByte = 126;

}  // namespace

const std::array<DlgEDIDPad2::Group, 5> DlgEDIDPad2::kGroups = {{
    {&DlgEDIDPad2::m_VideoLength, kVideoBox, kGroupBoxes},
    {&DlgEDIDPad2::m_AudioLength, kAudioBox, kGroupBoxes},
    {&DlgEDIDPad2::m_SpeakerLength, kSpeakerBox, kGroupBoxes},
    {&DlgEDIDPad2::m_VendorLength, kVendorBox, kGroupBoxes},
    {&DlgEDIDPad2::m_ExtensionLength, kExtensionBox, kExtensionBoxes},
}};

DlgEDIDPad2::DlgEDIDPad2(QWidget* parent)
    : EdidBytePage(128, parent)
{
    // Made in the order the bytes are filled, which is the tab order too.
    QGroupBox* header = makeGroup(QStringLiteral("Header"), Rows(kHeaderBox, 4, 4));
    QGroupBox* video = makeGroup(QStringLiteral("Video Data Block"), Rows(kVideoBox, kGroupBoxes, kGroupRow));
    QGroupBox* audio = makeGroup(QStringLiteral("Audio Data Block"), Rows(kAudioBox, kGroupBoxes, kGroupRow));
    QGroupBox* speaker =
        makeGroup(QStringLiteral("Speaker Allocation Data Block"), Rows(kSpeakerBox, kGroupBoxes, kGroupRow));
    QGroupBox* vendor =
        makeGroup(QStringLiteral("Vendor Specific Data Block"), Rows(kVendorBox, kGroupBoxes, kGroupRow));
    QGroupBox* extension =
        makeGroup(QStringLiteral("Extension Data Block"), Rows(kExtensionBox, kExtensionBoxes, kDescriptorRow));

    // Five descriptors of 18 bytes, then the padding to the checksum.
    const QString labels[] = {QStringLiteral("timing block1"),
                              QStringLiteral("timing block2"),
                              QStringLiteral("timing block3 or padding"),
                              QStringLiteral("timing block4 or padding"),
                              QStringLiteral("timing block5 or padding"),
                              QStringLiteral("padding")};
    std::vector<BoxRow> timingRows;
    for (int row = 0; row < 6; ++row) {
        const int first = row * kDescriptorRow;
        const int count = row < 5 ? kDescriptorRow : kTimingBoxes - first;
        const auto rows = Rows(kTimingBox + first, count, kDescriptorRow, labels[row]);
        timingRows.insert(timingRows.end(), rows.begin(), rows.end());
    }
    QGroupBox* timing = makeGroup(QStringLiteral("Detailed Timing Description"), timingRows);
    QGroupBox* checksum = makeGroup(QStringLiteral("Checksum"), Rows(kChecksumBox, 1, 1));

    // Two columns of groups; the wide groups span both.
    auto* page = new QGridLayout(this);
    page->addWidget(header, 0, 0);
    page->addWidget(checksum, 0, 1);
    page->addWidget(video, 1, 0);
    page->addWidget(audio, 1, 1);
    page->addWidget(speaker, 2, 0);
    page->addWidget(vendor, 2, 1);
    page->addWidget(extension, 3, 0, 1, 2);
    page->addWidget(timing, 4, 0, 1, 2);
    page->setRowStretch(5, 1);

    // Nothing shown yet: the plain layout with empty boxes.
    showOnly(byteBoxes());
}

std::array<int, 5> DlgEDIDPad2::filledBoxes() const
{
    std::array<int, 5> filled{};
    int left = kTimingBoxes;
    for (std::size_t i = 0; i < kGroups.size(); ++i) {
        filled[i] = std::clamp(this->*kGroups[i].length, 0, std::min(kGroups[i].boxes, left));
        left -= filled[i];
    }
    return filled;
}

std::vector<int> DlgEDIDPad2::byteBoxes() const
{
    std::vector<int> ids;
    ids.reserve(xandrel::kEdidBlockSize);
    for (int i = 0; i < 4; ++i)
        ids.push_back(kHeaderBox + i);
    const std::array<int, 5> filled = filledBoxes();
    for (std::size_t g = 0; g < kGroups.size(); ++g)
        for (int i = 0; i < filled[g]; ++i)
            ids.push_back(kGroups[g].firstBox + i);
    const int timing = kTimingBoxes - (filled[0] + filled[1] + filled[2] + filled[3] + filled[4]);
    for (int i = 0; i < timing; ++i)
        ids.push_back(kTimingBox + i);
    ids.push_back(kChecksumBox);
    return ids;
}

void DlgEDIDPad2::fillShown(const BYTE* block, const char* format)
{
    const std::vector<int> ids = byteBoxes();
    fillBoxes(ids, block, format);
    showOnly(ids);
}

void DlgEDIDPad2::ShowBlock(const BYTE* block)
{
    if (block[0] == 0xFF)
        return;

    for (const Group& group : kGroups)
        this->*group.length = 0;
    const int descriptors = block[2];
    if (descriptors > 4) {
        const int end = std::min(descriptors, kLastDataByte + 1);
        for (int offset = 4; offset < end;) {
            const int tag = block[offset];
            const int size = (tag & 0x1F) + 1;
            // A kind that comes again adds to its group (an HDMI sink lists
            // two vendor specific blocks): were the second size to replace
            // the first, the groups would end short of the descriptor offset
            // and every box after them would be shifted.
            switch (tag >> 5) {
            case 2: m_VideoLength += size; break;
            case 1: m_AudioLength += size; break;
            case 4: m_SpeakerLength += size; break;
            case 3: m_VendorLength += size; break;
            default: m_ExtensionLength += size; break;
            }
            offset += size;
        }
    }
    // Keep what the groups can show (see the header).
    const std::array<int, 5> filled = filledBoxes();
    for (std::size_t i = 0; i < kGroups.size(); ++i)
        this->*kGroups[i].length = filled[i];

    fillShown(block, "%02X");
    warnIfUnsound(block, QStringLiteral("128~255 bytes check sum error!"));
}

void DlgEDIDPad2::FillPlain(const BYTE* block)
{
    for (const Group& group : kGroups)
        this->*group.length = 0;
    fillShown(block, "%02x");
}

bool DlgEDIDPad2::GetBlock(BYTE* block, QString* problem)
{
    return readBoxes(byteBoxes(), block, problem);
}
