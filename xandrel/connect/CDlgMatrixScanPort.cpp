// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/connect/CDlgMatrixScanPort.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/device/Discovery.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/DeviceWorker.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/gui/CommandBracket.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/ModelChange.h"
#include "xandrel/gui/ModelChoiceDialog.h"

namespace {

constexpr int kPortNumberRole = Qt::UserRole + 1;
constexpr int kFoundModelRole = Qt::UserRole + 2;  // a found device's model: its index in the catalog
constexpr int kFoundIdRole = Qt::UserRole + 3;

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
    , m_OtherModels(new QCheckBox(tr("Look for other models")))
    , m_ScanButton(xandrel::gui::MakeButton(QStringLiteral("Scan"), 3029))
    , m_OpenButton(new QPushButton(tr("Open")))
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
    scanRow->addWidget(m_OtherModels);
    m_OtherModels->setToolTip(tr("Where this model is silent, ask as every other model (about 6 s a port)"));
    scanRow->addStretch();
    scanRow->addWidget(m_OpenButton);
    scanRow->addWidget(m_ScanButton);
    m_OpenButton->setObjectName(QStringLiteral("openFound"));
    m_OpenButton->setAutoDefault(false);
    m_OpenButton->setToolTip(tr("Reopen the window as the model found, on its port and ID"));
    m_OpenButton->hide();
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
    connect(m_OpenButton, &QPushButton::clicked, this, &CDlgMatrixScanPort::OnOpenFound);
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
    m_IdList->setCurrentIndex(model() ? model()->m_DeviceID : kIdEntries - 1);
    m_ScanId->setChecked(true);
    m_Tree->clear();
    m_ScanState->clear();
    m_OpenButton->hide();
    listPorts();
}

// The model's own port is closed first, so that the listing does not take it
// for a port another program holds; both happen on the device's worker.
void CDlgMatrixScanPort::listPorts()
{
    m_PortList->clear();
    m_PortNumbers.clear();
    m_OkButton->setEnabled(false);
    auto ports = std::make_shared<std::vector<ListedPort>>();
    auto list = [ports] {
        for (const tavrik::PortEntry& entry : tavrik::PortTable::instance().entries())
            ports->push_back(ListedPort{entry.number, tavrik::ProbePortState(entry.address)});
    };
    xandrel::gui::DeviceExchanges* runner = exchanges();
    QPointer<CDlgMatrixScanPort> self(this);
    const bool started = runner && model()->m_PortDriver
        && runner->start(
            tr("Listing the serial ports..."),
            [list](xandrel::DeviceWorker& worker) {
                worker.model().m_PortDriver->RS232_ClosePort();
                list();
            },
            [self, ports] {
                if (self)
                    self->fillPortList(*ports);
            });
    if (!started) {
        list();
        fillPortList(*ports);
    }
}

void CDlgMatrixScanPort::fillPortList(const std::vector<ListedPort>& ports)
{
    m_PortList->clear();
    m_PortNumbers.clear();
    for (const ListedPort& port : ports) {
        if (!Listed(port.state))
            continue;
        m_PortList->addItem(PortText(port.number));
        m_PortNumbers.push_back(port.number);
    }
    m_PortList->setCurrentIndex(m_PortList->count() > 0 ? 0 : -1);
    showBusy(exchanges() && exchanges()->busy());
    if (m_PortNumbers.empty())
        m_ScanState->setText(tr("No serial port found. Connect the device's adapter, or add the port to "
                                "data/ports.dat. %1")
                                 .arg(QString::fromStdString(tavrik::SerialAccessHint())));
}

void CDlgMatrixScanPort::showBusy(bool busy)
{
    m_OkButton->setEnabled(!busy && !m_Scanning && !m_PortNumbers.empty());
    m_ScanButton->setEnabled(m_Scanning || !busy);
}

void CDlgMatrixScanPort::setScanning(bool scanning)
{
    m_Scanning = scanning;
    m_StopRequested = false;
    m_ScanButton->setText(scanning ? tr("Stop") : QStringLiteral("Scan"));
    m_PortList->setEnabled(!scanning);
    m_IdList->setEnabled(!scanning);
    m_ScanId->setEnabled(!scanning);
    m_Progress->setVisible(scanning);
    showBusy(exchanges() && exchanges()->busy());
}

