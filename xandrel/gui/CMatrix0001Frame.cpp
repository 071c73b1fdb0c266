// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/CMatrix0001Frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QShortcut>
#include <QScreen>
#include <QToolButton>
#include <filesystem>

#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "xandrel/custom/StringTableFile.h"
#include "xandrel/custom/DataFolder.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/device/DeviceWorker.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/edid/DlgEDIDInfo.h"
#include "xandrel/edid/EdidExchange.h"
#include "xandrel/gui/CMatrix0001View.h"
#include "xandrel/gui/CommandBracket.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MessageBoxes.h"
#include "xandrel/gui/TextBytes.h"
#include "xandrel/gui/KeyChord.h"
#include "xandrel/gui/PresetsMenu.h"
#include "xandrel/gui/SetupMenu.h"
#include "xandrel/gui/TrafficHistory.h"
#include "xandrel/gui/TrafficLogWindow.h"
#include "xandrel/res/Artwork.h"

namespace {

using xandrel::gui::DeviceExchanges;
using xandrel::gui::FromBytes;
using LineState = CMatrixStatusBar::LineState;

// A check that found the line busy tries again this soon.
constexpr int kCheckRetryMs = 250;

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
    loadSettings();
    m_View = new CMatrix0001View({m_GUI, m_InputName, m_OutputName, m_wndStatusBar}, this);  // fills the name tables
    setCentralWidget(m_View);
    addToolBar(Qt::TopToolBarArea, &m_wndToolBar);
    setStatusBar(&m_wndStatusBar);
    m_wndToolBar.setWindowTitle(QStringLiteral("ToolBar"));
    connect(&m_wndToolBar, &CMatrixVideoBar::commandTriggered, this, &CMatrix0001Frame::OnCommand);
    connect(&m_wndToolBar, &CMatrixVideoBar::dropDownRequested, this, &CMatrix0001Frame::FillDropDownMenu);
    setWindowIcon(WindowIcon());
    xandrel::gui::FollowConfigChordKeys();
    m_Presets = new xandrel::gui::PresetsMenu(*m_View);
    m_Setup = new xandrel::gui::SetupMenu(*m_View, *menuBar(), *m_Traffic);
    connect(m_Setup, &xandrel::gui::SetupMenu::takeModeChosen, this, &CMatrix0001Frame::SetTakeMode);
    connect(m_Setup, &xandrel::gui::SetupMenu::checkDeviceChosen, this, &CMatrix0001Frame::SetCheckDevice);
    addKeys();
    m_PollTimer.setSingleShot(true);
    connect(&m_PollTimer, &QTimer::timeout, this, &CMatrix0001Frame::OnPollTimer);
    m_PollTimer.start(kPollIntervalMs);
    m_CheckTimer.setSingleShot(true);
    connect(&m_CheckTimer, &QTimer::timeout, this, &CMatrix0001Frame::OnCheckTimer);
    connect(m_View, &CMatrix0001View::pendingChanged, this, &CMatrix0001Frame::showTakeState);
    m_View->SetTakeMode(m_Settings.takeMode);  // shows the take state, the View menu's choices with it
    loadTitles();
    setWindowTitle(FromBytes(m_TitleText[0]));
    RefreshAll();
    followExchanges();
    startChecking(0);
}

CMatrix0001Frame::~CMatrix0001Frame()
{
    // The bars are members: take them out of the window before it goes.
    removeToolBar(&m_wndToolBar);
    m_wndToolBar.setParent(nullptr);
    m_wndStatusBar.setParent(nullptr);
}

// Ctrl+1 to Ctrl+9 recall the first nine presets; 1 to 8 select an input,
// Shift+1 to Shift+8 select or leave an output, Alt+1 to Alt+8 lock or
// unlock an output, Enter sends the selected input to the selected outputs
// (as clicking the input does). In take mode Space takes and Esc clears.
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
        add(QKeySequence(Qt::ALT | digit), [this, k] { m_View->ToggleLock(k); });
    }
    add(QKeySequence(Qt::Key_Return), [this] { m_View->RouteSelection(); });
    add(QKeySequence(Qt::Key_Enter), [this] { m_View->RouteSelection(); });
    add(QKeySequence(Qt::Key_Space), [this] { m_View->Take(); });
    add(QKeySequence(Qt::Key_Escape), [this] { m_View->ClearPending(); });
}

