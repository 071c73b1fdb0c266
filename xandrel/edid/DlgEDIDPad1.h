// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The first page of the EDID configuration dialog: base-block bytes 0-127 as
// two-digit hexadecimal boxes, grouped by the fields of the EDID layout.
//
// This header also holds what both byte pages share: the byte box (upper-case,
// two digits wide), the grouped box layout, the checksum warning and the
// checked read-back of the boxes. DlgEDIDPad2 builds on it.
#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <map>
#include <vector>

#include "xandrel/XandrelExport.h"
#include "xandrel/edid/EdidReport.h"

class QGroupBox;

namespace xandrel {

// The digit rule of the byte boxes: c - 'A' + 10 for the capitals A to F and
// c - '0' for every other character (so 'G' would count as 23). The pages
// apply it only to characters that EdidIsHexDigit accepts.
constexpr int EdidDigitValue(char c)
{
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : c - '0';
}

// True for 0-9 and A-F (the boxes hold capitals only).
constexpr bool EdidIsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// A byte box: a small edit box that turns every letter put into it (typed,
// pasted or set) into a capital, holds at most two characters and is just
// wide enough for two digits of a fixed-width font.
class XANDREL_EXPORT EdidByteBox : public QLineEdit {
public:
    EdidByteBox(int id, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};

// What both byte pages are made of: boxes by control id, laid out in
// captioned groups, filled from bytes and read back with a check.
class XANDREL_EXPORT EdidBytePage : public QWidget {
    Q_OBJECT
public:
    // The box of control `id`; null when the page has no such box.
    QLineEdit* box(int id) const;

protected:
    // `firstImageByte` is where the page's block sits in the EDID image
    // (0 or 128); messages name image bytes by it.
    EdidBytePage(int firstImageByte, QWidget* parent);

    // One row of a group: an optional label, then `count` boxes from `firstId`.
    struct BoxRow {
        QString label;
        int firstId = 0;
        int count = 0;
    };
    // Rows of `perRow` boxes covering `count` boxes from `firstId`; the first
    // row carries `label`.
    static std::vector<BoxRow> Rows(int firstId, int count, int perRow, const QString& label = {});
    // A group box with its rows of newly made boxes, labels in a column of
    // their own at the left.
    QGroupBox* makeGroup(const QString& caption, const std::vector<BoxRow>& rows);

    // Writes block[i] into box ids[i], formatted by `format` ("%02X" or
    // "%02x"; the boxes turn letters into capitals either way).
    void fillBoxes(const std::vector<int>& ids, const BYTE* block, const char* format);
    // Shows the boxes of `ids` and hides and empties every other box.
    void showOnly(const std::vector<int>& ids);
    // Shows the warning `text` when the 128 bytes of `block` do not sum to 0.
    void warnIfUnsound(const BYTE* block, const QString& text);
    // Reads the boxes `ids` in order into block[0 ..]. Every box must hold
    // exactly two hexadecimal digits; if one does not, nothing is written,
    // `problem` (when given) names the image byte, the box gets the focus and
    // its text is selected, and the result is false.
    bool readBoxes(const std::vector<int>& ids, BYTE* block, QString* problem);

private:
    int firstImageByte_;
    std::map<int, EdidByteBox*> boxes_;
};

}  // namespace xandrel

class XANDREL_EXPORT DlgEDIDPad1 : public xandrel::EdidBytePage {
    Q_OBJECT
public:
    // Boxes 3046 to 3173 hold bytes 0 to 127.
    static constexpr int kFirstBox = 3046;

    explicit DlgEDIDPad1(QWidget* parent = nullptr);

    // Shows the 128 bytes of `block` ("%02X") and warns
    // "0~127 bytes check sum error!" when they do not sum to 0.
    void ShowBlock(const BYTE* block);
    // The configuration dialog's fill when it opens: the same boxes, written
    // "%02x" (the boxes make the letters capitals), no checksum test.
    void FillPlain(const BYTE* block);
    // Reads boxes 3046-3173 into block[0..127]; see EdidBytePage::readBoxes
    // for what happens when a box does not hold two hexadecimal digits.
    bool GetBlock(BYTE* block, QString* problem = nullptr);
};
