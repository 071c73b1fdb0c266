// SPDX-License-Identifier: GPL-3.0-or-later
// The two byte pages of the EDID configuration dialog: how page 2 spreads a
// CEA data block collection over its groups, the checksum warnings, what the
// boxes accept and what reading them back refuses, and that every real EDID
// of the corpus comes back exactly as it was shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <array>
#include <filesystem>
#include <fstream>
#include <initializer_list>

#include "xandrel/edid/DlgEDIDPad1.h"
#include "xandrel/edid/DlgEDIDPad2.h"
#include "xandrel/gui/MessageBoxes.h"

namespace {

namespace fs = std::filesystem;
using Block = std::array<BYTE, 128>;

// Every byte its own offset, `bytes` from `offset` on, and the checksum.
Block Sound(int offset, std::initializer_list<int> bytes)
{
    Block block{};
    for (int i = 0; i < 128; ++i)
        block[i] = static_cast<BYTE>(i);
    for (int byte : bytes)
        block[offset++] = static_cast<BYTE>(byte);
    int sum = 0;
    for (int i = 0; i < 127; ++i)
        sum += block[i];
    block[127] = static_cast<BYTE>(-sum);
    return block;
}

class EdidPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        xandrel::gui::SetMessageHandler([this](const xandrel::gui::MessageRequest& request) {
            messages.push_back(request.caption + ": " + request.text);
            return QMessageBox::Ok;
        });
    }
    void TearDown() override { xandrel::gui::SetMessageHandler({}); }

    static QString Text(const xandrel::EdidBytePage& page, int id) { return page.box(id)->text(); }
    static bool Shown(const xandrel::EdidBytePage& page, int id) { return !page.box(id)->isHidden(); }
    // How many boxes from `first` to `last` are shown.
    static int ShownIn(const xandrel::EdidBytePage& page, int first, int last)
    {
        int shown = 0;
        for (int id = first; id <= last; ++id)
            shown += Shown(page, id);
        return shown;
    }
    std::array<int, 5> Lengths() const
    {
        return {pad2.m_VideoLength, pad2.m_AudioLength, pad2.m_SpeakerLength, pad2.m_VendorLength,
                pad2.m_ExtensionLength};
    }
    bool Get(xandrel::EdidBytePage& page, Block& block, QString* problem)
    {
        return &page == &pad1 ? pad1.GetBlock(block.data(), problem) : pad2.GetBlock(block.data(), problem);
    }
    Block Read(xandrel::EdidBytePage& page)
    {
        Block block{};
        QString problem;
        EXPECT_TRUE(Get(page, block, &problem)) << problem.toStdString();
        return block;
    }

    QStringList messages;
    DlgEDIDPad1 pad1;
    DlgEDIDPad2 pad2;
};

// 02 03 1A 72: video (43), audio (23), speaker (83), vendor (69) blocks.
const Block kGrouped = Sound(0, {0x02, 0x03, 0x1A, 0x72, 0x43, 1, 2, 3, 0x23, 1, 2, 3, 0x83, 1, 2, 3, 0x69});

