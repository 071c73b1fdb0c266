#include "xandrel/edid/CDlgEDIDConfig.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

#include "tavrik/Wait.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/edid/DlgEDIDInfo.h"
#include "xandrel/edid/DlgEDIDPad1.h"
#include "xandrel/edid/DlgEDIDPad2.h"
#include "xandrel/edid/EdidCommands.h"
#include "xandrel/edid/EdidReport.h"
#include "xandrel/gui/GuiServices.h"

namespace {

using xandrel::EdidPlace;
using xandrel::EdidTransfer;

constexpr int kOpeningProgressRange = 16;
// A port that would not take the image gets this long before the next one.
constexpr uint32_t kPauseAfterFailedPortMs = 20000;

// The window's side of an exchange: the wait cursor and the matrix window's
// refresh and error report, and the progress bar kept painted.
class DialogExchange : public xandrel::EdidCommandHost, public xandrel::EdidProgress {
public:
    DialogExchange(GUIDEVICEMATRIXBASE& gui, QProgressBar& bar)
        : gui_(gui)
        , bar_(bar)
    {
    }
    INFODEVICEMATRIXBASE& model() override { return *gui_.m_Device; }
    void commandStart() override { gui_.DEVMA_GUICommandStart(); }
    void busyEnd() override { xandrel::gui::EndWaitCursor(); }
    void commandEnd() override { gui_.DEVMA_GUICommandEnd(); }
    void setRange(int minimum, int maximum) override { bar_.setRange(minimum, maximum); }
    void setPosition(int position) override
    {
        bar_.setValue(position);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);  // the bar moves while the exchange runs
    }

private:
    xandrel::gui::PollPause pause_;
    GUIDEVICEMATRIXBASE& gui_;
    QProgressBar& bar_;
};

QComboBox* List(int id)
{
    auto* list = new QComboBox;
    list->setObjectName(QStringLiteral("list%1").arg(id));
    list->setMinimumContentsLength(9);
    return list;
}

void AddPlace(QComboBox& list, const EdidPlace& place)
{
    list.addItem(QString::fromStdString(xandrel::EdidPlaceName(place)), place.kind * 256 + place.number);
}

std::optional<EdidPlace> PlaceOf(const QComboBox& list)
{
    if (list.currentIndex() < 0)
        return std::nullopt;
    const int code = list.currentData().toInt();
    return EdidPlace{static_cast<EdidPlace::Kind>(code / 256), code % 256};
}

}  // namespace

CDlgEDIDConfig::CDlgEDIDConfig()
    : LibraryDialog(QStringLiteral("EDID Config"))
    , m_Pad1(new DlgEDIDPad1)
    , m_Pad2(new DlgEDIDPad2)
    , m_Tab(new QTabWidget)
    , m_ReadSource(List(3036))
    , m_WriteSource(List(3037))
    , m_WriteTarget(List(3040))
    , m_Progress(new QProgressBar)
    , m_State(new QLineEdit)
{
    m_Tab->setObjectName(QStringLiteral("tab3039"));
    m_Tab->addTab(m_Pad1, QStringLiteral("0-127 byte"));
    m_Tab->addTab(m_Pad2, QStringLiteral("128-255 byte"));
    m_Progress->setObjectName(QStringLiteral("progress3045"));
    m_Progress->setTextVisible(false);
    m_State->setObjectName(QStringLiteral("box3047"));
    m_State->setReadOnly(true);
    m_State->setMinimumWidth(110);

    QPushButton* read = xandrel::gui::MakeButton(QStringLiteral("read"), 3029);
    QPushButton* write = xandrel::gui::MakeButton(QStringLiteral("write"), 3038);
    QPushButton* load = xandrel::gui::MakeButton(QStringLiteral("Load File"), 3000);
    QPushButton* save = xandrel::gui::MakeButton(QStringLiteral("Save File"), 3001);
    QPushButton* detail = xandrel::gui::MakeButton(QStringLiteral("EDID Detail"), 3002);
    QPushButton* identities = xandrel::gui::MakeButton(QStringLiteral("Input EDID Information"), 3058);
    connect(read, &QPushButton::clicked, this, &CDlgEDIDConfig::OnReadEDID);
    connect(write, &QPushButton::clicked, this, &CDlgEDIDConfig::OnWriteEDID);
    connect(load, &QPushButton::clicked, this, &CDlgEDIDConfig::OnLoadFile);
    connect(save, &QPushButton::clicked, this, &CDlgEDIDConfig::OnSaveFile);
    connect(detail, &QPushButton::clicked, this, &CDlgEDIDConfig::OnEDIDDetail);
    connect(identities, &QPushButton::clicked, this, &CDlgEDIDConfig::OnInputEDIDInfo);
    connect(m_Tab, &QTabWidget::currentChanged, this, &CDlgEDIDConfig::OnTabChange);

    auto* readGroup = new QGroupBox(QStringLiteral("EDID read"));
    auto* readRow = new QHBoxLayout(readGroup);
    readRow->addWidget(new QLabel(QStringLiteral("Read EDID From:")));
    readRow->addWidget(m_ReadSource, 1);
    readRow->addWidget(read);

    auto* writeGroup = new QGroupBox(QStringLiteral("EDID write"));
    auto* writeGrid = new QGridLayout(writeGroup);
    writeGrid->addWidget(new QLabel(QStringLiteral("Read EDID From:")), 0, 0);
    writeGrid->addWidget(m_WriteSource, 0, 1);
    writeGrid->addWidget(write, 0, 2);
    writeGrid->addWidget(new QLabel(QStringLiteral("Write EDID To:")), 1, 0);
    writeGrid->addWidget(m_WriteTarget, 1, 1);
    writeGrid->addWidget(new QLabel(QStringLiteral("Write State:")), 1, 2);
    writeGrid->addWidget(m_Progress, 2, 0, 1, 2);
    writeGrid->addWidget(m_State, 2, 2);

    auto* functions = new QGroupBox(QStringLiteral("Function"));
    auto* functionGrid = new QGridLayout(functions);
    functionGrid->addWidget(load, 0, 0);
    functionGrid->addWidget(save, 0, 1);
    functionGrid->addWidget(detail, 1, 0);
    functionGrid->addWidget(identities, 1, 1);
    functionGrid->setRowStretch(2, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(readGroup);
    left->addWidget(writeGroup);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(left, 1);
    bottom->addWidget(functions);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_Tab, 1);
    layout->addLayout(bottom);
}

