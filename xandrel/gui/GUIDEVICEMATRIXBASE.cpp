// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/GUIDEVICEMATRIXBASE.h"

#include "xandrel/device/ModelCatalog.h"
#include "xandrel/gui/CommandBracket.h"

int GUIDEVICEMATRIXBASE::DEVMA_GUICommandStart()
{
    xandrel::gui::BeginCommand(m_Device);
    return 1;
}

int GUIDEVICEMATRIXBASE::DEVMA_GUICommandEnd()
{
    xandrel::gui::EndCommand(m_Device);
    return 1;
}

GUIDEVICEMATRIXBASE* CreateMatrixModeGUI(uint32_t mode)
{
    return xandrel::ModelOfMode(mode) ? new GUIDEVICEMATRIXBASE : nullptr;
}