void CMatrix0001Frame::loadSettings()
{
    std::string error;
    m_SettingsUsable =
        xandrel::WindowSettings::Load(xandrel::WindowSettingsPath(xandrel::gui::DataFolder()), m_Settings, error);
    if (!m_SettingsUsable)
        m_wndStatusBar.ShowNotice(FromBytes(error)
                                  + tr("; the window's choices are not remembered until it is mended or removed."));
    m_CheckDevice = m_Settings.checkDevice;
}

// window.json follows what the window drives and its View choices; it is
// written only when something changed.
void CMatrix0001Frame::rememberSettings()
{
    INFODEVICEMATRIXBASE* m = model();
    std::error_code ignored;
    if (!m_SettingsUsable || !m || !std::filesystem::is_directory(xandrel::gui::DataFolder(), ignored))
        return;  // a host without a data folder keeps nothing
    xandrel::WindowSettings now = m_Settings;
    if (const xandrel::ModelSpec* spec = xandrel::SpecOf(*m))
        now.model = spec->className;
    if (m->m_PortDriver && m->m_PortDriver->RS232_IsOpen())
        now.port = m->m_PortDriver->RS232_PortAddress();
    now.id = m->m_DeviceID;
    now.takeMode = TakeMode();
    now.checkDevice = m_CheckDevice;
    if (now == m_Settings)
        return;
    std::string error;
    if (!now.Save(xandrel::WindowSettingsPath(xandrel::gui::DataFolder()), error)) {
        m_SettingsUsable = false;  // told once
        m_wndStatusBar.ShowNotice(FromBytes(error));
        return;
    }
    m_Settings = now;
}

bool CMatrix0001Frame::TakeMode() const
{
    return m_View && m_View->TakeMode();
}

void CMatrix0001Frame::SetTakeMode(bool on)
{
    m_View->SetTakeMode(on);
    showTakeState();
    rememberSettings();
}

void CMatrix0001Frame::showTakeState()
{
    const int prepared = static_cast<int>(m_View->Pending().size());
    const bool wasShown = m_wndToolBar.Action(ID_MATRIX_TAKE)->isVisible();
    m_wndToolBar.SetTakeShown(TakeMode(), prepared > 0);
    m_wndStatusBar.ShowTakeMode(TakeMode(), prepared);
    m_Setup->ShowChoices(TakeMode(), m_CheckDevice);
    // Take must not end up behind the toolbar's overflow arrow.
    if (TakeMode() && !wasShown && width() < NaturalSize().width()) {
        const QScreen* screen = this->screen();
        const int room = screen ? screen->availableGeometry().right() - x() : NaturalSize().width();
        resize(std::min(NaturalSize().width(), std::max(room, width())), height());
    }
}

void CMatrix0001Frame::SetCheckDevice(bool on)
{
    m_CheckDevice = on;
    m_Setup->ShowChoices(TakeMode(), m_CheckDevice);
    rememberSettings();
    if (on)
        startChecking(0);
    else
        m_CheckTimer.stop();
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
    connect(runner, &DeviceExchanges::pollPausedChanged, this, &CMatrix0001Frame::followPollPause);
    showBusy(runner->busy());
}

// While a dialog's long exchange pauses the device's poll, m_Polling is 0;
// afterwards it is what it was.
void CMatrix0001Frame::followPollPause(bool paused)
{
    if (paused) {
        m_PollingBeforePause = m_Polling;
        m_Polling = 0;
    } else {
        m_Polling = m_PollingBeforePause;
    }
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
    showLineState();
    if (m_View)
        m_View->RefreshFromModel();
    rememberSettings();
}

