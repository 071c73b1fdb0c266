#include "xandrel/gui/CMatrix0001Frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QShortcut>
#include <QToolButton>

#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/custom/StringTableFile.h"
#include "xandrel/custom/DataFolder.h"
#include "xandrel/device/DeviceWorker.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/edid/DlgEDIDInfo.h"
#include "xandrel/edid/EdidExchange.h"
#include "xandrel/gui/CMatrix0001View.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/GuiServices.h"
#include "xandrel/gui/KeyChord.h"
#include "xandrel/gui/PresetsMenu.h"
#include "xandrel/gui/SetupMenu.h"
#include "xandrel/gui/TrafficHistory.h"
#include "xandrel/gui/TrafficLogWindow.h"
#include "xandrel/res/Artwork.h"

namespace {

using xandrel::gui::DeviceExchanges;
using xandrel::gui::FromBytes;

QIcon WindowIcon()
{
    const QString path =
        QString::fromStdString(xandrel::DataFilePath(xandrel::DataFile::Icon, xandrel::gui::DataFolder()));
    const QIcon fromFile(path);
    if (!fromFile.isNull() && !fromFile.availableSizes().isEmpty())
        return fromFile;
    return xandrel::art::LibraryIcon();
}

}  // namespace

CMatrix0001Frame::CMatrix0001Frame(GUIDEVICEMATRIXBASE* gui, const INFOGUIPDATA& data, QWidget* parent)
    : QMainWindow(parent)
    , m_GUI(gui)
    , m_wndToolBar(this)
    , m_GUIData(data)
    , m_Traffic(new xandrel::gui::TrafficHistory(this))
{
    setWindowTitle(data.m_Title);
    setObjectName(QStringLiteral("CMatrix0001Frame"));
    m_View = new CMatrix0001View(this);  // fills the name tables
    setCentralWidget(m_View);
    addToolBar(Qt::TopToolBarArea, &m_wndToolBar);
    setStatusBar(&m_wndStatusBar);
    m_wndToolBar.setWindowTitle(QStringLiteral("ToolBar"));
    connect(&m_wndToolBar, &CMatrixVideoBar::commandTriggered, this, &CMatrix0001Frame::OnCommand);
    connect(&m_wndToolBar, &CMatrixVideoBar::dropDownRequested, this, &CMatrix0001Frame::FillDropDownMenu);
    setWindowIcon(WindowIcon());
    xandrel::gui::FollowConfigChordKeys();
    m_Presets = new xandrel::gui::PresetsMenu(*this);
    m_Setup = new xandrel::gui::SetupMenu(*this, *menuBar());
    addKeys();
    m_PollTimer.setSingleShot(true);
    connect(&m_PollTimer, &QTimer::timeout, this, &CMatrix0001Frame::OnPollTimer);
    m_PollTimer.start(kPollIntervalMs);
    loadTitles();
    setWindowTitle(FromBytes(m_TitleText[0]));
    RefreshAll();
    followExchanges();
}

CMatrix0001Frame::~CMatrix0001Frame()
{
    // The bars are members: take them out of the window before it goes.
    removeToolBar(&m_wndToolBar);
    m_wndToolBar.setParent(nullptr);
    m_wndStatusBar.setParent(nullptr);
}

// Ctrl+1 to Ctrl+9 recall the first nine presets; 1 to 8 select an input,
// Shift+1 to Shift+8 select or leave an output, Enter sends the selected
// input to the selected outputs (as clicking the input does).
void CMatrix0001Frame::addKeys()
{
    const auto add = [this](QKeySequence key, auto slot) {
        connect(new QShortcut(key, this), &QShortcut::activated, this, slot);
    };
    for (int k = 0; k < 9; ++k) {
        const auto digit = static_cast<Qt::Key>(Qt::Key_1 + k);
        add(QKeySequence(Qt::CTRL | digit), [this, k] { m_Presets->recall(k); });
        if (k == 8)
            break;
        add(QKeySequence(digit), [this, k] { m_View->SelectInputByKey(k); });
        add(QKeySequence(Qt::SHIFT | digit), [this, k] { m_View->ToggleOutputByKey(k); });
    }
    add(QKeySequence(Qt::Key_Return), [this] { m_View->RouteSelection(); });
    add(QKeySequence(Qt::Key_Enter), [this] { m_View->RouteSelection(); });
}

