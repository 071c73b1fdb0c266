// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Dialogs larger than a small screen (a laptop's 1280 x 720 work area): their
// content sits in a scroll area that shows all of it where the screen allows
// and scrolls where it does not.
class QScrollArea;
class QWidget;

namespace xandrel::gui {

// Fills `dialog` with a scroll area and returns the widget inside it, which
// takes the dialog's layout.
QWidget* ScrollingContent(QWidget& dialog);

// `page` in a scroll area of its own (for a tab page that may not fit).
QScrollArea* ScrollingPage(QWidget* page);

// Sizes `dialog` to show its whole content, as far as the work area of its
// screen allows.
void SizeForScreen(QWidget& dialog);

}  // namespace xandrel::gui