void CMatrix0001Frame::showLineState()
{
    const INFODEVICEMATRIXBASE* m = model();
    const bool open = m && m->m_PortDriver && m->m_PortDriver->RS232_IsOpen();
    m_wndStatusBar.ShowLine(open ? m_LineState : LineState::PortClosed);
}

void CMatrix0001Frame::noteAnswer(bool answered)
{
    m_LineState = answered ? LineState::Answering : LineState::Silent;
    showLineState();
}

void CMatrix0001Frame::NoteCommandOutcome(uint8_t errorCode)
{
    if (errorCode == INFODEVICEMATRIXBASE::kNoError || errorCode == INFODEVICEMATRIXBASE::kNoValidAnswer)
        noteAnswer(errorCode == INFODEVICEMATRIXBASE::kNoError);
    startChecking(kCheckIntervalMs);  // the next check when the line has been idle that long
}

void CMatrix0001Frame::commandEnded(INFODEVICEMATRIXBASE* commandModel, uint8_t errorCode)
{
    if (commandModel == model())
        NoteCommandOutcome(errorCode);  // the line's lamp
    RefreshAll();
}

void CMatrix0001Frame::namesChanged()
{
    if (m_View)
        m_View->ReloadNames();
}

QWidget* CMatrix0001Frame::reportParent()
{
    return isVisible() ? this : nullptr;
}

void CMatrix0001Frame::startChecking(int afterMs)
{
    if (m_CheckDevice)
        m_CheckTimer.start(afterMs);
}

// While idle with the port open, the device is asked for its ID. A device
// that answers again after it had not (or whose routing the window does not
// have) is read once.
void CMatrix0001Frame::OnCheckTimer()
{
    m_CheckTimer.stop();
    INFODEVICEMATRIXBASE* m = model();
    DeviceExchanges* runner = exchanges();
    if (!m_CheckDevice || !runner || !m->m_PortDriver || !m->m_PortDriver->RS232_IsOpen())
        return;  // opening the port or turning the check on starts it again
    if (m_Polling == 0 || !runner->idle()) {
        m_CheckTimer.start(kCheckRetryMs);
        return;
    }
    QPointer<CMatrix0001Frame> self(this);
    const bool checking = runner->check([self](DeviceExchanges::CheckResult result) {
        if (!self)
            return;
        if (result != DeviceExchanges::CheckResult::GaveWay) {
            const bool answered = result == DeviceExchanges::CheckResult::Answered;
            const bool back =
                answered && (self->m_LineState != LineState::Answering || !self->exchanges()->routingKnown());
            self->noteAnswer(answered);
            if (back)
                self->ReadDeviceOnce();
        }
        self->startChecking(kCheckIntervalMs);
    });
    if (!checking)
        m_CheckTimer.start(kCheckRetryMs);
}

void CMatrix0001Frame::ReadDeviceOnce()
{
    DeviceExchanges* runner = exchanges();
    if (!runner)
        return;
    auto answered = std::make_shared<bool>(false);
    QPointer<CMatrix0001Frame> self(this);
    runner->start(
        tr("Reading the device..."),
        [runner, answered](xandrel::DeviceWorker& worker) {
            INFODEVICEMATRIXBASE& m = worker.model();
            m.m_ErrorCode = INFODEVICEMATRIXBASE::kNoError;
            int read = m.DEVMA_GetDeviceAllStatus();
            if (!read && m.m_ErrorCode == INFODEVICEMATRIXBASE::kNoError)
                read = m.DEVMA_GetVideoOutputChannel();  // a switch's whole state is its routing
            if (read)
                runner->setRoutingKnown(true);
            *answered = m.m_ErrorCode == INFODEVICEMATRIXBASE::kNoError;
            m.m_ErrorCode = INFODEVICEMATRIXBASE::kNoError;
        },
        [self, answered] {
            if (!self)
                return;
            self->noteAnswer(*answered);
            self->RefreshAll();
        });
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
    case ID_MATRIX_TAKE: return m_View->Take();
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
        [open, runner](xandrel::DeviceWorker& worker) {
            INFODEVICEMATRIXBASE& m = worker.model();
            if (open) {
                m.m_PortDriver->RS232_OpenPort(m.m_PortDriver->GetPortNumber(), m.m_BaudRate);
                runner->setRoutingKnown(false);  // whatever is there now is not known yet
            } else {
                m.m_PortDriver->RS232_ClosePort();
            }
        },
        [self, open] {
            if (!self)
                return;
            self->m_LineState = LineState::NotChecked;
            self->RefreshAll();
            if (open)
                self->startChecking(0);
        });
}