void CMatrix0001Frame::loadTitles()
{
    xandrel::StringTable table = xandrel::DefaultStringTable();
    xandrel::ReadStringTableFile(xandrel::StringTableReader::MatrixFrame, table, xandrel::gui::DataFolder());
    std::copy(table.titles.begin(), table.titles.end(), m_TitleText.begin());
}

QSize CMatrix0001Frame::NaturalSize() const
{
    const QSize panel = m_View->NaturalSize();
    const QSize bar = m_wndToolBar.FullSize();
    const int chrome = menuBar()->sizeHint().height() + bar.height() + m_wndStatusBar.sizeHint().height();
    return QSize(std::max(panel.width(), bar.width()) + 4, panel.height() + chrome + 4);
}

DeviceExchanges* CMatrix0001Frame::exchanges() const
{
    INFODEVICEMATRIXBASE* m = model();
    return m ? &DeviceExchanges::Of(*m) : nullptr;
}

void CMatrix0001Frame::followExchanges()
{
    DeviceExchanges* runner = exchanges();
    if (!runner)
        return;
    connect(runner, &DeviceExchanges::busyChanged, this, &CMatrix0001Frame::showBusy);
    connect(runner, &DeviceExchanges::exchangeFinished, this, &CMatrix0001Frame::afterExchange);
    connect(runner, &DeviceExchanges::progressChanged, &m_wndStatusBar, &CMatrixStatusBar::ShowProgress);
    showBusy(runner->busy());
}

// While a command's exchange is under way, what would start another one is
// disabled, and the status bar says what runs.
void CMatrix0001Frame::showBusy(bool busy)
{
    m_wndToolBar.SetExchangeCommandsEnabled(!busy);
    m_View->SetRoutingEnabled(!busy);
    if (busy)
        m_wndStatusBar.ShowBusy(exchanges()->busyText());
    else if (!m_ClosePending)
        m_wndStatusBar.ClearBusy();
}

void CMatrix0001Frame::afterExchange()
{
    if (m_RefreshPending && !exchanges()->exchanging())
        RefreshAll();
}

void CMatrix0001Frame::RefreshAll()
{
    if (DeviceExchanges* runner = exchanges(); runner && runner->exchanging()) {
        // The model is the worker's now: it is read when the exchange has ended.
        m_RefreshPending = true;
        if (m_View)
            m_View->RefreshSelection();
        return;
    }
    m_RefreshPending = false;
    m_wndStatusBar.UpdateStatusText(model());
    m_wndToolBar.UpdatePortButtons(model());
    if (m_View)
        m_View->RefreshFromModel();
}

void CMatrix0001Frame::OnCommand(int id)
{
    switch (id) {
    case ID_MATRIX_SETTING:
        if (xandrel::gui::ConfigChordHeld())
            return openConfigDialog();
        openSettingDialog();
        break;
    case ID_MATRIX_SCAN: openScanDialog(); break;
    case ID_MATRIX_LINKAGE: readDeviceState(); return;
    case ID_MATRIX_OPEN:
    case ID_MATRIX_CLOSE: return openOrClosePort(id == ID_MATRIX_OPEN);
    case ID_MATRIX_MAPPING: selectOutputsFedBySelectedInput(); break;
    case ID_MATRIX_FASTSELECT: return routeOneToOne(true);
    case ID_MATRIX_EDIDINFO: return showManufacturerReport();
    case ID_MATRIX_PRESETS:  // the button's face opens its menu, as its arrow does
        if (QToolButton* button = m_wndToolBar.Button(ID_MATRIX_PRESETS))
            QTimer::singleShot(0, button, &QToolButton::showMenu);
        return;
    case ID_SELECT_ALL_OUTPUT:
    case ID_UNSELECT_ALL_OUTPUT:
        for (int o = 0; model() && o < model()->m_OutputNumber; ++o)
            m_View->SetOutputSelected(o, id == ID_SELECT_ALL_OUTPUT);
        break;
    case ID_INPUT_NUM_OUTPUT_NUM: return routeOneToOne(false);
    default:
        if (id >= ID_SELECT_INPUT_OUTPUT && id < ID_SELECT_INPUT_OUTPUT + 8) {
            m_View->SetSelectedInput(static_cast<BYTE>(id - ID_SELECT_INPUT_OUTPUT + 1));
            selectOutputsFedBySelectedInput();
            return;
        }
        if (id >= ID_INPUT_ALL_OUTPUT && id < ID_INPUT_ALL_OUTPUT + 8)
            return routeAllTo(id - ID_INPUT_ALL_OUTPUT + 1);
        return;
    }
    RefreshAll();
}

