#include "xandrel/gui/CMatrix0001View.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>

#include "xandrel/custom/StringTableFile.h"
#include "xandrel/gui/CMappingStatic.h"
#include "xandrel/gui/CMatrix0001Frame.h"
#include "xandrel/device/RoutingCheck.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/ElidedNames.h"
#include "xandrel/gui/GuiServices.h"
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

}  // namespace

CMatrix0001View::CMatrix0001View(CMatrix0001Frame* frame)
    : QScrollArea(frame)
    , m_Frame(frame)
    , m_Panel(new QWidget)
{
    setObjectName(QStringLiteral("CMatrix0001View"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setWidget(m_Panel);
    m_Panel->setObjectName(QStringLiteral("routingPanel"));
    // A pressed input or output button must be seen at a glance.
    m_Panel->setStyleSheet(QStringLiteral(
        "QPushButton:checked { background-color: #c4dcf4; border: 1px solid #3b78b5; border-radius: 3px; "
        "font-weight: bold; }"));
    loadNames();
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

INFODEVICEMATRIXBASE* CMatrix0001View::model() const
{
    return m_Frame->model();
}

void CMatrix0001View::loadNames()
{
    xandrel::StringTable table = xandrel::DefaultStringTable();
    xandrel::ReadStringTableFile(xandrel::StringTableReader::MatrixView, table, xandrel::gui::DataFolder());
    std::copy(table.inputs.begin(), table.inputs.end(), m_Frame->m_InputName.begin());
    std::copy(table.outputs.begin(), table.outputs.end(), m_Frame->m_OutputName.begin());
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
    m_Mapping = new CMappingStatic(this, m_Panel);
    m_Mapping->setProperty("controlId", kMappingId + inputs);
    for (int k = 0; k < outputs; ++k) {
        auto* button = new QPushButton(m_Panel);
        button->setCheckable(true);
        button->setProperty("controlId", kOutputButtonId + k);
        connect(button, &QPushButton::clicked, this, [this, k](bool pressed) { onOutputButton(k, pressed); });
        m_OutputButtons.push_back(button);
    }
    for (int k = 0; k < outputs; ++k) {
        auto* list = new xandrel::gui::ElidingComboBox(m_Panel);
        list->setMaxVisibleItems(8);
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
        xandrel::gui::ShowElidedName(*m_InputButtons[k], NameOf(m_Frame->m_InputName, static_cast<int>(k)),
                                     kButtonWidth);
    for (size_t k = 0; k < m_OutputButtons.size(); ++k)
        xandrel::gui::ShowElidedName(*m_OutputButtons[k], NameOf(m_Frame->m_OutputName, static_cast<int>(k)),
                                     kButtonWidth);
    QStringList names;
    for (size_t i = 0; i < m_InputButtons.size(); ++i)
        names << NameOf(m_Frame->m_InputName, static_cast<int>(i));
    for (QComboBox* box : m_OutputLists) {
        auto* list = static_cast<xandrel::gui::ElidingComboBox*>(box);
        const int current = list->currentIndex();
        list->clear();
        list->addNames(names);
        list->setCurrentIndex(current);
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

int CMatrix0001View::ListSelection(int output)
{
    QComboBox* list = m_OutputLists.at(output);
    if (list->currentIndex() < 0 && list->count() > 0)
        list->setCurrentIndex(0);
    return std::max(list->currentIndex(), 0);
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
    for (size_t k = 0; k < m_OutputLists.size(); ++k) {
        // A routing the panel cannot show (0, "none", or beyond the inputs)
        // shows as input 1; the model and the route buffer keep what the
        // device said, so nothing is sent for it unless the person routes it.
        const BYTE routing = m->m_VideoOutputChannel[k];
        const bool shown = routing >= 1 && routing <= m->m_InputNumber;
        m_OutputLists[k]->setCurrentIndex(shown ? routing - 1 : 0);
        m_RouteBuffer[k] = routing;
    }
    RefreshSelection();
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

void CMatrix0001View::SendRouteBuffer()
{
    xandrel::gui::DeviceExchanges* exchanges = m_Frame->exchanges();
    if (!exchanges)
        return;
    const std::vector<BYTE> routing = m_RouteBuffer;
    auto problem = std::make_shared<std::string>();
    QPointer<CMatrix0001Frame> frame(m_Frame);
    exchanges->runCommand(
        *m_Frame->m_GUI, tr("Sending the routing..."),
        [routing, problem](INFODEVICEMATRIXBASE& m) { *problem = SendAndConfirm(m, routing); },
        [frame, problem] {
            if (frame)
                frame->m_wndStatusBar.ShowNotice(
                    problem->empty() ? QString()
                                     : tr("The device did not follow: %1.").arg(QString::fromStdString(*problem)));
        });
}

// A click that arrives while another command's exchange is under way starts
// nothing (the controls are disabled then; this catches what slips through).
bool CMatrix0001View::lineBusy() const
{
    const xandrel::gui::DeviceExchanges* exchanges = m_Frame->exchanges();
    return !exchanges || exchanges->busy();
}

void CMatrix0001View::onInputButton(int input)
{
    if (lineBusy())
        return RefreshSelection();
    m_SelectedInput = static_cast<BYTE>(input + 1);
    // The outputs not selected keep the input their list holds: the route
    // buffer has it (a pick in a list is sent, and taken, at once).
    for (size_t o = 0; o < m_OutputButtons.size(); ++o)
        if (m_OutputButtons[o]->isChecked())
            m_RouteBuffer[o] = m_SelectedInput;
    SendRouteBuffer();
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
    if (pressed && !lineBusy()) {
        m_RouteBuffer[output] = m_SelectedInput;
        SendRouteBuffer();
    }
    m_Panel->update();
    m_Mapping->update();
}

void CMatrix0001View::onOutputList(int output, int index)
{
    if (lineBusy())
        return;
    m_RouteBuffer[output] = static_cast<BYTE>(index + 1);
    SendRouteBuffer();
}

void CMatrix0001View::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    const int width = viewport()->width();
    m_MappingWidth = width > kBaseWidth ? width - kBaseWidth + kMinMappingWidth : kMinMappingWidth;
    m_Panel->resize(std::max(width, kBaseWidth), m_ViewHeight);
    placeOutputColumn();
}