void CMatrix0001Frame::OpenPortAndRead(int number)
{
    DeviceExchanges* runner = exchanges();
    if (!runner || !model()->m_PortDriver)
        return;
    auto failure = std::make_shared<std::string>();
    QPointer<CMatrix0001Frame> self(this);
    runner->start(
        tr("Opening the port..."),
        [number, runner, failure](xandrel::DeviceWorker& worker) {
            INFODEVICEMATRIXBASE& m = worker.model();
            INFOPORTDRIVER& port = *m.m_PortDriver;
            const int32_t showError = port.m_ShowError;
            port.m_ShowError = 0;  // told in the status bar instead
            if (port.RS232_OpenPort(number, m.m_BaudRate) != 1)
                *failure = port.RS232_LastErrorText();
            port.m_ShowError = showError;
            runner->setRoutingKnown(false);
        },
        [self, number, failure] {
            if (!self)
                return;
            self->m_LineState = LineState::NotChecked;
            self->RefreshAll();
            if (!failure->empty())
                return self->m_wndStatusBar.ShowNotice(
                    tr("The port %1 could not be opened: %2")
                        .arg(QString::fromStdString(tavrik::PortLabel(number)), FromBytes(*failure)));
            self->ReadDeviceOnce();
        });
}

void CMatrix0001Frame::readDeviceState()
{
    if (DeviceExchanges* runner = exchanges())
        runner->runCommand(tr("Reading the routing and input signals..."), [runner](INFODEVICEMATRIXBASE& m) {
            if (m.DEVMA_GetDeviceAllStatus() == 1)
                runner->setRoutingKnown(true);
        });
}

// The output selection becomes the outputs the selected input feeds.
void CMatrix0001Frame::selectOutputsFedBySelectedInput()
{
    for (int o = 0; model() && o < model()->m_OutputNumber; ++o)
        m_View->SetOutputSelected(o, m_View->CurrentInput(o) == m_View->SelectedInput());
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
    CMatrix0001View::RoutingChanges changes;
    for (int o = 1; o <= outputs; ++o) {
        if (o <= inputs)
            changes[o - 1] = static_cast<BYTE>(o);
        else if (wrapAround)
            changes[o - 1] = static_cast<BYTE>((o - 1) % inputs + 1);
    }
    m_View->Route(changes);
}

void CMatrix0001Frame::routeAllTo(int input)
{
    m_View->Route(CMatrix0001View::WholeTable(std::vector<int>(m_View->OutputCount(), input)));
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
    const xandrel::ModelSpec* spec = xandrel::SpecOrEquivalent(*model());
    if (!spec || !spec->hasEdid()) {
        xandrel::gui::ShowMessage(this, QStringLiteral("Function Not Support!"));
        return;
    }
    DlgEDIDInfo::ShowInputIdentities(*model(), nullptr);
}

// A model whose device sends no event messages (the catalog says which) is
// not polled.
bool CMatrix0001Frame::pollsThisModel() const
{
    const INFODEVICEMATRIXBASE* m = model();
    const xandrel::ModelSpec* spec = m ? xandrel::SpecOrEquivalent(*m) : nullptr;
    return spec && spec->sendsEvents();
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
            xandrel::gui::EndCommandAfterExchange(self->model());
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
