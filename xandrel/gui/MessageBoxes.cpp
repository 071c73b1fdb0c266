// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/MessageBoxes.h"

#include <QApplication>
#include <QThread>

#include "tavrik/ErrorReporter.h"
#include "tavrik/Replaceable.h"
#include "xandrel/gui/TextBytes.h"

namespace xandrel::gui {
namespace {

QMessageBox::StandardButton ShowRealMessage(const MessageRequest& request)
{
    QMessageBox box(request.icon, request.caption, request.text, request.buttons, request.parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

tavrik::Replaceable<MessageHandler>& Handler()
{
    static tavrik::Replaceable<MessageHandler> handler(ShowRealMessage);
    return handler;
}

}  // namespace

QString ApplicationName()
{
    return QStringLiteral("Xandrel");
}

QMessageBox::StandardButton ShowMessage(const MessageRequest& request)
{
    return Handler().get()(request);
}

QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text, const QString& caption)
{
    return ShowMessage(MessageRequest{parent, text, caption});
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    return Handler().replace(std::move(handler));
}

void RouteDriverReportsToMessageBoxes()
{
    tavrik::SetErrorReporter([](const std::string& text) {
        const QString message = FromBytes(text);
        auto show = [message] {
            ShowMessage(MessageRequest{QApplication::activeWindow(), message, ApplicationName(), QMessageBox::Warning});
        };
        // A report from a device's worker is shown by the windows' thread.
        if (QThread::currentThread() == qApp->thread())
            show();
        else
            QMetaObject::invokeMethod(qApp, show, Qt::QueuedConnection);
    });
}

}  // namespace xandrel::gui
