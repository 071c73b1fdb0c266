// SPDX-License-Identifier: GPL-3.0-or-later
#include "CQuellixDlg.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QScreen>

#include "CAboutDlg.h"
#include "ProgramArtwork.h"
#include "tavrik/PortTable.h"
#include "xandrel/custom/DataFolder.h"
#include "xandrel/custom/TitleFile.h"
#include "xandrel/custom/WindowSettings.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/gui/CMatrix0001Frame.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/TextBytes.h"
#include "xandrel/gui/ModelChange.h"

CQuellixDlg::CQuellixDlg(const xandrel::ModelSpec* model)
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint)
    , m_hIcon(quellix::art::ProgramIcon())
    , m_AskedModel(model)
{
    setObjectName(QStringLiteral("CQuellixDlg"));
    setWindowTitle(QStringLiteral("Quellix"));
    setWindowIcon(m_hIcon);
    setAttribute(Qt::WA_OpaquePaintEvent);  // the picture covers all; no background is filled
    m_Splash = quellix::LoadSplashPicture(xandrel::DataFilePath(xandrel::DataFile::Splash, xandrel::gui::DataFolder()));
    m_Width = m_Splash.bitmap.width;
    m_Height = m_Splash.bitmap.height;
    setFixedSize(m_Width, m_Height);
    setMask(quellix::SplashRegion(m_Splash.bitmap, &m_Splash.shapeNote));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_Timer.setSingleShot(true);
    connect(&m_Timer, &QTimer::timeout, this, &CQuellixDlg::HandOff);
    m_Timer.start(kSplashMs);
}

void CQuellixDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_Splash.picture);
}

// Enter and Esc end the splash, and with it the program, as in any dialog.
void CQuellixDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return accept();
    if (event->key() == Qt::Key_F1 || event->key() == Qt::Key_Help)
        return showAbout();
    QDialog::keyPressEvent(event);
}

// Without a system menu the About item is on the splash's context menu.
void CQuellixDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("&About Quellix..."), this, &CQuellixDlg::showAbout);
    menu.exec(event->globalPos());
}

void CQuellixDlg::showAbout()
{
    CAboutDlg about(this);
    about.exec();
}

CQuellixDlg::~CQuellixDlg()
{
    xandrel::gui::SetModelChanger({});
    // The matrix window refers to the model: it goes first.
    xandrel::gui::DestroyLibraryWindows();
}

void CQuellixDlg::useModel(const xandrel::ModelSpec& model)
{
    m_Device = xandrel::CreateModel(model);
    m_Device->DEVMA_SetPortDriver(&m_PortDriver);
    m_GUI.m_Device = m_Device.get();
}

void CQuellixDlg::HandOff()
{
    m_Timer.stop();
    // A window.json that is no settings file is told by the window itself.
    xandrel::WindowSettings remembered;
    std::string ignored;
    xandrel::WindowSettings::Load(xandrel::WindowSettingsPath(xandrel::gui::DataFolder()), remembered, ignored);
    const xandrel::ModelSpec* rememberedModel = xandrel::FindModel(remembered.model);
    useModel(m_AskedModel          ? *m_AskedModel
                 : rememberedModel ? *rememberedModel
                                   : xandrel::Model("INFOHDMIMATRIX0001_8_8"));
    if (remembered.id)
        m_Device->m_DeviceID = static_cast<BYTE>(*remembered.id);
    repaint();
    // Offered before the window is made: its File menu asks.
    xandrel::gui::SetModelChanger([this](const xandrel::gui::ModelRequest& request) { Reopen(request); });
    showMatrixWindow(remembered.port.empty() ? 0 : tavrik::PortTable::instance().numberOf(remembered.port));
    hide();
    Q_EMIT handedOff();
}

// The matrix window for the model; with `port`, that port opened and the
// device read.
void CQuellixDlg::showMatrixWindow(int port)
{
    INFOGUIPDATA record;
    record.m_Title = xandrel::gui::FromBytes(xandrel::ReadTitleFile(xandrel::gui::DataFolder()));
    record.m_HostWnd = this;
    record.m_Modal = 0;
    record.m_UseParent = 0;
    record.m_CloseHost = 1;
    record.m_Icon = m_hIcon;
    record.m_Action = 0;
    m_GUI.DEVMA_GUIVideoSwitchWindow(1, &record);
    if (CMatrix0001Frame* frame = xandrel::gui::MatrixFrame(); frame && port > 0)
        frame->OpenPortAndRead(port);
}

void CQuellixDlg::Reopen(const xandrel::gui::ModelRequest& request)
{
    const int port = request.port > 0 ? request.port : m_PortDriver.RS232_IsOpen() ? m_PortDriver.GetPortNumber() : 0;
    const BYTE id = request.id ? static_cast<BYTE>(*request.id) : m_Device->m_DeviceID;
    xandrel::gui::DestroyLibraryWindows();  // the window, its dialogs and the device's worker
    m_PortDriver.RS232_ClosePort();
    useModel(*request.model);
    m_Device->m_DeviceID = id;
    showMatrixWindow(port);
}
