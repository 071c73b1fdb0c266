#include "xandrel/connect/CDlgMatrixScanPort.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/gui/CMatrix0001Frame.h"
#include "xandrel/gui/GuiServices.h"

namespace {

constexpr int kPortNumberRole = Qt::UserRole + 1;

bool Listed(tavrik::PortState state)
{
    return state == tavrik::PortState::Free || state == tavrik::PortState::InUse
        || state == tavrik::PortState::NoPermission;
}

}  // namespace

CDlgMatrixScanPort::CDlgMatrixScanPort()
    : LibraryDialog(QStringLiteral("Serial Port Scan"))
    , m_PortList(new QComboBox)
    , m_IdList(new QComboBox)
    , m_Tree(new QTreeWidget)
    , m_ScanId(new QCheckBox(QStringLiteral("Scan Device ID")))
    , m_ScanButton(xandrel::gui::MakeButton(QStringLiteral("Scan"), 3029))
    , m_Progress(new QProgressBar)
    , m_ScanState(new QLabel)
{
    m_PortList->setObjectName(QStringLiteral("list3025"));
    m_IdList->setObjectName(QStringLiteral("list3026"));
    m_Tree->setObjectName(QStringLiteral("tree3027"));
    m_ScanId->setObjectName(QStringLiteral("check3028"));
    m_Tree->setHeaderHidden(true);
    m_Tree->setRootIsDecorated(false);
    m_Tree->setMinimumHeight(140);
    m_Progress->setTextVisible(false);
    m_Progress->setMaximumHeight(10);
    m_Progress->hide();
    m_ScanState->setWordWrap(true);
    for (int id = 0; id < kIdEntries - 1; ++id)
        m_IdList->addItem(QStringLiteral("ID %1").arg(id));
    m_IdList->addItem(QStringLiteral("ID 255 (Super)"));
    m_IdList->setMaxVisibleItems(16);

    auto* select = new QGroupBox(QStringLiteral("Select"));
    auto* form = new QFormLayout(select);
    form->addRow(QStringLiteral("Port Number: "), m_PortList);
    form->addRow(QStringLiteral("Device ID: "), m_IdList);
    auto* scan = new QGroupBox(QStringLiteral("Scan"));
    auto* scanLayout = new QVBoxLayout(scan);
    scanLayout->addWidget(m_Tree);
    scanLayout->addWidget(m_Progress);
    auto* scanRow = new QHBoxLayout;
    scanRow->addWidget(m_ScanId);
    scanRow->addStretch();
    scanRow->addWidget(m_ScanButton);
    scanLayout->addLayout(scanRow);
    scanLayout->addWidget(m_ScanState);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_OkButton = buttons->button(QDialogButtonBox::Ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(select);
    layout->addWidget(scan, 1);
    layout->addWidget(buttons);
    setMinimumWidth(360);

    connect(m_ScanButton, &QPushButton::clicked, this, &CDlgMatrixScanPort::OnScan);
    connect(m_Tree, &QTreeWidget::itemSelectionChanged, this, &CDlgMatrixScanPort::OnTreeSelection);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgMatrixScanPort::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDlgMatrixScanPort::reject);
}

QString CDlgMatrixScanPort::PortText(int number)
{
#if defined(_WIN32)
    return QStringLiteral("\\\\.\\COM%1").arg(number);
#else
    return QString::fromStdString(tavrik::PortLabel(number));
#endif
}

void CDlgMatrixScanPort::initialise()
{
    LibraryDialog::initialise();
    // The model's own port is closed first, so that the listing does not
    // take it for a port another program holds.
    if (model() && model()->m_PortDriver)
        model()->m_PortDriver->RS232_ClosePort();
    fillPortList();
    m_IdList->setCurrentIndex(model() ? model()->m_DeviceID : kIdEntries - 1);
    m_ScanId->setChecked(true);
    m_Tree->clear();
    m_ScanState->clear();
}

void CDlgMatrixScanPort::fillPortList()
{
    m_PortList->clear();
    m_PortNumbers.clear();
    for (const tavrik::PortEntry& entry : tavrik::PortTable::instance().entries()) {
        if (!Listed(tavrik::ProbePortState(entry.address)))
            continue;
        m_PortList->addItem(PortText(entry.number));
        m_PortNumbers.push_back(entry.number);
    }
    m_PortList->setCurrentIndex(m_PortList->count() > 0 ? 0 : -1);
    m_OkButton->setEnabled(!m_PortNumbers.empty());
    if (m_PortNumbers.empty())
        m_ScanState->setText(tr("No serial port found. Connect the device's adapter, or add the port to "
                                "data/ports.dat. %1")
                                 .arg(QString::fromStdString(tavrik::SerialAccessHint())));
}

