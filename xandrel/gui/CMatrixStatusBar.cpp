#include "xandrel/gui/CMatrixStatusBar.h"

#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"

namespace {

constexpr int kPaneWidth = 64;

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
    SetUpPane(m_PortPane);
    SetUpPane(m_IdPane);
    addPermanentWidget(&m_PortPane);
    addPermanentWidget(&m_IdPane);
    UpdateStatusText(nullptr);
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