// The record of a dialog the frame runs modally, with the caption of its title entry.
INFOGUIPDATA CMatrix0001Frame::modalRecord(int titleEntry)
{
    INFOGUIPDATA record;
    record.m_Title = FromBytes(m_TitleText[titleEntry]);
    record.m_HostWnd = this;
    record.m_Modal = 1;
    return record;
}

void CMatrix0001Frame::openSettingDialog()
{
    const INFOGUIPDATA record = modalRecord(1);
    m_GUI->DEVMA_GUISetting(1, &record);
}

void CMatrix0001Frame::openScanDialog()
{
    const INFOGUIPDATA record = modalRecord(2);
    m_GUI->DEVMA_GUISerialPortScan(1, &record);
}

void CMatrix0001Frame::openConfigDialog()
{
    xandrel::gui::OpenGuiConfigDialog(this, model());
}

// Opening and closing report nothing themselves: the Open/Close pair and the
// status bar show the outcome.
void CMatrix0001Frame::openOrClosePort(bool open)
{
    DeviceExchanges* runner = exchanges();
    if (!runner || !model()->m_PortDriver)
        return;
    QPointer<CMatrix0001Frame> self(this);
    runner->start(
        open ? tr("Opening the port...") : tr("Closing the port..."),
        [open](xandrel::DeviceWorker& worker) {
            INFODEVICEMATRIXBASE& m = worker.model();
            if (open)
                m.m_PortDriver->RS232_OpenPort(m.m_PortDriver->GetPortNumber(), m.m_BaudRate);
            else
                m.m_PortDriver->RS232_ClosePort();
        },
        [self] {
            if (self)
                self->RefreshAll();
        });
}

void CMatrix0001Frame::readDeviceState()
{
    if (DeviceExchanges* runner = exchanges())
        runner->runCommand(*m_GUI, tr("Reading the routing and input signals..."),
                           [](INFODEVICEMATRIXBASE& m) { m.DEVMA_GetDeviceAllStatus(); });
}

// The output selection becomes the outputs the selected input feeds.
void CMatrix0001Frame::selectOutputsFedBySelectedInput()
{
    for (int o = 0; model() && o < model()->m_OutputNumber; ++o)
        m_View->SetOutputSelected(o, m_View->RouteBuffer()[o] == m_View->SelectedInput());
    RefreshAll();
}

// Output o takes input o. With `wrapAround` every output is set, the outputs
// beyond the last input starting over from input 1; without it only the
// outputs that have an input of their number change.
void CMatrix0001Frame::routeOneToOne(bool wrapAround)
{
    if (!model())
        return;
    const int inputs = model()->m_InputNumber;
    const int outputs = model()->m_OutputNumber;
    std::vector<BYTE>& buffer = m_View->RouteBuffer();
    for (int o = 1; o <= outputs; ++o) {
        if (o <= inputs)
            buffer[o - 1] = static_cast<BYTE>(o);
        else if (wrapAround)
            buffer[o - 1] = static_cast<BYTE>((o - 1) % inputs + 1);
    }
    sendRouteBuffer();
}

void CMatrix0001Frame::routeAllTo(int input)
{
    std::vector<BYTE>& buffer = m_View->RouteBuffer();
    std::fill(buffer.begin(), buffer.end(), static_cast<BYTE>(input));
    sendRouteBuffer();
}

void CMatrix0001Frame::sendRouteBuffer()
{
    m_View->SendRouteBuffer();
}

