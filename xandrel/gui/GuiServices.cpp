#include "xandrel/gui/GuiServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QGuiApplication>
#include <QThread>

#include "tavrik/ErrorReporter.h"
#include "xandrel/gui/CMatrix0001Frame.h"

namespace xandrel::gui {
namespace {

QMessageBox::StandardButton ShowRealMessage(const MessageRequest& request)
{
    QMessageBox box(request.icon, request.caption, request.text, request.buttons, request.parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

MessageHandler& CurrentHandler()
{
    static MessageHandler handler = ShowRealMessage;
    return handler;
}

QString& LastFolder()
{
    static QString folder;
    return folder;
}

QString ChooseWithDialog(QWidget* parent, FileUse use, const QString& caption, const QString& filter)
{
    return use == FileUse::Open ? QFileDialog::getOpenFileName(parent, caption, LastFolder(), filter)
                                : QFileDialog::getSaveFileName(parent, caption, LastFolder(), filter);
}

FileChooser& CurrentChooser()
{
    static FileChooser chooser = ChooseWithDialog;
    return chooser;
}

QString AskWithDialog(QWidget* parent, const QString& title, const QString& label, const QString& text)
{
    return QInputDialog::getText(parent, title, label, QLineEdit::Normal, text).trimmed();
}

TextAsker& CurrentAsker()
{
    static TextAsker asker = AskWithDialog;
    return asker;
}

std::string& Folder()
{
    static std::string folder = "data";
    return folder;
}

}  // namespace

QString ApplicationName()
{
    return QStringLiteral("Xandrel");
}

QMessageBox::StandardButton ShowMessage(const MessageRequest& request)
{
    return CurrentHandler()(request);
}

QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text, const QString& caption)
{
    return ShowMessage(MessageRequest{parent, text, caption});
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    MessageHandler previous = std::move(CurrentHandler());
    CurrentHandler() = handler ? std::move(handler) : MessageHandler(ShowRealMessage);
    return previous;
}

QString ChooseFile(QWidget* parent, FileUse use, const QString& caption, const QString& filter)
{
    const QString chosen = CurrentChooser()(parent, use, caption, filter);
    if (!chosen.isEmpty())
        LastFolder() = QFileInfo(chosen).absolutePath();
    return chosen;
}

FileChooser SetFileChooser(FileChooser chooser)
{
    FileChooser previous = std::move(CurrentChooser());
    CurrentChooser() = chooser ? std::move(chooser) : FileChooser(ChooseWithDialog);
    return previous;
}

QString AskText(QWidget* parent, const QString& title, const QString& label, const QString& text)
{
    return CurrentAsker()(parent, title, label, text);
}

TextAsker SetTextAsker(TextAsker asker)
{
    TextAsker previous = std::move(CurrentAsker());
    CurrentAsker() = asker ? std::move(asker) : TextAsker(AskWithDialog);
    return previous;
}

QPushButton* MakeButton(const QString& text, int id, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QStringLiteral("button%1").arg(id));
    button->setAutoDefault(false);
    return button;
}

void BeginWaitCursor()
{
    // The window stays live while the line is busy: the cursor says so.
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
}

void EndWaitCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

std::string DataFolder()
{
    return Folder();
}

void SetDataFolder(const std::string& folder)
{
    Folder() = folder;
}

PollPause::PollPause()
{
    if (CMatrix0001Frame* frame = MatrixFrame()) {
        saved_ = frame->m_Polling;
        frame->m_Polling = 0;
        paused_ = true;
    }
}

PollPause::~PollPause()
{
    if (CMatrix0001Frame* frame = MatrixFrame(); frame && paused_)
        frame->m_Polling = saved_;
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