namespace {

enum class ProbeResult {
    Absent,
    InUse,
    NoPermission,
    Detected,
    Silent
};

// Probes one port for a device, on the worker: the state of the port, and
// for a free port whether a device answers the ID query; with `lookFurther`,
// `others` holds the devices of other models or IDs found where this model
// is silent.
ProbeResult ProbePort(INFODEVICEMATRIXBASE& model, const tavrik::PortEntry& entry, bool lookFurther,
                      std::vector<xandrel::DiscoveredDevice>& others)
{
    switch (tavrik::ProbePortState(entry.address)) {
    case tavrik::PortState::InUse: return ProbeResult::InUse;
    case tavrik::PortState::NoPermission: return ProbeResult::NoPermission;
    case tavrik::PortState::Free: break;
    default: return ProbeResult::Absent;
    }
    INFOPORTDRIVER* port = model.m_PortDriver;
    port->m_ShowError = 0;
    if (port->RS232_OpenPort(entry.number, model.m_BaudRate) != 1)
        return ProbeResult::Silent;
    // The driver's own time-outs are kept: shortened to 1 ms, as a quick probe
    // would have them, they would not let a 9600-baud device answer at all.
    COMMTIMEOUTS saved{};
    port->RS232_GetTimeouts(saved);
    const bool detected = model.DEVMA_GetDeviceID() == 1;
    // A port where this model is silent may hold a device of another model
    // or ID: the search names it, so the person knows what to choose.
    if (!detected && lookFurther)
        others = xandrel::DiscoverOnPort(*port, {});
    port->RS232_SetTimeouts(saved);
    port->RS232_ClosePort();
    return detected ? ProbeResult::Detected : ProbeResult::Silent;
}

QString ItemText(ProbeResult result, const QString& port, const std::vector<xandrel::DiscoveredDevice>& others)
{
    if (result == ProbeResult::Silent && !others.empty()) {
        QStringList found;
        for (const xandrel::DiscoveredDevice& device : others)
            found << QString::fromStdString(xandrel::DescribeDiscovered(device));
        return port + " - Other Model: " + found.join(QStringLiteral("; "));
    }
    switch (result) {
    case ProbeResult::InUse: return port + " - Already Open";
    case ProbeResult::NoPermission: return port + " - No Permission";
    case ProbeResult::Detected: return port + " - Detected";
    case ProbeResult::Silent: return port;
    case ProbeResult::Absent: break;
    }
    return {};
}

// The models a found device may be, one of each number of inputs and
// outputs (variants that differ by name alone are one choice): the one
// without a mode of its own where there is one.
std::vector<const xandrel::ModelSpec*> DistinctModels(const xandrel::DiscoveredDevice& device)
{
    std::vector<const xandrel::ModelSpec*> models;
    for (const xandrel::ModelSpec* model : device.models) {
        auto same = std::find_if(models.begin(), models.end(), [model](const xandrel::ModelSpec* other) {
            return other->inputs == model->inputs && other->outputs == model->outputs;
        });
        if (same == models.end())
            models.push_back(model);
        else if (model->mode < 0)
            *same = model;
    }
    return models;
}

// Below a port's item, one item per model the devices found there may be,
// each to be opened.
void AddFoundDevices(QTreeWidgetItem& portItem, const std::vector<xandrel::DiscoveredDevice>& found)
{
    const auto& catalog = xandrel::AllModels();
    for (const xandrel::DiscoveredDevice& device : found) {
        for (const xandrel::ModelSpec* model : DistinctModels(device)) {
            auto* item = new QTreeWidgetItem(&portItem,
                                             QStringList{CDlgMatrixScanPort::tr("Open as %1 at ID %2")
                                                             .arg(xandrel::gui::ModelChoiceDialog::Describe(*model))
                                                             .arg(device.id)});
            item->setData(0, kPortNumberRole, portItem.data(0, kPortNumberRole));
            item->setData(0, kFoundModelRole, static_cast<int>(model - catalog.data()));
            item->setData(0, kFoundIdRole, device.id);
        }
    }
    portItem.setExpanded(true);
}

}  // namespace

void CDlgMatrixScanPort::OnScan()
{
    if (m_Scanning) {
        m_StopRequested = true;  // taken between two ports
        m_ScanState->setText(tr("Stopping..."));
        return;
    }
    xandrel::gui::DeviceExchanges* runner = exchanges();
    if (!runner || runner->busy() || !model()->m_PortDriver)
        return;
    m_ScanPause = std::make_unique<xandrel::gui::DeviceExchanges::PollPause>(*runner);
    m_Tree->clear();
    m_ScanEntries = tavrik::PortTable::instance().entries();
    m_ScanNext = 0;
    setScanning(true);
    m_Progress->setRange(0, static_cast<int>(m_ScanEntries.size()));
    m_Progress->setValue(0);
    scanNextPort();
}

