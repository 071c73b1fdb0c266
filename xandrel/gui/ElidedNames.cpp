// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/ElidedNames.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QPushButton>
#include <QStylePainter>

namespace xandrel::gui {
namespace {

// Room the button's frame and padding take from its text.
constexpr int kButtonPadding = 12;
// Room the drop-down's frame and scroll bar take from its names.
constexpr int kDropDownPadding = 36;

}  // namespace

void ShowElidedName(QPushButton& button, const QString& name, int width)
{
    QFont bold = button.font();
    bold.setBold(true);
    const int room = width - kButtonPadding;
    const QString shown = QFontMetrics(bold).elidedText(name, Qt::ElideRight, room);
    button.setText(shown);
    button.setToolTip(shown == name ? QString() : name);
}

ElidingComboBox::ElidingComboBox(QWidget* parent)
    : QComboBox(parent)
{
    connect(this, &QComboBox::currentTextChanged, this, &ElidingComboBox::showNameTip);
}

void ElidingComboBox::showNameTip()
{
    setToolTip(fontMetrics().horizontalAdvance(currentText()) > width() ? currentText() : QString());
}

void ElidingComboBox::addNames(const QStringList& names)
{
    addItems(names);
    int widest = 0;
    for (const QString& name : names)
        widest = std::max(widest, fontMetrics().horizontalAdvance(name));
    view()->setMinimumWidth(widest + kDropDownPadding);
}

// QComboBox's own painting, with the chosen name (or the placeholder) cut
// to the text field.
void ElidingComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    if (currentIndex() < 0 && !placeholderText().isEmpty()) {  // as QComboBox shows it
        option.palette.setBrush(QPalette::ButtonText, option.palette.placeholderText());
        option.currentText = placeholderText();
    }
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideRight, field.width());
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

}  // namespace xandrel::gui
