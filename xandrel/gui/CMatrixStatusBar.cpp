// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/CMatrixStatusBar.h"

#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/res/Artwork.h"

namespace {

constexpr int kPaneWidth = 64;
constexpr int kLampSize = 16;

void SetUpPane(QLabel& pane)
{
    pane.setFrameStyle(QFrame::Panel | QFrame::Raised);
    pane.setMinimumWidth(kPaneWidth);
    pane.setAlignment(Qt::AlignCenter);
    pane.setContentsMargins(6, 0, 6, 0);
}

}  // namespace

CMatrixStatusBar::CMatrixStatusBar(QWidget* parent)
    : QStatusBar(parent)
{
    setObjectName(QStringLiteral("CMatrixStatusBar"));
    m_BusyText.setObjectName(QStringLiteral("busyText"));
    m_BusyBar.setObjectName(QStringLiteral("busyBar"));
    m_BusyBar.setTextVisible(false);
    m_BusyBar.setMaximumWidth(120);
    m_BusyBar.setMaximumHeight(12);
    addWidget(&m_BusyText, 1);
    addWidget(&m_BusyBar);
    ClearBusy();
    SetUpPane(m_TakePane);
    m_TakePane.setObjectName(QStringLiteral("takePane"));
    m_TakePane.setStyleSheet(QStringLiteral("color: #8a4700; font-weight: bold;"));
    m_TakePane.setToolTip(tr("Take mode: clicks and keys prepare routings; Space (Take) sends them, Esc clears them"));
    m_TakePane.hide();
    m_LineLamp.setFixedSize(kLampSize, kLampSize);
    m_LineLamp.setObjectName(QStringLiteral("lineLamp"));
    m_LineText.setObjectName(QStringLiteral("lineText"));
    m_LineText.setContentsMargins(2, 0, 6, 0);
    SetUpPane(m_PortPane);
    SetUpPane(m_IdPane);
    addPermanentWidget(&m_TakePane);
    addPermanentWidget(&m_LineLamp);
    addPermanentWidget(&m_LineText);
    addPermanentWidget(&m_PortPane);
    addPermanentWidget(&m_IdPane);
    UpdateStatusText(nullptr);
    ShowLine(LineState::PortClosed);
}

void CMatrixStatusBar::ShowLine(LineState state)
{
    using xandrel::art::LineLamp;
    const LineLamp lamp = state == LineState::Answering ? LineLamp::Answering
        : state == LineState::Silent                    ? LineLamp::Silent
                                                        : LineLamp::Unknown;
    const QImage picture = xandrel::art::LineLampImage(lamp).scaled(
        kLampSize * devicePixelRatio(), kLampSize * devicePixelRatio(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPixmap pixmap = QPixmap::fromImage(picture);
    pixmap.setDevicePixelRatio(devicePixelRatio());
    m_LineLamp.setPixmap(pixmap);
    switch (state) {
    case LineState::PortClosed: m_LineText.setText(tr("Port closed")); break;
    case LineState::NotChecked: m_LineText.setText(tr("Not checked yet")); break;
    case LineState::Answering: m_LineText.setText(tr("Online")); break;
    case LineState::Silent: m_LineText.setText(tr("No answer")); break;
    }
    m_LineText.setStyleSheet(state == LineState::Silent ? QStringLiteral("color: #b00020; font-weight: bold;")
                                                        : QString());
    const QString tip = tr("Whether the device answers: the last exchange, or the ID check every 10 s while idle "
                           "(View > Check Device)");
    m_LineLamp.setToolTip(tip);
    m_LineText.setToolTip(tip);
}

void CMatrixStatusBar::ShowTakeMode(bool on, int prepared)
{
    m_TakePane.setVisible(on);
    m_TakePane.setText(prepared == 0 ? tr("TAKE: nothing prepared")
                                     : tr("TAKE: %n prepared (Space)", nullptr, prepared));
}

void CMatrixStatusBar::UpdateStatusText(INFODEVICEMATRIXBASE* model)
{
    const int port = model && model->m_PortDriver ? model->m_PortDriver->GetPortNumber() : 1;
    QString text = QStringLiteral("COM %1").arg(port);
#if !defined(_WIN32)
    // Without COM ports a person knows the port by its path.
    std::string address = model && model->m_PortDriver ? model->m_PortDriver->RS232_PortAddress() : std::string();
    if (address.empty())
        address = tavrik::PortTable::instance().addressOf(port);
    if (!address.empty())
        text += QStringLiteral(" (%1)").arg(QString::fromStdString(address));
#endif
    m_PortPane.setText(text);
    m_IdPane.setText(QStringLiteral("ID: %1").arg(model ? model->m_DeviceID : 255u));
    m_PortPane.repaint();
    m_IdPane.repaint();
}

void CMatrixStatusBar::ShowNotice(const QString& text)
{
    m_BusyText.setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold;"));
    m_BusyText.setText(text);
    m_BusyText.setToolTip(text);
    m_ShowingNotice = !text.isEmpty();
}

void CMatrixStatusBar::ShowBusy(const QString& what)
{
    m_BusyText.setStyleSheet(QString());
    m_BusyText.setToolTip(QString());
    m_BusyText.setText(what);
    m_ShowingNotice = false;
    m_BusyBar.setRange(0, 0);  // moving, until the exchange tells how far it is
    m_BusyBar.show();
}

void CMatrixStatusBar::ShowProgress(int minimum, int maximum, int value)
{
    if (!m_BusyBar.isVisible())
        return;
    m_BusyBar.setRange(minimum, maximum);
    m_BusyBar.setValue(value);
}

void CMatrixStatusBar::ClearBusy()
{
    if (!m_ShowingNotice)
        m_BusyText.clear();
    m_BusyBar.hide();
}