QString CDlgEDIDConfig::StateText() const
{
    return m_State->text();
}

void CDlgEDIDConfig::initialise()
{
    LibraryDialog::initialise();
    m_Tab->setCurrentIndex(0);
    m_CurrentPage = 0;
    m_State->clear();
    m_Progress->setRange(0, kOpeningProgressRange);
    m_Progress->setValue(0);
    m_Pad1->FillPlain(m_EDID.data());
    m_Pad2->FillPlain(m_EDID.data() + xandrel::kEdidBlockSize);
    fillLists();
}

// The lists in the order their sorted texts give: defaults, inputs, outputs,
// pc memory; the write targets: all input, defaults, inputs.
void CDlgEDIDConfig::fillLists()
{
    const int inputs = model() ? model()->m_InputNumber : 0;
    const int outputs = model() ? model()->m_OutputNumber : 0;
    for (QComboBox* list : {m_ReadSource, m_WriteSource, m_WriteTarget})
        list->clear();
    AddPlace(*m_WriteTarget, EdidPlace{EdidPlace::AllInputs});
    for (int letter = 0; letter < 4; ++letter)
        for (QComboBox* list : {m_ReadSource, m_WriteSource, m_WriteTarget})
            AddPlace(*list, EdidPlace{EdidPlace::Default, letter});
    for (int input = 1; input <= inputs; ++input)
        for (QComboBox* list : {m_ReadSource, m_WriteSource, m_WriteTarget})
            AddPlace(*list, EdidPlace{EdidPlace::Input, input});
    for (int output = 1; output <= outputs; ++output)
        for (QComboBox* list : {m_ReadSource, m_WriteSource})
            AddPlace(*list, EdidPlace{EdidPlace::Output, output});
    AddPlace(*m_WriteSource, EdidPlace{EdidPlace::Computer});
    for (QComboBox* list : {m_ReadSource, m_WriteSource, m_WriteTarget})
        list->setCurrentIndex(0);
}

void CDlgEDIDConfig::OnTabChange()
{
    m_CurrentPage = m_Tab->currentIndex();
}

void CDlgEDIDConfig::setState(const QString& text)
{
    m_State->setText(text);
    m_State->repaint();
}

// The pages' boxes into the image, both checksums recomputed. A box that
// does not hold a byte stops it all before the image changes.
bool CDlgEDIDConfig::takePages()
{
    xandrel::EdidImage taken = m_EDID;
    QString problem;
    const bool first = m_Pad1->GetBlock(taken.data(), &problem);
    if (!first || !m_Pad2->GetBlock(taken.data() + xandrel::kEdidBlockSize, &problem)) {
        m_Tab->setCurrentIndex(first ? 1 : 0);  // the page with the box that is wrong
        xandrel::gui::ShowMessage(this, problem);
        return false;
    }
    xandrel::SetEdidChecksums(taken);
    m_EDID = taken;
    return true;
}

void CDlgEDIDConfig::showPages()
{
    m_Pad1->ShowBlock(m_EDID.data());
    const BYTE* extension = m_EDID.data() + xandrel::kEdidBlockSize;
    // Page 2 leaves itself alone for an erased block (first byte FF); it would
    // go on showing the block before, and the next write or save would send
    // those old bytes. The erased block is shown as it is instead.
    if (extension[0] == 0xFF)
        m_Pad2->FillPlain(extension);
    else
        m_Pad2->ShowBlock(extension);
}

