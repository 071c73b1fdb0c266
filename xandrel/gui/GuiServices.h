#pragma once
// What every window of the library shares: message boxes, the wait cursor,
// the data folder, and the hand-over of the port driver's own reports to the
// person. Message boxes go through a replaceable function so tests can
// answer them without a modal loop.
#include <QMessageBox>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "xandrel/XandrelExport.h"

class QPushButton;
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

// Asks for a file with a file dialog: an existing one to open, or a name to
// save under (replacing a file is confirmed). The dialog starts in the folder
// chosen last. Empty when cancelled.
enum class FileUse { Open, Save };
XANDREL_EXPORT QString ChooseFile(QWidget* parent, FileUse use, const QString& caption, const QString& filter);
using FileChooser =
    std::function<QString(QWidget* parent, FileUse use, const QString& caption, const QString& filter)>;
// Replaces the file dialog (tests); empty restores it.
XANDREL_EXPORT FileChooser SetFileChooser(FileChooser chooser);

// Asks for a line of text (a preset's name, say), `text` filled in; empty
// when cancelled. Replaceable for tests, as the message boxes are.
XANDREL_EXPORT QString AskText(QWidget* parent, const QString& title, const QString& label, const QString& text = {});
using TextAsker = std::function<QString(QWidget* parent, const QString& title, const QString& label, const QString& text)>;
// Replaces how text is asked for (tests); empty restores the dialog.
XANDREL_EXPORT TextAsker SetTextAsker(TextAsker asker);

// A push button named after its command identifier ("button1156"), which
// Enter does not press unless it has the focus.
XANDREL_EXPORT QPushButton* MakeButton(const QString& text, int id, QWidget* parent = nullptr);

// The wait cursor; the calls are counted and must pair.
XANDREL_EXPORT void BeginWaitCursor();
XANDREL_EXPORT void EndWaitCursor();

// The folder of the data files, named relative to the current directory:
// "data" unless set otherwise.
XANDREL_EXPORT std::string DataFolder();
XANDREL_EXPORT void SetDataFolder(const std::string& folder);

// Pauses the matrix window's device poll while a dialog's long exchange has
// the port (the exchange lets the window repaint, and the poll's timer would
// otherwise run in between).
class XANDREL_EXPORT PollPause {
public:
    PollPause();
    ~PollPause();
    PollPause(const PollPause&) = delete;
    PollPause& operator=(const PollPause&) = delete;

private:
    int32_t saved_ = 1;
    bool paused_ = false;
};

// Makes the port driver's own failure reports appear as message boxes.
XANDREL_EXPORT void RouteDriverReportsToMessageBoxes();

// Bytes of the system's code page (UTF-8 here) as text, and back.
inline QString FromBytes(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
inline std::string ToBytes(const QString& text)
{
    return text.toUtf8().toStdString();
}

}  // namespace xandrel::gui