// One port a step, each on the device's worker, so Stop is taken between two.
void CDlgMatrixScanPort::scanNextPort()
{
    if (m_StopRequested || m_ScanNext >= m_ScanEntries.size())
        return finishScan();
    const tavrik::PortEntry entry = m_ScanEntries[m_ScanNext];
    const QString text = PortText(entry.number);
    m_ScanState->setText(tr("Scanning %1 ...").arg(text));
    auto result = std::make_shared<std::pair<ProbeResult, std::vector<xandrel::DiscoveredDevice>>>();
    result->first = ProbeResult::Absent;
    QPointer<CDlgMatrixScanPort> self(this);
    const bool lookFurther = m_OtherModels->isChecked();
    const bool started = exchanges()->start(
        tr("Scanning %1 ...").arg(text),
        [entry, result, lookFurther](xandrel::DeviceWorker& worker) {
            result->first = ProbePort(worker.model(), entry, lookFurther, result->second);
        },
        [self, entry, text, result] {
            if (!self)
                return;
            const QString itemText = ItemText(result->first, text, result->second);
            if (!itemText.isEmpty()) {
                auto* item = new QTreeWidgetItem(self->m_Tree, QStringList{itemText});
                item->setData(0, kPortNumberRole, entry.number);
                if (result->first == ProbeResult::Silent && xandrel::gui::CanChangeModel())
                    AddFoundDevices(*item, result->second);
            }
            self->m_Progress->setValue(static_cast<int>(++self->m_ScanNext));
            self->scanNextPort();
        });
    if (!started)
        finishScan();
}

void CDlgMatrixScanPort::finishScan()
{
    if (model() && model()->m_PortDriver)
        model()->m_PortDriver->m_ShowError = 1;
    const bool stopped = m_StopRequested;
    setScanning(false);
    m_ScanPause.reset();
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
    m_OpenButton->setVisible(selected.front()->data(0, kFoundModelRole).isValid());
}

void CDlgMatrixScanPort::OnOpenFound()
{
    const QList<QTreeWidgetItem*> selected = m_Tree->selectedItems();
    if (m_Scanning || selected.isEmpty() || !selected.front()->data(0, kFoundModelRole).isValid())
        return;
    const QTreeWidgetItem& item = *selected.front();
    xandrel::gui::RequestModel(
        xandrel::gui::ModelRequest{&xandrel::AllModels()[static_cast<size_t>(item.data(0, kFoundModelRole).toInt())],
                                   item.data(0, kPortNumberRole).toInt(), item.data(0, kFoundIdRole).toInt()});
    accept();  // the window reopens once this dialog is closed
}

void CDlgMatrixScanPort::OnOK()
{
    xandrel::gui::DeviceExchanges* runner = exchanges();
    if (m_Scanning || !runner || runner->busy() || !model()->m_PortDriver)
        return;
    const BYTE id = static_cast<BYTE>(m_IdList->currentIndex());
    const int entry = m_PortList->currentIndex();
    const int number = entry >= 0 && entry < static_cast<int>(m_PortNumbers.size()) ? m_PortNumbers[entry] : 0;
    const bool askId = m_ScanId->isChecked();
    auto opened = std::make_shared<bool>(false);
    QPointer<CDlgMatrixScanPort> self(this);
    INFODEVICEMATRIXBASE* model = this->model();
    runner->startCommand(
        tr("Connecting..."),
        [id, number, askId, opened](xandrel::DeviceWorker& worker) {
            INFODEVICEMATRIXBASE& m = worker.model();
            m.m_DeviceID = id;
            if (number == 0 || m.m_PortDriver->RS232_OpenPort(number, m.m_BaudRate) != 1)
                return;
            *opened = true;
            if (askId)
                m.DEVMA_GetDeviceID();
            m.DEVMA_GetDeviceAllStatus();
        },
        [self, model, opened] {
            // A port that did not open reports that itself; no command followed.
            if (*opened)
                xandrel::gui::EndCommandAfterExchange(model);
            else
                xandrel::gui::EndWaitCursor();
            if (self)
                self->accept();
        });
}

void CDlgMatrixScanPort::reject()
{
    if (m_Scanning) {  // Esc or the close box while scanning stop the scan first
        m_StopRequested = true;
        return;
    }
    LibraryDialog::reject();
}
