// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Names longer than their control: the control shows the start of the name
// with "…" at its end, and the whole name as its tool tip.
#include <QComboBox>
#include <QString>

class QPushButton;

namespace xandrel::gui {

// Gives `button` the name, cut to the button's `width` (bold or not, as a
// pressed routing button is drawn).
void ShowElidedName(QPushButton& button, const QString& name, int width);

// A list of names whose box shows the chosen name cut to its width, whose
// drop-down is wide enough for the whole names, and whose tool tip is the
// chosen name.
class ElidingComboBox : public QComboBox {
public:
    explicit ElidingComboBox(QWidget* parent = nullptr);
    // Adds the names and widens the drop-down to the longest.
    void addNames(const QStringList& names);
    // The tool tip: the chosen name when it is cut, else none.
    void showNameTip();

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace xandrel::gui
