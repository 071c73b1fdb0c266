// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The library's message boxes, through a replaceable function so tests can
// answer them without a modal loop, and the hand-over of the port driver's
// own failure reports to the person.
#include <QMessageBox>
#include <QString>
#include <functional>

#include "xandrel/XandrelExport.h"

class QWidget;

namespace xandrel::gui {

// The caption of the library's message boxes.
XANDREL_EXPORT QString ApplicationName();

struct MessageRequest {
    QWidget* parent = nullptr;
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};
using MessageHandler = std::function<QMessageBox::StandardButton(const MessageRequest&)>;

// Shows a message box (modal) and returns the button pressed.
XANDREL_EXPORT QMessageBox::StandardButton ShowMessage(const MessageRequest& request);
XANDREL_EXPORT QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text,
                                                       const QString& caption = ApplicationName());
// Replaces how message boxes are shown (tests); empty restores real boxes.
XANDREL_EXPORT MessageHandler SetMessageHandler(MessageHandler handler);

// Makes the port driver's own failure reports appear as message boxes.
XANDREL_EXPORT void RouteDriverReportsToMessageBoxes();

}  // namespace xandrel::gui
