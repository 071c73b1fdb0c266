// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/CMatrix0001View.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>

#include "xandrel/custom/StringTableFile.h"
#include "xandrel/device/DeviceWorker.h"
#include "xandrel/device/RoutingCheck.h"
#include "xandrel/gui/CMappingStatic.h"
#include "xandrel/gui/CMatrixStatusBar.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/ElidedNames.h"
#include "xandrel/gui/GUIDEVICEMATRIXBASE.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MessageBoxes.h"
#include "xandrel/gui/TextBytes.h"
#include "xandrel/res/Artwork.h"

namespace {

constexpr int kLampLeft = 18;

// Sends a whole routing table and, when it changed anything, reads the
// routing back: "" when the device follows, else the outputs that did not.
// The read-back's own failure is told in the words, not as the write's.
std::string SendAndConfirm(INFODEVICEMATRIXBASE& model, const std::vector<BYTE>& routing)
{
    const BYTE* state = model.m_VideoOutputChannel.get();
    const bool changes = !std::equal(routing.begin(), routing.end(), state);
    if (model.DEVMA_SetVideoOutputChannel(routing.data()) != 1 || !changes)
        return {};
    const std::string problem = xandrel::ConfirmRouting(model, std::vector<int>(routing.begin(), routing.end()));
    model.m_ErrorCode = INFODEVICEMATRIXBASE::kNoError;
    return problem;
}
constexpr int kInputButtonLeft = 56;
constexpr int kMappingLeft = 162;
constexpr int kButtonWidth = 100;
constexpr int kOutputButtonGap = 168;  // from the mapping's left edge to the output buttons
constexpr int kOutputListGap = 274;
constexpr int kListWidth = 120;
constexpr int kLockRoom = 20;  // what the lock beside a locked output's name takes from it

// A pressed input or output button must be seen at a glance, and so must a
// prepared routing (take mode).
const char* const kPanelStyle =
    "QPushButton:checked { background-color: #c4dcf4; border: 1px solid #3b78b5; border-radius: 3px; "
    "font-weight: bold; }"
    "QPushButton[pending=\"true\"] { border: 2px dashed #d46f00; border-radius: 3px; }"
    "QComboBox[pending=\"true\"] { border: 2px solid #d46f00; border-radius: 3px; padding: 1px 4px; "
    "background: #fff1dc; font-weight: bold; }";

// Marks a control as showing a prepared routing (its outline, by the style).
void ShowPending(QWidget& control, bool pending)
{
    if (control.property("pending").toBool() == pending)
        return;
    control.setProperty("pending", pending);
    control.style()->unpolish(&control);
    control.style()->polish(&control);
}

// "output 3" or "outputs 3, 5" of 0-based outputs.
QString OutputNumbers(const std::vector<int>& outputs)
{
    QStringList numbers;
    for (int output : outputs)
        numbers << QString::number(output + 1);
    return (outputs.size() == 1 ? QStringLiteral("Output %1") : QStringLiteral("Outputs %1"))
        .arg(numbers.join(QStringLiteral(", ")));
}

// What the wiring diagram draws of each output.
std::vector<CMappingStatic::OutputLine> MappingLines(const CMatrix0001View& view)
{
    std::vector<CMappingStatic::OutputLine> lines;
    for (int k = 0; k < view.OutputCount(); ++k)
        lines.push_back({view.CurrentInput(k), view.IsOutputSelected(k), view.PendingInput(k)});
    return lines;
}

}  // namespace

