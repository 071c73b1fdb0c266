// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The hidden key chord Ctrl+F9: held while the Setting button is pressed, it
// opens the GUI Config dialog instead of the Setting dialog. The toolkit can
// tell whether Ctrl is down but not F9, so F9 is followed from key events.
#include "xandrel/XandrelExport.h"

class INFODEVICEMATRIXBASE;
class QWidget;

namespace xandrel::gui {

// Starts following the F9 key for the whole application (once).
XANDREL_EXPORT void FollowConfigChordKeys();
// True while Ctrl and F9 are both held.
XANDREL_EXPORT bool ConfigChordHeld();
// For tests: as if F9 were held or released.
XANDREL_EXPORT void SetF9Held(bool held);

// Runs the GUI Config dialog for the model's numbers of ports.
XANDREL_EXPORT void OpenGuiConfigDialog(QWidget* parent, INFODEVICEMATRIXBASE* model);

}  // namespace xandrel::gui
