// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/CComboSingleMatrix.h"

#include <QGuiApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "xandrel/custom/AtomicFile.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelRegistry.h"
#include "xandrel/gui/CDlgModeSelect.h"
#include "xandrel/gui/Controls.h"

namespace xandrel::gui {
namespace {

std::string ModeFile()
{
    return DataFolder() + "/mode.dat";
}

}  // namespace

std::optional<uint32_t> RememberedMode()
{
    std::string text;
    std::string error;
    if (!ReadFileBytes(ModeFile(), text, error, 64))
        return std::nullopt;
    unsigned mode = 0;
    if (std::sscanf(text.c_str(), "mode %u", &mode) != 1 || mode >= D_MatrixModeNumber)
        return std::nullopt;
    return mode;
}

bool RememberMode(uint32_t mode)
{
    std::string error;
    return WriteFileAtomically(ModeFile(), "mode " + std::to_string(mode) + "\n", error);
}

void ForgetRememberedMode()
{
    std::error_code ignored;
    std::filesystem::remove(ModeFile(), ignored);
}

}  // namespace xandrel::gui

CComboSingleMatrix::CComboSingleMatrix() = default;
CComboSingleMatrix::~CComboSingleMatrix() = default;

void CComboSingleMatrix::DEVMA_SelectMatrixMode()
{
    const bool askAgain = QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
    if (const auto remembered = xandrel::gui::RememberedMode(); remembered && !askAgain) {
        m_Mode = *remembered;
        return;
    }
    CDlgModeSelect dialog;
    dialog.exec();
    m_Mode = dialog.m_Mode;
    if (dialog.result() == QDialog::Accepted && dialog.RememberChoice() && m_Mode < D_MatrixModeNumber)
        xandrel::gui::RememberMode(m_Mode);
}

int CComboSingleMatrix::DEVMA_ComboSigleMatrixWindow(const INFOGUIPDATA* data)
{
    std::unique_ptr<INFODEVICEMATRIXBASE> model(CreateMatrixModeObject(m_Mode));
    std::unique_ptr<GUIDEVICEMATRIXBASE> gui(CreateMatrixModeGUI(m_Mode));
    if (!model || !gui)
        return 0;
    m_Device = model.get();
    m_GUI = gui.get();
    m_Models.push_back(std::move(model));
    m_GUIs.push_back(std::move(gui));
    m_Device->DEVMA_SetPortDriver(&m_PortDriver);
    m_GUI->m_Device = m_Device;
    m_GUI->DEVMA_GUIVideoSwitchWindow(1, data);
    return 1;
}