TEST_F(EdidPages, Page2SpreadsTheDataBlocksOverTheirGroups)
{
    pad2.ShowBlock(kGrouped.data());
    EXPECT_EQ(Lengths(), (std::array<int, 5>{4, 4, 4, 10, 0}));
    EXPECT_EQ(Text(pad2, 1183) + Text(pad2, 1184) + Text(pad2, 1185) + Text(pad2, 1186), "02031A72");
    EXPECT_EQ(Text(pad2, 1311) + Text(pad2, 1342) + Text(pad2, 1373) + Text(pad2, 1404), "43238369");
    // Shown per group (video, audio, speaker, vendor, extension, timings).
    EXPECT_EQ((std::array<int, 6>{ShownIn(pad2, 1311, 1341), ShownIn(pad2, 1342, 1372), ShownIn(pad2, 1373, 1403),
                                  ShownIn(pad2, 1404, 1434), ShownIn(pad2, 1453, 1488), ShownIn(pad2, 1187, 1309)}),
              (std::array<int, 6>{4, 4, 4, 10, 0, 101}));
    EXPECT_TRUE(Shown(pad2, 1413) && !Shown(pad2, 1414));
    EXPECT_EQ(Text(pad2, 1187), "1A");  // byte 26
    EXPECT_EQ(Text(pad2, 1287), "7E");  // byte 126
    EXPECT_EQ(Text(pad2, 1310), QString::asprintf("%02X", kGrouped[127]));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(Read(pad2), kGrouped);

    // The groups are filled in their fixed order, not by kind: an audio block
    // listed first lands in the video group.
    pad2.ShowBlock(Sound(0, {0x02, 0x03, 12, 0, 0x23, 1, 2, 3, 0x43, 1, 2, 3}).data());
    EXPECT_EQ(Text(pad2, 1311), "23");
    EXPECT_EQ(Text(pad2, 1342), "43");

    // Kinds 0, 5, 6, 7 add up in the extension group, and the walk goes on
    // after them; a vendor block that comes again adds to its group too.
    const Block mixed = Sound(
        0, {0x02, 0x03, 4 + 3 + 5 + 2 + 3 + 4, 0, 0xE2, 1, 2, 0xE4, 1, 2, 3, 4, 0x41, 1, 0x62, 1, 2, 0x63, 1, 2, 3});
    pad2.ShowBlock(mixed.data());
    EXPECT_EQ(Lengths(), (std::array<int, 5>{2, 0, 0, 7, 8}));
    EXPECT_EQ(Text(pad2, 1187), QString::asprintf("%02X", mixed[2]));  // the first byte of the descriptors
    EXPECT_EQ(Read(pad2), mixed);
}

TEST_F(EdidPages, AnErasedBlockLeavesPage2AsItWas)
{
    pad2.ShowBlock(kGrouped.data());
    Block erased;
    erased.fill(0xFF);
    erased[2] = 0x40;
    pad2.ShowBlock(erased.data());
    EXPECT_EQ(Lengths(), (std::array<int, 5>{4, 4, 4, 10, 0}));
    EXPECT_EQ(Text(pad2, 1183), "02");
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(Read(pad2), kGrouped);
}

TEST_F(EdidPages, ChecksumTestsOnlyWarn)
{
    const Block zeros{};
    pad1.ShowBlock(zeros.data());
    pad2.ShowBlock(zeros.data());
    EXPECT_TRUE(messages.isEmpty());

    Block broken = kGrouped;
    ++broken[127];
    pad1.ShowBlock(broken.data());
    pad2.ShowBlock(broken.data());
    const QString caption = xandrel::gui::ApplicationName() + ": ";
    EXPECT_EQ(messages,
              QStringList({caption + "0~127 bytes check sum error!", caption + "128~255 bytes check sum error!"}));
    EXPECT_EQ(Read(pad1), broken);
    EXPECT_EQ(Read(pad2), broken);

    // The dialog's plain fill at opening tests nothing.
    pad1.FillPlain(broken.data());
    EXPECT_EQ(messages.size(), 2);
}

TEST_F(EdidPages, PlainFillPutsPage2InIdOrder)
{
    pad2.ShowBlock(kGrouped.data());
    pad2.FillPlain(kGrouped.data());
    EXPECT_EQ(Lengths(), (std::array<int, 5>{}));
    EXPECT_EQ(Text(pad2, 1185), "1A");  // "%02x", turned to capitals by the box
    EXPECT_EQ(Text(pad2, 1187), "43");
    EXPECT_EQ(ShownIn(pad2, 1187, 1309), 123);
    EXPECT_EQ(ShownIn(pad2, 1311, 1434) + ShownIn(pad2, 1453, 1488), 0);
    EXPECT_EQ(Text(pad2, 1311), "");
    EXPECT_EQ(Read(pad2), kGrouped);
}

