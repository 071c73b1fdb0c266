// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/edid/DlgEDIDPad1.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QValidator>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>

#include "xandrel/edid/EdidFile.h"
#include "xandrel/gui/MessageBoxes.h"

namespace xandrel {
namespace {

// Pixels between neighbouring boxes of a group.
constexpr int kBoxSpacing = 2;

// Turns every letter into a capital, whether typed, pasted or set by the
// program (QLineEdit runs its validator on setText too). Nothing is refused:
// what is not two hexadecimal digits is reported when the page is read.
class CapitalsValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        const bool digits =
            input.size() == 2 && EdidIsHexDigit(input[0].toLatin1()) && EdidIsHexDigit(input[1].toLatin1());
        return digits ? Acceptable : Intermediate;
    }
};

// What the person is told about a box that does not hold a byte, naming the
// byte by its place in the EDID image.
QString ByteProblem(int imageByte, const QString& text)
{
    const QString byte = QString::asprintf("Byte 0x%02X (%d)", imageByte, imageByte);
    if (text.isEmpty())
        return byte + QStringLiteral(" is empty: it needs two hexadecimal digits.");
    return QStringLiteral("%1: \"%2\" is not two hexadecimal digits.").arg(byte, text);
}

}  // namespace

EdidByteBox::EdidByteBox(int id, QWidget* parent)
    : QLineEdit(parent)
{
    setObjectName(QStringLiteral("box%1").arg(id));
    // The system's fixed-width face at the size of the text around it.
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (font().pointSizeF() > 0)
        digits.setPointSizeF(font().pointSizeF());
    else
        digits.setPixelSize(font().pixelSize());
    setFont(digits);
    setMaxLength(2);
    setAlignment(Qt::AlignCenter);
    setValidator(new CapitalsValidator(this));
    // A hidden box keeps its place, so the groups keep their shape whatever
    // a block fills.
    QSizePolicy policy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
}

QSize EdidByteBox::sizeHint() const
{
    ensurePolished();
    const QFontMetrics metrics(font());
    int widest = 0;
    for (char digit : std::string_view("0123456789ABCDEF"))
        widest = std::max(widest, metrics.horizontalAdvance(QLatin1Char(digit)));
    const QMargins text = textMargins();
    const QMargins contents = contentsMargins();
    // As QLineEdit measures itself (two pixels of inner margin a side, at
    // least 14 pixels of line height), with a pixel more a side so the
    // digits do not touch the frame, and one for the cursor.
    const int width = 2 * widest + 2 * 3 + 1 + text.left() + text.right() + contents.left() + contents.right();
    const int height =
        std::max(metrics.height(), 14) + 2 + text.top() + text.bottom() + contents.top() + contents.bottom();
    QStyleOptionFrame option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, height), this);
}

QSize EdidByteBox::minimumSizeHint() const
{
    return sizeHint();
}

EdidBytePage::EdidBytePage(int firstImageByte, QWidget* parent)
    : QWidget(parent)
    , firstImageByte_(firstImageByte)
{
}

QLineEdit* EdidBytePage::box(int id) const
{
    const auto found = boxes_.find(id);
    return found == boxes_.end() ? nullptr : found->second;
}

std::vector<EdidBytePage::BoxRow> EdidBytePage::Rows(int firstId, int count, int perRow, const QString& label)
{
    std::vector<BoxRow> rows;
    for (int done = 0; done < count; done += perRow)
        rows.push_back({done == 0 ? label : QString(), firstId + done, std::min(perRow, count - done)});
    return rows;
}

QGroupBox* EdidBytePage::makeGroup(const QString& caption, const std::vector<BoxRow>& rows)
{
    auto* group = new QGroupBox(caption, this);
    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(kBoxSpacing);
    grid->setVerticalSpacing(kBoxSpacing);
    const bool labelled = std::any_of(rows.begin(), rows.end(), [](const BoxRow& row) { return !row.label.isEmpty(); });
    const int firstColumn = labelled ? 1 : 0;
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const BoxRow& row = rows[static_cast<std::size_t>(r)];
        if (!row.label.isEmpty()) {
            auto* label = new QLabel(row.label, group);
            label->setContentsMargins(0, 0, 6, 0);
            grid->addWidget(label, r, 0);
        }
        for (int i = 0; i < row.count; ++i) {
            auto* byteBox = new EdidByteBox(row.firstId + i, group);
            boxes_.emplace(row.firstId + i, byteBox);
            grid->addWidget(byteBox, r, firstColumn + i);
        }
    }
    grid->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return group;
}

void EdidBytePage::fillBoxes(const std::vector<int>& ids, const BYTE* block, const char* format)
{
    for (std::size_t i = 0; i < ids.size(); ++i)
        boxes_.at(ids[i])->setText(QString::asprintf(format, block[i]));
}

