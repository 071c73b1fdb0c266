#include "xandrel/gui/CMatrix0001Frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QMenu>

#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/custom/StringTableFile.h"
#include "xandrel/custom/DataFolder.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/edid/DlgEDIDInfo.h"
#include "xandrel/edid/EdidExchange.h"
#include "xandrel/gui/CMatrix0001View.h"
#include "xandrel/gui/GuiServices.h"
#include "xandrel/gui/KeyChord.h"
#include "xandrel/res/Artwork.h"

namespace {

using xandrel::gui::FromBytes;

QIcon WindowIcon()
{
    const QString path = QString::fromStdString(
        xandrel::DataFilePath(xandrel::DataFile::Icon, xandrel::gui::DataFolder()));
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
    m_PollTimer.setSingleShot(true);
    connect(&m_PollTimer, &QTimer::timeout, this, &CMatrix0001Frame::OnPollTimer);
    m_PollTimer.start(kPollIntervalMs);
    loadTitles();
    setWindowTitle(FromBytes(m_TitleText[0]));
    RefreshAll();
}

CMatrix0001Frame::~CMatrix0001Frame()
{
    // The bars are members: take them out of the window before it goes.
    removeToolBar(&m_wndToolBar);
    m_wndToolBar.setParent(nullptr);
    m_wndStatusBar.setParent(nullptr);
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
    const int chrome = bar.height() + m_wndStatusBar.sizeHint().height();
    return QSize(std::max(panel.width(), bar.width()) + 4, panel.height() + chrome + 4);
}

void CMatrix0001Frame::RefreshAll()
{
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
    case ID_MATRIX_SCAN:
        openScanDialog();
        break;
    case ID_MATRIX_LINKAGE:
        readDeviceState();
        return;
    case ID_MATRIX_OPEN:
        if (model() && model()->m_PortDriver)
            model()->m_PortDriver->RS232_OpenPort(model()->m_PortDriver->GetPortNumber(), model()->m_BaudRate);
        break;
    case ID_MATRIX_CLOSE:
        if (model() && model()->m_PortDriver)
            model()->m_PortDriver->RS232_ClosePort();
        break;
    case ID_MATRIX_MAPPING:
        selectOutputsFedBySelectedInput();
        break;
    case ID_MATRIX_FASTSELECT:
        return routeOneToOne(true);
    case ID_MATRIX_EDIDINFO:
        return showManufacturerReport();
    case ID_SELECT_ALL_OUTPUT:
    case ID_UNSELECT_ALL_OUTPUT:
        for (int o = 0; model() && o < model()->m_OutputNumber; ++o)
            m_View->SetOutputSelected(o, id == ID_SELECT_ALL_OUTPUT);
        break;
    case ID_INPUT_NUM_OUTPUT_NUM:
        return routeOneToOne(false);
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

void CMatrix0001Frame::readDeviceState()
{
    if (!model())
        return;
    m_GUI->DEVMA_GUICommandStart();
    model()->DEVMA_GetDeviceAllStatus();
    m_GUI->DEVMA_GUICommandEnd();
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
    m_GUI->DEVMA_GUICommandStart();
    model()->DEVMA_SetVideoOutputChannel(m_View->RouteBuffer().data());
    m_GUI->DEVMA_GUICommandEnd();
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
    m_Polling = 0;
    m_GUI->DEVMA_GUICommandStart();
    const std::string report = xandrel::InputManufacturerReport(*model());
    xandrel::gui::EndWaitCursor();  // no refresh and no error message follow
    DlgEDIDInfo dialog(report);
    dialog.exec();
    m_Polling = 1;
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
    if (model()->DEVMA_GetEventMessage() == 1) {
        xandrel::gui::BeginWaitCursor();
        model()->m_ErrorCode = INFODEVICEMATRIXBASE::kNoError;
        m_GUI->DEVMA_GUICommandEnd();
    }
    m_PollTimer.start(kPollIntervalMs);
}

void CMatrix0001Frame::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (m_GUIData.m_CloseHost == 0)
        return;  // only hidden: a later show request brings it back
    if (QWidget* host = m_GUIData.m_HostWnd.data()) {
        if (auto* dialog = qobject_cast<QDialog*>(host))
            dialog->done(QDialog::Rejected);
        host->close();
    }
}