TEST_F(EdidPages, BoxesTakeCapitalsAndAtMostTwoCharacters)
{
    pad1.FillPlain(kGrouped.data());
    QLineEdit* box = pad1.box(3046 + 26);
    box->clear();
    QTest::keyClicks(box, "1a");
    EXPECT_EQ(box->text(), "1A");
    pad1.box(3046)->setText("ab");
    EXPECT_EQ(pad1.box(3046)->text(), "AB");

    QApplication::clipboard()->setText("c0ffee and more");
    box = pad1.box(3046 + 1);
    box->selectAll();
    box->paste();
    EXPECT_EQ(box->text(), "C0");

    const Block read = Read(pad1);
    EXPECT_EQ(read[26], 0x1A);
    EXPECT_EQ(read[0], 0xAB);
    EXPECT_EQ(read[1], 0xC0);
}

TEST_F(EdidPages, ReadingRefusesBoxesThatAreNotTwoDigitsAndChangesNothing)
{
    pad1.FillPlain(kGrouped.data());
    pad2.FillPlain(kGrouped.data());
    const struct {
        xandrel::EdidBytePage* page;
        int id;
        const char* text;
        const char* problem;
    } cases[] = {
        {&pad2, 1183 + 26, "1G", "Byte 0x9A (154): \"1G\" is not two hexadecimal digits."},
        {&pad1, 3046 + 5, "", "Byte 0x05 (5) is empty: it needs two hexadecimal digits."},
        {&pad1, 3046 + 127, "7", "Byte 0x7F (127): \"7\" is not two hexadecimal digits."},
    };
    for (const auto& c : cases) {
        QLineEdit* box = c.page->box(c.id);
        const QString kept = box->text();
        box->setText(QString::fromLatin1(c.text));
        Block untouched, block;
        untouched.fill(0x5A);
        block = untouched;
        QString problem;
        EXPECT_FALSE(Get(*c.page, block, &problem)) << c.id;
        EXPECT_EQ(problem.toStdString(), c.problem);
        EXPECT_EQ(block, untouched) << c.id;
        EXPECT_EQ(c.page->focusWidget(), box);
        box->setText(kept);
    }
    // Boxes that a grouping hides are not read.
    pad2.ShowBlock(kGrouped.data());
    pad2.box(1488)->setText("ZZ");
    EXPECT_EQ(Read(pad2), kGrouped);
}

TEST_F(EdidPages, OverfullCollectionsStayOnThePageAndComeBackAsShown)
{
    // Four blocks of 32 bytes from byte 4: each group holds 31 and the bytes
    // 4-126 only 123, so the vendor group keeps 30 and the detailed-timing
    // area is empty.
    const Block full = Sound(0, {0x02, 0x03, 0x7F, 0});
    Block tags = full;
    for (int at : {4, 36, 68, 100})
        tags[at] = static_cast<BYTE>(at == 4 ? 0x5F : at == 36 ? 0x3F : at == 68 ? 0x9F : 0x7F);
    tags[127] = static_cast<BYTE>(full[127] + full[4] + full[36] + full[68] + full[100] - 0x5F - 0x3F - 0x9F - 0x7F);
    pad2.ShowBlock(tags.data());
    EXPECT_EQ(Lengths(), (std::array<int, 5>{31, 31, 31, 30, 0}));
    EXPECT_EQ(ShownIn(pad2, 1187, 1309), 0);
    EXPECT_EQ(Text(pad2, 1310), QString::asprintf("%02X", tags[127]));
    EXPECT_EQ(Read(pad2), tags);

    // Descriptor offset FF with kind-7 blocks up to byte 126: the extension
    // group keeps 36 and the walk stops before the checksum byte, here made
    // to look like a video tag.
    Block far = Sound(0, {0x02, 0x03, 0xFF, 0, 0xFF});
    far[36] = 0xFF;
    far[68] = 0xFF;
    far[100] = 0xFA;
    int sum = 0;
    for (int i = 0; i < 126; ++i)
        sum += far[i];
    far[127] = 0x43;
    far[126] = static_cast<BYTE>(-sum - 0x43);
    pad2.ShowBlock(far.data());
    EXPECT_EQ(Lengths(), (std::array<int, 5>{0, 0, 0, 0, 36}));
    EXPECT_EQ(ShownIn(pad2, 1187, 1309), 87);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(Read(pad2), far);

    // Lengths set from outside never name a box the page does not have.
    pad2.m_VideoLength = 1000;
    pad2.m_AudioLength = -7;
    Block block{};
    QString problem;
    EXPECT_NO_THROW(EXPECT_FALSE(pad2.GetBlock(block.data(), &problem)));
}