void CMatrix0001Frame::FillDropDownMenu(int id, QMenu& menu)
{
    menu.clear();
    if (!model())
        return;
    auto add = [this, &menu](const QString& text, int command) {
        QAction* action = menu.addAction(text);
        action->setData(command);
        connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    };
    const int inputs = std::min<int>(model()->m_InputNumber, 8);
    if (id == ID_MATRIX_MAPPING) {
        add(QStringLiteral("Select All Output"), ID_SELECT_ALL_OUTPUT);
        add(QStringLiteral("Unselect All Output"), ID_UNSELECT_ALL_OUTPUT);
        menu.addSeparator();
        for (int k = 0; k < inputs; ++k)
            add(QStringLiteral("Select %1 - Output").arg(FromBytes(m_InputName[k])), ID_SELECT_INPUT_OUTPUT + k);
    } else if (id == ID_MATRIX_PRESETS) {
        m_Presets->fill(menu);
    } else if (id == ID_MATRIX_FASTSELECT) {
        add(QStringLiteral("Input Num - Output Num"), ID_INPUT_NUM_OUTPUT_NUM);
        menu.addSeparator();
        for (int k = 0; k < inputs; ++k)
            add(QStringLiteral("%1 - All Output").arg(FromBytes(m_InputName[k])), ID_INPUT_ALL_OUTPUT + k);
    }
}

void CMatrix0001Frame::showManufacturerReport()
{
    if (!model())
        return;
    if (model()->m_InputNumber != 8 && model()->m_OutputNumber != 8) {
        xandrel::gui::ShowMessage(this, QStringLiteral("Function Not Support!"));
        return;
    }
    DlgEDIDInfo::ShowInputIdentities(*m_GUI, nullptr);
}

// The 5 x 5 VGA matrix, the SDI and VGA 5-input switches and the 4 x 2 and
// 2 x 4 VGA matrices send no event messages: they are not polled.
bool CMatrix0001Frame::pollsThisModel() const
{
    const INFODEVICEMATRIXBASE* m = model();
    if (!m)
        return false;
    return !(m->m_InputNumber == 5 || (m->m_InputNumber == 4 && m->m_OutputNumber == 2)
             || (m->m_InputNumber == 2 && m->m_OutputNumber == 4));
}

void CMatrix0001Frame::OnPollTimer()
{
    m_PollTimer.stop();
    if (m_Polling == 0) {
        m_PollTimer.start(kPollIntervalMs);
        return;
    }
    if (!pollsThisModel())
        return;  // never again
    QPointer<CMatrix0001Frame> self(this);
    const bool polling = exchanges()->poll([self](int result) {
        if (!self)
            return;
        if (result == 1) {  // an event message changed the model
            xandrel::gui::BeginWaitCursor();
            self->model()->m_ErrorCode = INFODEVICEMATRIXBASE::kNoError;
            xandrel::gui::EndCommandAfterExchange(*self->m_GUI);
        }
        self->m_PollTimer.start(kPollIntervalMs);
    });
    if (!polling)
        m_PollTimer.start(kPollIntervalMs);  // a command has the line: the next tick polls
}

void CMatrix0001Frame::closeEvent(QCloseEvent* event)
{
    // A frame on the line is never cut: the window closes once the exchange
    // under way has ended (asked to stop at its next frame boundary).
    if (DeviceExchanges* runner = exchanges(); runner && !runner->idle()) {
        event->ignore();
        if (!m_ClosePending) {
            m_ClosePending = true;
            m_wndStatusBar.ShowBusy(tr("Closing..."));
            runner->stop();
            QPointer<CMatrix0001Frame> self(this);
            runner->whenIdle([self] {
                if (!self)
                    return;
                self->m_ClosePending = false;
                self->m_wndStatusBar.ClearBusy();
                self->close();
            });
        }
        return;
    }
    event->accept();
    if (m_GUIData.m_CloseHost == 0)
        return;  // only hidden: a later show request brings it back
    if (QWidget* host = m_GUIData.m_HostWnd.data()) {
        if (auto* dialog = qobject_cast<QDialog*>(host))
            dialog->done(QDialog::Rejected);
        host->close();
    }
}
