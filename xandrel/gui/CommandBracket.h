// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bracket around every device command a window starts. Its start shows
// the wait cursor and clears the model's error code. Its end lets the matrix
// window note the outcome and refresh, then rests after a success or reports
// a failure in a message box, and ends the wait cursor.
// GUIDEVICEMATRIXBASE::DEVMA_GUICommandStart and DEVMA_GUICommandEnd are
// this bracket for a host; the windows use it directly.
#include "xandrel/XandrelExport.h"

class INFODEVICEMATRIXBASE;

namespace xandrel::gui {

XANDREL_EXPORT void BeginCommand(INFODEVICEMATRIXBASE* model);
// The end of a command that ran here: after a success the window's thread
// rests 200 ms before the next one.
XANDREL_EXPORT void EndCommand(INFODEVICEMATRIXBASE* model);
// The end of a command whose exchange ran on the device's worker: the worker
// rests after a success instead of the window.
XANDREL_EXPORT void EndCommandAfterExchange(INFODEVICEMATRIXBASE* model);

}  // namespace xandrel::gui