TEST_F(EdidPages, EveryCorpusEdidComesBackAsShown)
{
    const fs::path corpus = QUELLIX_EDID_CORPUS;
    if (!fs::is_directory(corpus))
        GTEST_SKIP() << "no EDID corpus at " << corpus;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        if (entry.path().extension() != ".bin")
            continue;
        ++files;
        const std::string name = entry.path().filename().string();
        std::array<char, 256> image{};
        std::ifstream(entry.path(), std::ios::binary).read(image.data(), image.size());
        Block base, extension;
        std::copy(image.begin(), image.begin() + 128, base.begin());
        std::copy(image.begin() + 128, image.end(), extension.begin());

        pad1.ShowBlock(base.data());
        EXPECT_EQ(Read(pad1), base) << name;
        pad2.ShowBlock(extension.data());
        EXPECT_EQ(Read(pad2), extension) << name;

        // Unless a group is full, the lengths account for the whole data
        // block collection of a CEA block, so the detailed-timing area
        // starts at the descriptor offset.
        const int d = extension[2];
        const auto lengths = Lengths();
        const bool full =
            lengths[0] == 31 || lengths[1] == 31 || lengths[2] == 31 || lengths[3] == 31 || lengths[4] == 36;
        if (extension[0] == 0x02 && d > 4 && d < 127 && !full) {
            EXPECT_EQ(lengths[0] + lengths[1] + lengths[2] + lengths[3] + lengths[4], d - 4) << name;
        }
    }
    EXPECT_GT(files, 0);
}

TEST_F(EdidPages, BoxesFitTwoDigitsAndStayInsideTheirGroups)
{
    pad1.FillPlain(kGrouped.data());
    pad2.ShowBlock(kGrouped.data());
    for (xandrel::EdidBytePage* page : std::initializer_list<xandrel::EdidBytePage*>{&pad1, &pad2}) {
        EXPECT_EQ(page->findChildren<QLineEdit*>().size(), page == &pad1 ? 128 : 4 + 123 + 1 + 4 * 31 + 36);
        page->show();
        for (QGroupBox* group : page->findChildren<QGroupBox*>()) {
            EXPECT_TRUE(page->rect().contains(group->geometry())) << group->title().toStdString();
            EXPECT_GE(group->width(), group->fontMetrics().horizontalAdvance(group->title()))
                << group->title().toStdString();
            const auto boxes = group->findChildren<QLineEdit*>();
            for (QLineEdit* box : boxes) {
                EXPECT_TRUE(group->contentsRect().contains(box->geometry())) << box->objectName().toStdString();
                QStyleOptionFrame option;
                option.initFrom(box);
                option.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
                const QRect text = box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box);
                // QLineEdit keeps two pixels a side free of text.
                EXPECT_GE(text.width() - 4, box->fontMetrics().horizontalAdvance(QStringLiteral("DD")))
                    << box->objectName().toStdString();
                for (QLineEdit* other : boxes)
                    EXPECT_TRUE(other == box || !other->geometry().intersects(box->geometry()));
            }
        }
    }
}

}  // namespace
