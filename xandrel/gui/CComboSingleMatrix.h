// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A ready-made combination for a host program: the operator picks the device
// model, and the model, its GUI front object and a port driver of its own are
// made, bound and shown in the matrix window.
//
// The model and GUI object it makes live as long as this object (the matrix
// window uses them), so a host keeps it for the whole run, as the main program
// keeps its own model. It holds a port driver and so cannot be copied.
//
// "Don't visible when start software every time." is remembered in the data
// folder (mode.dat): later starts take the remembered model without asking.
// Holding Shift while the host starts asks again, and so does a host that
// calls ForgetRememberedMode() (quellix-edid offers it in its menu).
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/XandrelExport.h"
#include "xandrel/gui/GUIDEVICEMATRIXBASE.h"

class INFODEVICEMATRIXBASE;

class XANDREL_EXPORT CComboSingleMatrix {
public:
    CComboSingleMatrix();
    ~CComboSingleMatrix();
    CComboSingleMatrix(const CComboSingleMatrix&) = delete;
    CComboSingleMatrix& operator=(const CComboSingleMatrix&) = delete;

    INFODEVICEMATRIXBASE* m_Device = nullptr;
    GUIDEVICEMATRIXBASE* m_GUI = nullptr;
    INFOPORTDRIVER m_PortDriver;
    uint32_t m_Mode = 0;

    // Asks for the model (or takes the remembered one) into m_Mode.
    void DEVMA_SelectMatrixMode();
    // Makes the model and GUI object of m_Mode, binds the port driver and
    // shows the matrix window; 0 when the mode has no model.
    int DEVMA_ComboSigleMatrixWindow(const INFOGUIPDATA* data);

private:
    std::vector<std::unique_ptr<INFODEVICEMATRIXBASE>> m_Models;
    std::vector<std::unique_ptr<GUIDEVICEMATRIXBASE>> m_GUIs;
};

namespace xandrel::gui {

// The mode remembered in the data folder, if there is one.
XANDREL_EXPORT std::optional<uint32_t> RememberedMode();
XANDREL_EXPORT bool RememberMode(uint32_t mode);
XANDREL_EXPORT void ForgetRememberedMode();

}  // namespace xandrel::gui
