// SPDX-License-Identifier: GPL-3.0-or-later
// The GUI front's window entry points and the library's process-wide
// windows they open. They lie above every window of the library, so they are
// here rather than with the rest of GUIDEVICEMATRIXBASE, which the windows use.
#include "xandrel/gui/GUIDEVICEMATRIXBASE.h"

#include <QGuiApplication>
#include <QScreen>

#include "xandrel/connect/CDlgDeviceIDSetting.h"
#include "xandrel/connect/CDlgMatrixScanPort.h"
#include "xandrel/edid/CDlgEDIDConfig.h"
#include "xandrel/gui/CMatrix0001Frame.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/MessageBoxes.h"

namespace {

// The library's windows: one each for the whole process, made on first use.
CMatrix0001Frame* g_MatrixFrame = nullptr;
CDlgEDIDConfig* g_EDIDConfig = nullptr;
CDlgMatrixScanPort* g_ScanPort = nullptr;
CDlgDeviceIDSetting* g_DeviceIDSetting = nullptr;

// The frame's first rectangle: the middle of the primary screen, grown (as
// far as the screen allows) until the routing panel fits without scrolling.
QRect FrameRectangle(const QSize& wanted)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int w = available.width();
    const int h = available.height();
    QRect rectangle(QPoint(w / 4, h / 4), QPoint(3 * w / 4, 3 * h / 4));
    const QSize size = rectangle.size().expandedTo(wanted).boundedTo(available.size());
    rectangle.setSize(size);
    rectangle.moveCenter(available.center());
    return rectangle;
}

// The window's own icon (data/ic.dat or the library's) at the small sizes a
// title bar shows, the host's at the large ones (task bar, window switcher).
QIcon WithLargeSizesFrom(const QIcon& own, const QIcon& host)
{
    QIcon icon;
    for (int size : {16, 20, 22, 24})
        icon.addPixmap(own.pixmap(size));
    for (int size : {32, 48, 64, 128, 256})
        icon.addPixmap(host.pixmap(size));
    return icon;
}

template <typename Dialog>
int ManageDialog(Dialog*& instance, GUIDEVICEMATRIXBASE* gui, int nShow, const INFOGUIPDATA* data)
{
    if (!data || data->m_Action != 0)
        return 1;
    if (nShow != 1) {
        if (instance)
            instance->hide();
        return 1;
    }
    if (!instance) {
        instance = new Dialog;
        instance->m_GUIData = *data;
        instance->m_GUI = gui;
    }
    QWidget* parent = data->m_UseParent == 1 ? data->m_HostWnd.data() : nullptr;
    if (data->m_Modal == 1)
        instance->runModal(parent);
    else
        instance->showModeless(parent);
    return 1;
}

}  // namespace

int GUIDEVICEMATRIXBASE::DEVMA_GUIVideoSwitchWindow(int nShow, const INFOGUIPDATA* data)
{
    if (!data)
        return 1;
    if (data->m_Action == 1) {
        if (g_MatrixFrame)
            g_MatrixFrame->RefreshAll();
        return 1;
    }
    if (data->m_Action != 0)
        return 1;
    if (nShow != 1) {
        if (g_MatrixFrame)
            g_MatrixFrame->hide();
        return 1;
    }
    if (!g_MatrixFrame) {
        xandrel::gui::RouteDriverReportsToMessageBoxes();
        QWidget* parent = data->m_UseParent == 1 ? data->m_HostWnd.data() : nullptr;
        g_MatrixFrame = new CMatrix0001Frame(this, *data, parent);
        g_MatrixFrame->setGeometry(FrameRectangle(g_MatrixFrame->NaturalSize()));
        if (!data->m_Icon.isNull())
            g_MatrixFrame->setWindowIcon(WithLargeSizesFrom(g_MatrixFrame->windowIcon(), data->m_Icon));
    }
    g_MatrixFrame->hide();
    g_MatrixFrame->show();
    return 1;
}

int GUIDEVICEMATRIXBASE::DEVMA_GUIEDIDConfig(int nShow, const INFOGUIPDATA* data)
{
    return ManageDialog(g_EDIDConfig, this, nShow, data);
}

int GUIDEVICEMATRIXBASE::DEVMA_GUISerialPortScan(int nShow, const INFOGUIPDATA* data)
{
    return ManageDialog(g_ScanPort, this, nShow, data);
}

int GUIDEVICEMATRIXBASE::DEVMA_GUISetting(int nShow, const INFOGUIPDATA* data)
{
    return ManageDialog(g_DeviceIDSetting, this, nShow, data);
}

namespace xandrel::gui {

CMatrix0001Frame* MatrixFrame()
{
    return g_MatrixFrame;
}

void DestroyLibraryWindows()
{
    DeviceExchanges::EndAll();
    delete g_MatrixFrame;
    delete g_EDIDConfig;
    delete g_ScanPort;
    delete g_DeviceIDSetting;
    g_MatrixFrame = nullptr;
    g_EDIDConfig = nullptr;
    g_ScanPort = nullptr;
    g_DeviceIDSetting = nullptr;
}

}  // namespace xandrel::gui
