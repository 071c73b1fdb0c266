#include "CQuellixDlg.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QScreen>

#include "CAboutDlg.h"
#include "ProgramArtwork.h"
#include "xandrel/custom/DataFolder.h"
#include "xandrel/custom/TitleFile.h"
#include "xandrel/gui/GuiServices.h"

CQuellixDlg::CQuellixDlg()
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint)
    , m_hIcon(quellix::art::ProgramIcon())
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

void CQuellixDlg::HandOff()
{
    m_Timer.stop();
    m_Device.DEVMA_SetPortDriver(&m_PortDriver);
    m_GUI.m_Device = &m_Device;
    repaint();
    INFOGUIPDATA record;
    record.m_Title = xandrel::gui::FromBytes(xandrel::ReadTitleFile(xandrel::gui::DataFolder()));
    record.m_HostWnd = this;
    record.m_Modal = 0;
    record.m_UseParent = 0;
    record.m_CloseHost = 1;
    record.m_Icon = m_hIcon;
    record.m_Action = 0;
    m_GUI.DEVMA_GUIVideoSwitchWindow(1, &record);
    hide();
    Q_EMIT handedOff();
}