CMatrix0001View::CMatrix0001View(const FrameParts& frame, QWidget* parent)
    : QScrollArea(parent)
    , m_Frame(frame)
    , m_Panel(new QWidget)
{
    setObjectName(QStringLiteral("CMatrix0001View"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setWidget(m_Panel);
    m_Panel->setObjectName(QStringLiteral("routingPanel"));
    m_Panel->setStyleSheet(QString::fromLatin1(kPanelStyle));
    loadNames();
    loadLocks();
    const int rows = model() ? std::max(model()->m_InputNumber, model()->m_OutputNumber) : 0;
    m_ViewHeight = kRowPitch * rows + 36;
    m_MappingHeight = kRowPitch * rows - 12;
    createControls();
    for (QPushButton* button : m_OutputButtons)
        button->setChecked(true);  // at start every output is selected
    m_SelectedInput = 1;
    m_Panel->resize(kBaseWidth, m_ViewHeight);
    RefreshFromModel();
}

CMatrix0001View::RoutingChanges CMatrix0001View::WholeTable(const std::vector<int>& routing)
{
    RoutingChanges changes;
    for (size_t output = 0; output < routing.size(); ++output)
        changes[static_cast<int>(output)] = static_cast<BYTE>(routing[output]);
    return changes;
}

INFODEVICEMATRIXBASE* CMatrix0001View::model() const
{
    return m_Frame.gui ? m_Frame.gui->m_Device : nullptr;
}

xandrel::gui::DeviceExchanges* CMatrix0001View::exchanges() const
{
    INFODEVICEMATRIXBASE* m = model();
    return m ? &xandrel::gui::DeviceExchanges::Of(*m) : nullptr;
}

void CMatrix0001View::loadNames()
{
    xandrel::StringTable table = xandrel::DefaultStringTable();
    xandrel::ReadStringTableFile(xandrel::StringTableReader::MatrixView, table, xandrel::gui::DataFolder());
    std::copy(table.inputs.begin(), table.inputs.end(), m_Frame.inputNames.begin());
    std::copy(table.outputs.begin(), table.outputs.end(), m_Frame.outputNames.begin());
}

namespace {

QString NameOf(const std::array<std::string, 8>& table, int k)
{
    return k < 8 ? xandrel::gui::FromBytes(table[k]) : QString();
}

}  // namespace

void CMatrix0001View::createControls()
{
    const int inputs = model() ? model()->m_InputNumber : 0;
    const int outputs = model() ? model()->m_OutputNumber : 0;
    for (int k = 0; k < inputs; ++k) {
        auto* lamp = new QLabel(m_Panel);
        lamp->setGeometry(kLampLeft, RowTop(k), 32, kRowHeight);
        lamp->setAlignment(Qt::AlignCenter);
        lamp->setProperty("controlId", kLampId + k);
        m_Lamps.push_back(lamp);
    }
    for (int k = 0; k < inputs; ++k) {
        auto* button = new QPushButton(m_Panel);
        button->setCheckable(true);
        button->setGeometry(kInputButtonLeft, RowTop(k), kButtonWidth, kRowHeight);
        button->setProperty("controlId", kInputButtonId + k);
        connect(button, &QPushButton::clicked, this, [this, k] { onInputButton(k); });
        m_InputButtons.push_back(button);
    }
    m_Mapping = new CMappingStatic([this] { return MappingLines(*this); }, m_Panel);
    m_Mapping->setProperty("controlId", kMappingId + inputs);
    for (int k = 0; k < outputs; ++k) {
        auto* button = new QPushButton(m_Panel);
        button->setCheckable(true);
        button->setProperty("controlId", kOutputButtonId + k);
        connect(button, &QPushButton::clicked, this, [this, k](bool pressed) { onOutputButton(k, pressed); });
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QPushButton::customContextMenuRequested, this,
                [this, k, button](const QPoint& at) { outputMenu(k, button->mapToGlobal(at)); });
        m_OutputButtons.push_back(button);
    }
    for (int k = 0; k < outputs; ++k) {
        auto* list = new xandrel::gui::ElidingComboBox(m_Panel);
        list->setMaxVisibleItems(8);
        list->setPlaceholderText(tr("unknown"));
        list->setProperty("controlId", kOutputListId + k);
        connect(list, qOverload<int>(&QComboBox::activated), this, [this, k](int index) { onOutputList(k, index); });
        m_OutputLists.push_back(list);
    }
    showNames();
    m_RouteBuffer.assign(outputs, 1);
    placeOutputColumn();
}

// The names of the frame on the buttons and in the lists.
void CMatrix0001View::showNames()
{
    for (size_t k = 0; k < m_InputButtons.size(); ++k)
        xandrel::gui::ShowElidedName(*m_InputButtons[k], NameOf(m_Frame.inputNames, static_cast<int>(k)), kButtonWidth);
    showOutputNames();
    QStringList names;
    for (size_t i = 0; i < m_InputButtons.size(); ++i)
        names << NameOf(m_Frame.inputNames, static_cast<int>(i));
    for (QComboBox* box : m_OutputLists) {
        auto* list = static_cast<xandrel::gui::ElidingComboBox*>(box);
        const int current = list->currentIndex();
        list->clear();
        list->addNames(names);
        list->setCurrentIndex(current);
    }
}

// The output buttons' names, with a lock beside a locked output's.
void CMatrix0001View::showOutputNames()
{
    for (size_t k = 0; k < m_OutputButtons.size(); ++k) {
        QPushButton& button = *m_OutputButtons[k];
        const bool locked = IsLocked(static_cast<int>(k));
        button.setIcon(locked ? xandrel::art::LockIcon() : QIcon());
        xandrel::gui::ShowElidedName(button, NameOf(m_Frame.outputNames, static_cast<int>(k)),
                                     locked ? kButtonWidth - kLockRoom : kButtonWidth);
        if (locked)
            button.setToolTip(tr("%1 is locked: it keeps its input. Alt+%2 or its menu unlocks it.")
                                  .arg(NameOf(m_Frame.outputNames, static_cast<int>(k)))
                                  .arg(k + 1));
    }
}

void CMatrix0001View::ReloadNames()
{
    loadNames();
    showNames();
}

// The mapping display and the output column at the current mapping width.
void CMatrix0001View::placeOutputColumn()
{
    m_Mapping->setGeometry(kMappingLeft, kRowTop, m_MappingWidth, std::max(m_MappingHeight, 0));
    for (size_t k = 0; k < m_OutputButtons.size(); ++k) {
        const int top = RowTop(static_cast<int>(k));
        m_OutputButtons[k]->setGeometry(m_MappingWidth + kOutputButtonGap, top, kButtonWidth, kRowHeight);
        // The list keeps the height the platform gives it, centred on its row.
        const int height = std::min(m_OutputLists[k]->sizeHint().height(), kRowHeight);
        m_OutputLists[k]->setGeometry(m_MappingWidth + kOutputListGap, top + (kRowHeight - height) / 2, kListWidth,
                                      height);
    }
}

QSize CMatrix0001View::NaturalSize() const
{
    return QSize(kBaseWidth, m_ViewHeight);
}

int CMatrix0001View::OutputCount() const
{
    return static_cast<int>(m_OutputLists.size());
}

int CMatrix0001View::ListSelection(int output) const
{
    return m_OutputLists.at(output)->currentIndex();
}

bool CMatrix0001View::RoutingKnown() const
{
    const xandrel::gui::DeviceExchanges* runner = exchanges();
    return runner && runner->routingKnown();
}

int CMatrix0001View::CurrentInput(int output) const
{
    const INFODEVICEMATRIXBASE* m = model();
    if (!m || !RoutingKnown())
        return 0;
    // A routing the panel cannot show (0, "none", or beyond the inputs)
    // shows as input 1.
    const BYTE routing = m_RouteBuffer.at(output);
    return routing >= 1 && routing <= m->m_InputNumber ? routing : 1;
}

int CMatrix0001View::PendingInput(int output) const
{
    const auto found = m_Pending.find(output);
    return found == m_Pending.end() ? 0 : found->second;
}

bool CMatrix0001View::IsOutputSelected(int output) const
{
    return m_OutputButtons.at(output)->isChecked();
}

void CMatrix0001View::SetOutputSelected(int output, bool selected)
{
    m_OutputButtons.at(output)->setChecked(selected);
}

void CMatrix0001View::RefreshFromModel()
{
    INFODEVICEMATRIXBASE* m = model();
    if (!m)
        return;
    for (size_t k = 0; k < m_Lamps.size(); ++k) {
        m_Lamps[k]->setPixmap(xandrel::art::SignalLamp(m->m_VideoInputSignal[k] == 1));
        m_Lamps[k]->setToolTip(m->m_VideoInputSignal[k] == 1 ? tr("Signal") : tr("No signal"));
    }
    // The route buffer keeps what the device said, even where the panel
    // cannot show it, so nothing is sent for such an output unless the person
    // routes it.
    std::copy(m->m_VideoOutputChannel.get(), m->m_VideoOutputChannel.get() + m_RouteBuffer.size(),
              m_RouteBuffer.begin());
    showRouting();
    RefreshSelection();
}

// Each list shows the input prepared for its output, else the input it is
// on, else "unknown".
void CMatrix0001View::showRouting()
{
    for (size_t k = 0; k < m_OutputLists.size(); ++k) {
        const int output = static_cast<int>(k);
        const int pending = PendingInput(output);
        auto& list = static_cast<xandrel::gui::ElidingComboBox&>(*m_OutputLists[k]);
        list.setCurrentIndex((pending ? pending : CurrentInput(output)) - 1);
        ShowPending(list, pending != 0);
        ShowPending(*m_OutputButtons[k], pending != 0);
        if (pending)
            list.setToolTip(tr("Prepared: %1. Space takes, Esc clears.").arg(list.currentText()));
        else
            list.showNameTip();
    }
    m_Panel->update();
    m_Mapping->update();
}

void CMatrix0001View::RefreshSelection()
{
    for (size_t k = 0; k < m_InputButtons.size(); ++k)
        m_InputButtons[k]->setChecked(m_SelectedInput == k + 1);
    m_Panel->update();
    m_Mapping->update();
}

void CMatrix0001View::SetRoutingEnabled(bool enabled)
{
    for (QPushButton* button : m_InputButtons)
        button->setEnabled(enabled);
    for (QPushButton* button : m_OutputButtons)
        button->setEnabled(enabled);
    for (QComboBox* list : m_OutputLists)
        list->setEnabled(enabled);
}

// The outputs of `changes` that are locked are taken out; what to tell of
// them ("" when none was).
QString CMatrix0001View::dropLocked(RoutingChanges& changes) const
{
    std::vector<int> locked;
    for (auto change = changes.begin(); change != changes.end();) {
        if (IsLocked(change->first)) {
            locked.push_back(change->first);
            change = changes.erase(change);
        } else {
            ++change;
        }
    }
    if (locked.empty())
        return {};
    return tr("%1 %2 locked and %3 its input.")
        .arg(OutputNumbers(locked), locked.size() == 1 ? tr("is") : tr("are"),
             locked.size() == 1 ? tr("keeps") : tr("keep"));
}

void CMatrix0001View::ShowNotice(const QString& text)
{
    m_Frame.statusBar.ShowNotice(text);
}

void CMatrix0001View::Route(RoutingChanges changes, bool prepareInTakeMode)
{
    const bool asked = !changes.empty();
    const QString note = dropLocked(changes);
    if (asked && changes.empty()) {
        ShowNotice(note);
        return showRouting();
    }
    if (m_TakeMode && prepareInTakeMode) {
        for (const auto& [output, input] : changes)
            m_Pending[output] = input;
        ShowNotice(note);
        showRouting();
        Q_EMIT pendingChanged(static_cast<int>(m_Pending.size()));
        return;
    }
    SendNow(std::move(changes), note);
}

void CMatrix0001View::SendNow(RoutingChanges changes, const QString& note, std::function<void(bool taken)> after)
{
    xandrel::gui::DeviceExchanges* exchanges = this->exchanges();
    if (!exchanges)
        return;
    auto problem = std::make_shared<std::string>();
    QPointer<CMatrix0001View> self(this);
    exchanges->runCommand(
        tr("Sending the routing..."),
        [changes, problem, exchanges](INFODEVICEMATRIXBASE& m) {
            // Outputs nobody asked to change keep the input the device has.
            if (!exchanges->routingKnown()) {
                if (m.DEVMA_GetVideoOutputChannel() != 1)
                    return;
                exchanges->setRoutingKnown(true);
            }
            std::vector<BYTE> routing(m.m_VideoOutputChannel.get(), m.m_VideoOutputChannel.get() + m.m_OutputNumber);
            for (const auto& [output, input] : changes)
                if (output >= 0 && output < m.m_OutputNumber)
                    routing[static_cast<size_t>(output)] = input;
            *problem = SendAndConfirm(m, routing);
        },
        [self, problem, note, after] {
            const bool taken = self && self->model()->m_ErrorCode == INFODEVICEMATRIXBASE::kNoError;
            if (self)
                self->ShowNotice(problem->empty()
                                     ? note
                                     : tr("The device did not follow: %1.").arg(QString::fromStdString(*problem)));
            if (after)
                after(taken);
        });
}

void CMatrix0001View::SetTakeMode(bool on)
{
    m_TakeMode = on;
    if (on)
        for (QPushButton* button : m_OutputButtons)
            button->setChecked(false);  // a prepared routing goes where it was asked to, no further
    ClearPending();
}

void CMatrix0001View::Take()
{
    if (!m_TakeMode || m_Pending.empty() || lineBusy())
        return;
    RoutingChanges changes = m_Pending;
    const QString note = dropLocked(changes);  // locked since it was prepared
    QPointer<CMatrix0001View> self(this);
    SendNow(changes, note, [self, changes](bool taken) {
        if (!self || !taken)
            return;  // kept, to take again
        // What was prepared meanwhile stays prepared.
        for (const auto& [output, input] : changes)
            if (self->PendingInput(output) == input)
                self->m_Pending.erase(output);
        self->showRouting();
        Q_EMIT self->pendingChanged(static_cast<int>(self->m_Pending.size()));
    });
}

void CMatrix0001View::ClearPending()
{
    m_Pending.clear();
    showRouting();
    Q_EMIT pendingChanged(0);
}

void CMatrix0001View::loadLocks()
{
    std::string error;
    m_LocksUsable = xandrel::OutputLocks::Load(xandrel::LocksFilePath(xandrel::gui::DataFolder()), m_Locks, error);
    if (!m_LocksUsable)
        ShowNotice(xandrel::gui::FromBytes(error) + tr("; no output can be locked until it is mended or removed."));
}

void CMatrix0001View::ToggleLock(int output)
{
    if (output < 0 || output >= OutputCount())
        return;
    if (!m_LocksUsable)
        return loadLocks();  // tells why, or reads the mended file
    xandrel::OutputLocks changed = m_Locks;
    const bool locked = changed.toggle(output + 1);
    std::string error;
    if (!changed.Save(xandrel::LocksFilePath(xandrel::gui::DataFolder()), error)) {
        xandrel::gui::ShowMessage(window(), xandrel::gui::FromBytes(error));
        return;
    }
    m_Locks = changed;
    if (m_Pending.erase(output))
        Q_EMIT pendingChanged(static_cast<int>(m_Pending.size()));
    showOutputNames();
    showRouting();
    ShowNotice(locked ? tr("%1 is locked: nothing changes its input until it is unlocked.").arg(OutputNumbers({output}))
                      : tr("%1 is unlocked.").arg(OutputNumbers({output})));
}

void CMatrix0001View::outputMenu(int output, const QPoint& at)
{
    QMenu menu(this);
    QAction* lock = menu.addAction(tr("Locked"), this, [this, output] { ToggleLock(output); });
    lock->setCheckable(true);
    lock->setChecked(IsLocked(output));
    lock->setShortcut(QKeySequence(Qt::ALT | static_cast<Qt::Key>(Qt::Key_1 + output)));
    lock->setShortcutVisibleInContextMenu(true);
    menu.exec(at);
}

// A click that arrives while another command's exchange is under way starts
// nothing (the controls are disabled then; this catches what slips through).
bool CMatrix0001View::lineBusy() const
{
    const xandrel::gui::DeviceExchanges* runner = exchanges();
    return !runner || runner->busy();
}

void CMatrix0001View::onInputButton(int input)
{
    if (lineBusy() && !m_TakeMode)
        return RefreshSelection();
    m_SelectedInput = static_cast<BYTE>(input + 1);
    RoutingChanges changes;
    for (size_t o = 0; o < m_OutputButtons.size(); ++o)
        if (m_OutputButtons[o]->isChecked())
            changes[static_cast<int>(o)] = m_SelectedInput;
    Route(std::move(changes));
    RefreshSelection();  // the pressed input shows at once; the lists follow the device's answer
}

void CMatrix0001View::SelectInputByKey(int input)
{
    if (input < 0 || input >= static_cast<int>(m_InputButtons.size()))
        return;
    m_SelectedInput = static_cast<BYTE>(input + 1);
    RefreshSelection();
}

void CMatrix0001View::ToggleOutputByKey(int output)
{
    if (output >= 0 && output < static_cast<int>(m_OutputButtons.size()))
        SetOutputSelected(output, !IsOutputSelected(output));
}

void CMatrix0001View::RouteSelection()
{
    onInputButton(m_SelectedInput - 1);
}

void CMatrix0001View::onOutputButton(int output, bool pressed)
{
    if (pressed && (m_TakeMode || !lineBusy()))
        Route({{output, m_SelectedInput}});
    m_Panel->update();
    m_Mapping->update();
}

void CMatrix0001View::onOutputList(int output, int index)
{
    if (lineBusy() && !m_TakeMode)
        return showRouting();
    Route({{output, static_cast<BYTE>(index + 1)}});
}

void CMatrix0001View::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    const int width = viewport()->width();
    m_MappingWidth = width > kBaseWidth ? width - kBaseWidth + kMinMappingWidth : kMinMappingWidth;
    m_Panel->resize(std::max(width, kBaseWidth), m_ViewHeight);
    placeOutputColumn();
}