void CDlgEDIDConfig::OnReadEDID()
{
    const std::optional<EdidPlace> source = PlaceOf(*m_ReadSource);
    if (!source || !m_GUI || !model())
        return;
    setState(QStringLiteral("Processing"));
    m_State->setFocus();
    xandrel::EdidImage image = m_EDID;
    DialogExchange exchange(*m_GUI, *m_Progress);
    if (!ReadEdidFrom(exchange, image, exchange, *source)) {
        setState(QStringLiteral("False"));
        return;
    }
    m_EDID = image;
    setState(QStringLiteral("Success"));
    showPages();
}

QString CDlgEDIDConfig::runTransfer(const EdidTransfer& plan, const EdidPlace& target)
{
    DialogExchange exchange(*m_GUI, *m_Progress);
    // An output's EDID or the computer's image sent to one input is told by
    // port; every other pair just succeeds or fails.
    const bool toOnePort = target.kind == EdidPlace::Input
        && (plan.kind == EdidTransfer::Write || plan.mode == xandrel::edid::kOutputToInput);
    const QString port = QString::number(target.number);
    if (plan.kind == EdidTransfer::Copy) {
        const bool done = EDID_DeviceCopy(exchange, exchange, plan.mode, plan.target, plan.source);
        if (toOnePort)
            return done ? QStringLiteral("port %1 Success").arg(port) : QStringLiteral("port %1 fail").arg(port);
        return done ? QStringLiteral("Success") : QStringLiteral("Fail");
    }
    const bool done = EDID_DeviceWrite(exchange, m_EDID, exchange, plan.number, plan.writeKind);
    if (toOnePort)
        return done ? QStringLiteral("port %1 Success").arg(port) : QStringLiteral("port %1 Fail").arg(port);
    return done ? QStringLiteral("Success") : QStringLiteral("Fail");
}

// The image to every input the model has, one by one, telling each result.
// (Inputs the model lacks are not tried: each would fail after a long pause.)
// (Inputs the model lacks are not tried: each would fail after a long pause.)
void CDlgEDIDConfig::writeEveryInput()
{
    for (int input = 1; input <= model()->m_InputNumber; ++input) {
        bool done = false;
        {
            DialogExchange exchange(*m_GUI, *m_Progress);
            done = EDID_DeviceWrite(exchange, m_EDID, exchange, static_cast<BYTE>(input), xandrel::edid::kWriteInput);
        }
        const QString text = done ? QStringLiteral("port %1 Success").arg(input) : QStringLiteral("port %1 fail").arg(input);
        if (!done)
            tavrik::Wait(kPauseAfterFailedPortMs);
        xandrel::gui::ShowMessage(this, text, QString());
        setState(text);
    }
}

void CDlgEDIDConfig::OnWriteEDID()
{
    if (!m_GUI || !model())
        return;
    setState(QStringLiteral("Processing"));
    m_State->setFocus();
    if (!takePages()) {
        setState(QStringLiteral("False"));
        return;
    }
    const std::optional<EdidPlace> source = PlaceOf(*m_WriteSource);
    const std::optional<EdidPlace> target = PlaceOf(*m_WriteTarget);
    if (!source || !target) {
        m_State->clear();
        xandrel::gui::ShowMessage(xandrel::gui::MessageRequest{this, QStringLiteral("please select source or outport"),
                                                               QStringLiteral("warning"), QMessageBox::Warning});
        return;
    }
    const EdidTransfer plan = PlanEdidTransfer(*source, *target);
    switch (plan.kind) {
    case EdidTransfer::Unsupported:
        xandrel::gui::ShowMessage(this, QStringLiteral("Function not Support!"), QString());
        return;
    case EdidTransfer::WriteInputs:
        return writeEveryInput();
    default:
        setState(runTransfer(plan, *target));
    }
}

void CDlgEDIDConfig::OnSaveFile()
{
    const QString file = xandrel::gui::ChooseFile(this, tr("Save EDID"), QStringLiteral("bin (*.bin);;*.* (*)"));
    if (file.isEmpty() || !takePages())
        return;
    std::string error;
    if (!xandrel::SaveEdidFile(file.toStdString(), m_EDID, error))
        xandrel::gui::ShowMessage(this, xandrel::gui::FromBytes(error));
}

void CDlgEDIDConfig::OnLoadFile()
{
    const QString file = xandrel::gui::ChooseFile(this, tr("Load EDID"), QStringLiteral("bin (*.bin);;*.* (*)"));
    if (file.isEmpty())
        return;
    std::string error;
    if (!xandrel::LoadEdidFile(file.toStdString(), m_EDID, error)) {
        xandrel::gui::ShowMessage(this, xandrel::gui::FromBytes(error));
        return;
    }
    showPages();
}

void CDlgEDIDConfig::OnEDIDDetail()
{
    std::string report;
    EDID_MakeReport(m_EDID, report);
    DlgEDIDInfo info(report, this);
    info.exec();
}

void CDlgEDIDConfig::OnInputEDIDInfo()
{
    if (!m_GUI || !model())
        return;
    std::string report;
    {
        xandrel::gui::PollPause pause;
        m_GUI->DEVMA_GUICommandStart();
        report = xandrel::InputManufacturerReport(*model());
        xandrel::gui::EndWaitCursor();
    }
    DlgEDIDInfo info(report, this);
    info.exec();
}