void CDlgMatrixScanPort::setScanning(bool scanning)
{
    m_Scanning = scanning;
    m_StopRequested = false;
    m_ScanButton->setText(scanning ? tr("Stop") : QStringLiteral("Scan"));
    m_OkButton->setEnabled(!scanning && !m_PortNumbers.empty());
    m_PortList->setEnabled(!scanning);
    m_IdList->setEnabled(!scanning);
    m_ScanId->setEnabled(!scanning);
    m_Progress->setVisible(scanning);
}

// Probes one free port for a device; returns the tree text.
QString CDlgMatrixScanPort::probe(int number, const QString& text)
{
    INFOPORTDRIVER* port = model()->m_PortDriver;
    if (port->RS232_OpenPort(number, model()->m_BaudRate) != 1)
        return text;
    // The driver's own time-outs are kept: shortened to 1 ms, as a quick probe
    // would have them, they would not let a 9600-baud device answer at all.
    COMMTIMEOUTS saved{};
    port->RS232_GetTimeouts(saved);
    const bool detected = model()->DEVMA_GetDeviceID() == 1;
    port->RS232_SetTimeouts(saved);
    port->RS232_ClosePort();
    return detected ? text + " - Detected" : text;
}

void CDlgMatrixScanPort::OnScan()
{
    if (m_Scanning) {
        m_StopRequested = true;  // taken between two ports
        m_ScanState->setText(tr("Stopping..."));
        return;
    }
    if (!model() || !model()->m_PortDriver)
        return;
    xandrel::gui::PollPause pause;
    m_Tree->clear();
    setScanning(true);
    INFOPORTDRIVER* port = model()->m_PortDriver;
    port->m_ShowError = 0;
    const std::vector<tavrik::PortEntry> entries = tavrik::PortTable::instance().entries();
    m_Progress->setRange(0, static_cast<int>(entries.size()));
    int done = 0;
    for (const tavrik::PortEntry& entry : entries) {
        if (m_StopRequested)
            break;
        const QString text = PortText(entry.number);
        m_ScanState->setText(tr("Scanning %1 ...").arg(text));
        QApplication::processEvents();
        QString itemText;
        switch (tavrik::ProbePortState(entry.address)) {
        case tavrik::PortState::InUse: itemText = text + " - Already Open"; break;
        case tavrik::PortState::NoPermission: itemText = text + " - No Permission"; break;
        case tavrik::PortState::Free: itemText = probe(entry.number, text); break;
        default: break;
        }
        if (!itemText.isEmpty()) {
            auto* item = new QTreeWidgetItem(m_Tree, QStringList{itemText});
            item->setData(0, kPortNumberRole, entry.number);
        }
        m_Progress->setValue(++done);
        QApplication::processEvents();
    }
    port->m_ShowError = 1;
    const bool stopped = m_StopRequested;
    setScanning(false);
    QString state = stopped ? tr("Scan stopped.") : tr("Scan done.");
    if (!m_Tree->findItems(QStringLiteral(" - No Permission"), Qt::MatchEndsWith).isEmpty())
        state += ' ' + tr("Ports you may not open: %1").arg(QString::fromStdString(tavrik::SerialAccessHint()));
    m_ScanState->setText(state);
}

void CDlgMatrixScanPort::OnTreeSelection()
{
    const QList<QTreeWidgetItem*> selected = m_Tree->selectedItems();
    if (selected.isEmpty())
        return;
    const int number = selected.front()->data(0, kPortNumberRole).toInt();
    for (size_t k = 0; k < m_PortNumbers.size(); ++k)
        if (m_PortNumbers[k] == number)
            m_PortList->setCurrentIndex(static_cast<int>(k));
}

void CDlgMatrixScanPort::OnOK()
{
    if (m_Scanning || !model() || !model()->m_PortDriver)
        return;
    model()->m_DeviceID = static_cast<BYTE>(m_IdList->currentIndex());
    const int entry = m_PortList->currentIndex();
    if (entry >= 0 && entry < static_cast<int>(m_PortNumbers.size())
        && model()->m_PortDriver->RS232_OpenPort(m_PortNumbers[entry], model()->m_BaudRate) == 1) {
        m_GUI->DEVMA_GUICommandStart();
        if (m_ScanId->isChecked())
            model()->DEVMA_GetDeviceID();
        model()->DEVMA_GetDeviceAllStatus();
        m_GUI->DEVMA_GUICommandEnd();
    }
    accept();
}

void CDlgMatrixScanPort::reject()
{
    if (m_Scanning) {  // Esc or the close box while scanning stop the scan first
        m_StopRequested = true;
        return;
    }
    LibraryDialog::reject();
}
