// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small pieces every window of the library uses: command buttons named
// after their identifiers, the wait cursor, and the data folder the windows
// read their files from.
#include <QString>
#include <string>

#include "xandrel/XandrelExport.h"

class QPushButton;
class QWidget;

namespace xandrel::gui {

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

}  // namespace xandrel::gui
