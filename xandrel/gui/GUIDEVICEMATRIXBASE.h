// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The library's offers to a host program: the request record INFOGUIPDATA,
// the GUI front object GUIDEVICEMATRIXBASE with one entry point per window
// and the bracket around every device command, and CreateMatrixModeGUI.
// The windows hold the front and reach its model through it. The entry
// points, and the process-wide windows they open, are defined in
// LibraryWindows.cpp, above every window; the bracket is CommandBracket.h.
#include <QIcon>
#include <QPointer>
#include <QString>
#include <cstdint>

#include "xandrel/XandrelExport.h"

class CMatrix0001Frame;
class INFODEVICEMATRIXBASE;
class QWidget;

// What a host asks of a window entry point.
struct XANDREL_EXPORT INFOGUIPDATA {
    QString m_Title;              // caption (the matrix window takes its own from ds.dat right away)
    QPointer<QWidget> m_HostWnd;  // the host's window: parent when m_UseParent is 1, closed with the matrix window when
                                  // m_CloseHost is set
    int32_t m_Modal = 0;          // 1: dialogs run modally
    int32_t m_UseParent = 0;      // 1: the window gets m_HostWnd as parent
    int32_t m_CloseHost = 0;      // closing the matrix window: non-zero closes the host, 0 only hides the window
    QIcon m_Icon;                 // the matrix window's large icon
    uint8_t m_Action = 0;         // 0: show or hide; 1: refresh the matrix window; other: nothing
};

// The GUI front object: bound to one device model, whose windows it opens.
// It does not own the model; it and the model must outlive the windows.
class XANDREL_EXPORT GUIDEVICEMATRIXBASE {
public:
    INFODEVICEMATRIXBASE* m_Device = nullptr;

    // nShow 1 shows (creating on first use), any other value hides. Return 1.
    int DEVMA_GUIVideoSwitchWindow(int nShow, const INFOGUIPDATA* data);
    int DEVMA_GUIEDIDConfig(int nShow, const INFOGUIPDATA* data);
    int DEVMA_GUISerialPortScan(int nShow, const INFOGUIPDATA* data);
    int DEVMA_GUISetting(int nShow, const INFOGUIPDATA* data);

    // Around every device command a window starts: wait cursor and error reset,
    // then the matrix window's refresh and the report of a failure.
    int DEVMA_GUICommandStart();
    int DEVMA_GUICommandEnd();
};

// A new GUI front object for mode 0-10 (its m_Device not yet set), or null.
XANDREL_EXPORT GUIDEVICEMATRIXBASE* CreateMatrixModeGUI(uint32_t mode);

namespace xandrel::gui {

// The process-wide matrix window, null until first shown.
XANDREL_EXPORT ::CMatrix0001Frame* MatrixFrame();

// Drops every process-wide window, and ends the devices' workers, so a test
// starts afresh and a program ends cleanly.
XANDREL_EXPORT void DestroyLibraryWindows();

}  // namespace xandrel::gui
