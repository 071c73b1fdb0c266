#include "xandrel/gui/Prompts.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>

#include "tavrik/Replaceable.h"

namespace xandrel::gui {
namespace {

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

tavrik::Replaceable<FileChooser>& Chooser()
{
    static tavrik::Replaceable<FileChooser> chooser(ChooseWithDialog);
    return chooser;
}

QString AskWithDialog(QWidget* parent, const QString& title, const QString& label, const QString& text)
{
    return QInputDialog::getText(parent, title, label, QLineEdit::Normal, text).trimmed();
}

tavrik::Replaceable<TextAsker>& Asker()
{
    static tavrik::Replaceable<TextAsker> asker(AskWithDialog);
    return asker;
}

}  // namespace

QString ChooseFile(QWidget* parent, FileUse use, const QString& caption, const QString& filter)
{
    const QString chosen = Chooser().get()(parent, use, caption, filter);
    if (!chosen.isEmpty())
        LastFolder() = QFileInfo(chosen).absolutePath();
    return chosen;
}

FileChooser SetFileChooser(FileChooser chooser)
{
    return Chooser().replace(std::move(chooser));
}

QString AskText(QWidget* parent, const QString& title, const QString& label, const QString& text)
{
    return Asker().get()(parent, title, label, text);
}

TextAsker SetTextAsker(TextAsker asker)
{
    return Asker().replace(std::move(asker));
}

}  // namespace xandrel::gui
