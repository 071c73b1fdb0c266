// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the library asks the person for besides yes or no: a file (a file
// dialog) and a line of text. Both go through replaceable functions so tests
// can answer them without a modal loop.
#include <QString>
#include <functional>

#include "xandrel/XandrelExport.h"

class QWidget;

namespace xandrel::gui {

// Asks for a file with a file dialog: an existing one to open, or a name to
// save under (replacing a file is confirmed). The dialog starts in the folder
// chosen last. Empty when cancelled. A name to save under that lacks
// `suffix` ("json") gets it, and replacing a file of that name is confirmed.
enum class FileUse {
    Open,
    Save
};
XANDREL_EXPORT QString ChooseFile(QWidget* parent, FileUse use, const QString& caption, const QString& filter,
                                  const QString& suffix = {});
using FileChooser = std::function<QString(QWidget* parent, FileUse use, const QString& caption, const QString& filter)>;
// Replaces the file dialog (tests); empty restores it.
XANDREL_EXPORT FileChooser SetFileChooser(FileChooser chooser);

// Asks for a line of text (a preset's name, say), `text` filled in; empty
// when cancelled.
XANDREL_EXPORT QString AskText(QWidget* parent, const QString& title, const QString& label, const QString& text = {});
using TextAsker =
    std::function<QString(QWidget* parent, const QString& title, const QString& label, const QString& text)>;
// Replaces how text is asked for (tests); empty restores the dialog.
XANDREL_EXPORT TextAsker SetTextAsker(TextAsker asker);

}  // namespace xandrel::gui
