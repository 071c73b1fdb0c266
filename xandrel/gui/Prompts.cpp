// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/Prompts.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>

#include "tavrik/Replaceable.h"
#include "xandrel/gui/MessageBoxes.h"

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

// `path` with `suffix` when it lacks it; empty when that names a file the
// person does not want replaced.
QString WithSuffix(QWidget* parent, QString path, const QString& suffix)
{
    if (path.isEmpty() || suffix.isEmpty() || QFileInfo(path).suffix().compare(suffix, Qt::CaseInsensitive) == 0)
        return path;
    path += '.' + suffix;
    if (!QFileInfo::exists(path))
        return path;
    const MessageRequest question{parent, QObject::tr("%1 already exists.\nDo you want to replace it?").arg(path),
                                  ApplicationName(), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No};
    return ShowMessage(question) == QMessageBox::Yes ? path : QString();
}

}  // namespace

QString ChooseFile(QWidget* parent, FileUse use, const QString& caption, const QString& filter, const QString& suffix)
{
    QString chosen = Chooser().get()(parent, use, caption, filter);
    if (use == FileUse::Save)
        chosen = WithSuffix(parent, chosen, suffix);
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