void EdidBytePage::showOnly(const std::vector<int>& ids)
{
    std::vector<int> shown = ids;
    std::sort(shown.begin(), shown.end());
    for (const auto& [id, byteBox] : boxes_) {
        const bool show = std::binary_search(shown.begin(), shown.end(), id);
        if (!show)
            byteBox->clear();
        byteBox->setVisible(show);
    }
}

void EdidBytePage::warnIfUnsound(const BYTE* block, const QString& text)
{
    if (EdidBlockIsSound(EdidBlockView(block, kEdidBlockSize)))
        return;
    // No caption of its own: the library's name, as every such message box.
    gui::ShowMessage(gui::MessageRequest{this, text, gui::ApplicationName()});
}

bool EdidBytePage::readBoxes(const std::vector<int>& ids, BYTE* block, QString* problem)
{
    std::vector<BYTE> bytes;
    bytes.reserve(ids.size());
    for (int id : ids) {
        EdidByteBox* byteBox = boxes_.at(id);
        // Only the first two characters count (the box keeps no more anyway).
        const QString digits = byteBox->text().left(2).toUpper();
        const char high = digits.size() == 2 ? digits[0].toLatin1() : '\0';
        const char low = digits.size() == 2 ? digits[1].toLatin1() : '\0';
        if (!EdidIsHexDigit(high) || !EdidIsHexDigit(low)) {
            if (problem)
                *problem = ByteProblem(firstImageByte_ + static_cast<int>(bytes.size()), byteBox->text());
            byteBox->setFocus();
            byteBox->selectAll();
            return false;
        }
        bytes.push_back(static_cast<BYTE>(16 * EdidDigitValue(high) + EdidDigitValue(low)));
    }
    std::copy(bytes.begin(), bytes.end(), block);
    return true;
}

}  // namespace xandrel

namespace {

std::vector<int> Page1Boxes()
{
    std::vector<int> ids(xandrel::kEdidBlockSize);
    for (std::size_t i = 0; i < ids.size(); ++i)
        ids[i] = DlgEDIDPad1::kFirstBox + static_cast<int>(i);
    return ids;
}

// A row of groups across the page; they share out its width and take its
// height, so every row ends at the same right edge.
void AddGroupRow(QVBoxLayout* page, std::initializer_list<QWidget*> groups)
{
    auto* row = new QHBoxLayout;
    for (QWidget* group : groups)
        row->addWidget(group);
    page->addLayout(row);
}

}  // namespace

DlgEDIDPad1::DlgEDIDPad1(QWidget* parent)
    : EdidBytePage(0, parent)
{
    // The boxes are made in byte order, which makes it the tab order too.
    const auto field = [this](const char* caption, int firstByte, int count, int perRow) {
        return makeGroup(QString::fromLatin1(caption), Rows(kFirstBox + firstByte, count, perRow));
    };
    const auto descriptors = [this](const char* caption, int firstByte) {
        auto rows = Rows(kFirstBox + firstByte, 18, 9, QStringLiteral("NO.1"));
        const auto second = Rows(kFirstBox + firstByte + 18, 18, 9, QStringLiteral("NO.2"));
        rows.insert(rows.end(), second.begin(), second.end());
        return makeGroup(QString::fromLatin1(caption), rows);
    };

    auto* page = new QVBoxLayout(this);
    AddGroupRow(page,
                {field("Header", 0, 8, 8), field("Vendor/Product ID", 8, 4, 4), field("Serial Number", 12, 4, 4),
                 field("Weak/Year Manufacture", 16, 2, 2)});
    AddGroupRow(page,
                {field("Version/Revision Number", 18, 2, 2), field("Video Input Definition", 20, 1, 1),
                 field("Max Horizontal/Vertical Image Size", 21, 2, 2), field("Gamma/Feature Support", 23, 2, 2)});
    AddGroupRow(page,
                {field("Color Characteristics", 25, 10, 5), field("Established Timings", 35, 3, 3),
                 field("            Standard Timing ID", 38, 16, 8)});
    AddGroupRow(page,
                {descriptors("Detailed Timing Description", 54),
                 descriptors("Monitor Descriptor Currently Mandatory", 90),
                 field("Extersion Flag/CheckSum", 126, 2, 2)});
    page->addStretch(1);
}

void DlgEDIDPad1::ShowBlock(const BYTE* block)
{
    fillBoxes(Page1Boxes(), block, "%02X");
    warnIfUnsound(block, QStringLiteral("0~127 bytes check sum error!"));
}

void DlgEDIDPad1::FillPlain(const BYTE* block)
{
    fillBoxes(Page1Boxes(), block, "%02x");
}

bool DlgEDIDPad1::GetBlock(BYTE* block, QString* problem)
{
    return readBoxes(Page1Boxes(), block, problem);
}
