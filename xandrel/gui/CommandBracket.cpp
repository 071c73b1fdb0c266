// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/CommandBracket.h"

#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/Wait.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MatrixWindowNotices.h"
#include "xandrel/gui/MessageBoxes.h"
#include "xandrel/gui/TextBytes.h"

namespace xandrel::gui {
namespace {

constexpr uint32_t kPauseAfterCommandMs = 200;

// The matrix window's lamp of the line and its refresh, then the pause after
// a success (here, or taken by the device's worker) or the message box of a
// failure, then the end of the wait cursor.
void FinishCommand(INFODEVICEMATRIXBASE* model, bool pauseHere)
{
    const BYTE error = model ? model->m_ErrorCode : INFODEVICEMATRIXBASE::kNoError;
    MatrixWindowNotices* window = MatrixWindowNotices::Current();
    if (window)
        window->commandEnded(model, error);
    INFOPORTDRIVER* port = model ? model->m_PortDriver : nullptr;
    QWidget* parent = window ? window->reportParent() : nullptr;
    if (error == INFODEVICEMATRIXBASE::kNoError) {
        if (pauseHere)
            tavrik::Wait(kPauseAfterCommandMs);
    } else if (error == INFODEVICEMATRIXBASE::kNoValidAnswer && port) {
        ShowMessage(parent, FromBytes(port->m_NoFeedbackText));
    } else if (error == INFODEVICEMATRIXBASE::kPortNotOpen && port) {
        ShowMessage(parent, FromBytes(port->m_NotReadyText));
    }
    EndWaitCursor();
}

}  // namespace

void BeginCommand(INFODEVICEMATRIXBASE* model)
{
    BeginWaitCursor();
    if (model)
        model->m_ErrorCode = INFODEVICEMATRIXBASE::kNoError;
}

void EndCommand(INFODEVICEMATRIXBASE* model)
{
    FinishCommand(model, true);
}

void EndCommandAfterExchange(INFODEVICEMATRIXBASE* model)
{
    FinishCommand(model, false);
}

}  // namespace xandrel::gui
