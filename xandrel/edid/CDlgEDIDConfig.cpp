// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/edid/CDlgEDIDConfig.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QPointer>
#include <QTabWidget>

#include "xandrel/device/DeviceWorker.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/edid/DlgEDIDInfo.h"
#include "xandrel/edid/DlgEDIDPad1.h"
#include "xandrel/edid/DlgEDIDPad2.h"
#include "xandrel/edid/EdidCommands.h"
#include "xandrel/edid/EdidReport.h"
#include "xandrel/edid/EdidUndoableWrite.h"
#include "xandrel/gui/CommandBracket.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MessageBoxes.h"
#include "xandrel/gui/Prompts.h"
#include "xandrel/gui/TextBytes.h"
#include "xandrel/gui/ScrollingContent.h"

namespace {

using xandrel::EdidPlace;
using xandrel::EdidTransfer;

constexpr int kOpeningProgressRange = 16;
const QString kEdidFileFilter = QStringLiteral("bin (*.bin);;*.* (*)");

// Asks whether to go on with an image that is no sound EDID; true to go on.
bool GoOnWithUnsoundImage(QWidget* parent, const xandrel::EdidImage& image, const QString& question)
{
    const std::string problem = xandrel::EdidImageProblem(image);
    if (problem.empty())
        return true;
    const QString text =
        QObject::tr("This is not a sound EDID: %1.\n%2").arg(QString::fromStdString(problem), question);
    return xandrel::gui::ShowMessage(xandrel::gui::MessageRequest{
               parent, text, QObject::tr("EDID"), QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No})
        == QMessageBox::Yes;
}
// A port that would not take the image gets this long before the next one.
constexpr uint32_t kPauseAfterFailedPortMs = 20000;

// The worker's side of an EDID exchange: the model there, the end of the
// bracket noted for the window, the progress handed to the windows, and the
// stops and pauses taken through the worker.
class WorkerExchange : public xandrel::EdidCommandHost, public xandrel::EdidProgress {
public:
    WorkerExchange(xandrel::DeviceWorker& worker, xandrel::gui::DeviceExchanges& windows)
        : worker_(worker)
        , windows_(windows)
    {
    }
    INFODEVICEMATRIXBASE& model() override { return worker_.model(); }
    void busyEnd() override { endsAsCommand = false; }
    void commandEnd() override { endsAsCommand = true; }
    void setRange(int minimum, int maximum) override
    {
        minimum_ = minimum;
        maximum_ = maximum;
        windows_.reportProgress(minimum_, maximum_, minimum_);
    }
    void setPosition(int position) override { windows_.reportProgress(minimum_, maximum_, position); }
    bool stopRequested() override { return worker_.stopRequested(); }
    bool pause(uint32_t milliseconds) override { return worker_.pauseUnlessStopped(milliseconds); }

    // A completed read or write ends with the window's refresh and report; a
    // copy and every failure with the wait cursor alone.
    bool endsAsCommand = false;

private:
    xandrel::DeviceWorker& worker_;
    xandrel::gui::DeviceExchanges& windows_;
    int minimum_ = 0;
    int maximum_ = 0;
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

// What a place holds after a write that ended part-way, in a word for the
// state box.
QString HoldingWord(xandrel::EdidHolding holding, bool restored)
{
    switch (holding) {
    case xandrel::EdidHolding::Former: return restored ? QObject::tr("restored") : QObject::tr("unchanged");
    case xandrel::EdidHolding::New: return QObject::tr("new EDID");
    case xandrel::EdidHolding::Broken: return QObject::tr("broken EDID");
    case xandrel::EdidHolding::Another: return QObject::tr("other EDID");
    case xandrel::EdidHolding::Unknown: break;
    }
    return QObject::tr("unknown");
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
    , m_Stop(xandrel::gui::MakeButton(QStringLiteral("Stop"), 3048))
    , m_ReadButton(xandrel::gui::MakeButton(QStringLiteral("read"), 3029))
    , m_WriteButton(xandrel::gui::MakeButton(QStringLiteral("write"), 3038))
    , m_LoadButton(xandrel::gui::MakeButton(QStringLiteral("Load File"), 3000))
    , m_IdentitiesButton(xandrel::gui::MakeButton(QStringLiteral("Input EDID Information"), 3058))
{
    m_Tab->setObjectName(QStringLiteral("tab3039"));
    // The byte pages scroll on a small screen; the buttons below stay in view.
    m_Tab->addTab(xandrel::gui::ScrollingPage(m_Pad1), QStringLiteral("0-127 byte"));
    m_Tab->addTab(xandrel::gui::ScrollingPage(m_Pad2), QStringLiteral("128-255 byte"));
    m_Progress->setObjectName(QStringLiteral("progress3045"));
    m_Progress->setTextVisible(false);
    m_State->setObjectName(QStringLiteral("box3047"));
    m_State->setReadOnly(true);
    // Wide enough for the longest state: a port's result and what it holds.
    m_State->setMinimumWidth(m_State->fontMetrics().horizontalAdvance(QStringLiteral("port 8 fail, broken EDID")) + 16);

    QPushButton* save = xandrel::gui::MakeButton(QStringLiteral("Save File"), 3001);
    QPushButton* detail = xandrel::gui::MakeButton(QStringLiteral("EDID Detail"), 3002);
    m_Stop->setEnabled(false);
    m_Stop->setToolTip(tr("Ends the read, write or copy between two frames"));
    connect(m_ReadButton, &QPushButton::clicked, this, &CDlgEDIDConfig::OnReadEDID);
    connect(m_WriteButton, &QPushButton::clicked, this, &CDlgEDIDConfig::OnWriteEDID);
    connect(m_LoadButton, &QPushButton::clicked, this, &CDlgEDIDConfig::OnLoadFile);
    connect(save, &QPushButton::clicked, this, &CDlgEDIDConfig::OnSaveFile);
    connect(detail, &QPushButton::clicked, this, &CDlgEDIDConfig::OnEDIDDetail);
    connect(m_IdentitiesButton, &QPushButton::clicked, this, &CDlgEDIDConfig::OnInputEDIDInfo);
    connect(m_Stop, &QPushButton::clicked, this, &CDlgEDIDConfig::OnStop);
    connect(m_Tab, &QTabWidget::currentChanged, this, &CDlgEDIDConfig::OnTabChange);

    auto* readGroup = new QGroupBox(QStringLiteral("EDID read"));
    auto* readRow = new QHBoxLayout(readGroup);
    readRow->addWidget(new QLabel(QStringLiteral("Read EDID From:")));
    readRow->addWidget(m_ReadSource, 1);
    readRow->addWidget(m_ReadButton);

    auto* writeGroup = new QGroupBox(QStringLiteral("EDID write"));
    auto* writeGrid = new QGridLayout(writeGroup);
    writeGrid->addWidget(new QLabel(QStringLiteral("Read EDID From:")), 0, 0);
    writeGrid->addWidget(m_WriteSource, 0, 1);
    writeGrid->addWidget(m_WriteButton, 0, 2);
    writeGrid->addWidget(new QLabel(QStringLiteral("Write EDID To:")), 1, 0);
    writeGrid->addWidget(m_WriteTarget, 1, 1);
    writeGrid->addWidget(new QLabel(QStringLiteral("Write State:")), 1, 2);
    writeGrid->addWidget(m_Progress, 2, 0, 1, 2);
    writeGrid->addWidget(m_State, 2, 2);
    writeGrid->addWidget(m_Stop, 2, 3);

    auto* functions = new QGroupBox(QStringLiteral("Function"));
    auto* functionGrid = new QGridLayout(functions);
    functionGrid->addWidget(m_LoadButton, 0, 0);
    functionGrid->addWidget(save, 0, 1);
    functionGrid->addWidget(detail, 1, 0);
    functionGrid->addWidget(m_IdentitiesButton, 1, 1);
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
    xandrel::gui::SizeForScreen(*this);
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
    if (xandrel::gui::DeviceExchanges* runner = exchanges())
        connect(runner, &xandrel::gui::DeviceExchanges::progressChanged, this, &CDlgEDIDConfig::showProgress,
                Qt::UniqueConnection);
}

void CDlgEDIDConfig::showBusy(bool busy)
{
    for (QPushButton* button : {m_ReadButton, m_WriteButton, m_LoadButton, m_IdentitiesButton})
        button->setEnabled(!busy);
    m_Stop->setEnabled(busy && exchanges() && exchanges()->stoppable());
}

void CDlgEDIDConfig::showProgress(int minimum, int maximum, int value)
{
    m_Progress->setRange(minimum, maximum);
    m_Progress->setValue(value);
}

void CDlgEDIDConfig::OnStop()
{
    if (xandrel::gui::DeviceExchanges* runner = exchanges(); runner && runner->stoppable()) {
        runner->stop();
        m_Stop->setEnabled(false);
        setState(tr("Stopping..."));
    }
}

QString CDlgEDIDConfig::unlessStopped(const QString& text) const
{
    const xandrel::gui::DeviceExchanges* runner = exchanges();
    return runner && runner->stopRequested() ? QStringLiteral("Stopped") : text;
}

// Runs `work` on the device's worker in the bracket of every command, with
// the device poll paused; `finished` gets its result here, unless the dialog
// has gone meanwhile.
void CDlgEDIDConfig::runExchange(const QString& what, EdidWork work, std::function<void(bool done)> finished,
                                 bool stoppable)
{
    xandrel::gui::DeviceExchanges* runner = exchanges();
    if (!runner || runner->busy())
        return;
    auto pause = std::make_shared<xandrel::gui::DeviceExchanges::PollPause>(*runner);
    auto done = std::make_shared<bool>(false);
    auto endsAsCommand = std::make_shared<bool>(false);
    INFODEVICEMATRIXBASE* model = this->model();
    QPointer<CDlgEDIDConfig> self(this);
    runner->startCommand(
        what,
        [runner, work, done, endsAsCommand](xandrel::DeviceWorker& worker) {
            WorkerExchange exchange(worker, *runner);
            *done = work(exchange, exchange);
            *endsAsCommand = exchange.endsAsCommand;
        },
        [model, self, pause, done, endsAsCommand, finished]() mutable {
            pause.reset();
            if (*endsAsCommand)
                xandrel::gui::EndCommandAfterExchange(model);
            else
                xandrel::gui::EndWaitCursor();
            if (self)
                finished(*done);
        },
        stoppable);
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
    if (!source || !m_GUI || !model() || exchanges()->busy())
        return;
    setState(QStringLiteral("Processing"));
    m_State->setFocus();
    auto image = std::make_shared<xandrel::EdidImage>(m_EDID);
    runExchange(
        tr("Reading the EDID of %1...").arg(QString::fromStdString(xandrel::EdidPlaceName(*source))),
        [image, place = *source](xandrel::EdidCommandHost& host, xandrel::EdidProgress& progress) {
            return ReadEdidFrom(host, *image, progress, place);
        },
        [this, image, source](bool done) {
            if (!done)
                return setState(unlessStopped(QStringLiteral("False")));
            const QString from = QString::fromStdString(xandrel::EdidPlaceName(*source));
            if (!GoOnWithUnsoundImage(this, *image, tr("Show what %1 holds in the pages anyway?").arg(from)))
                return setState(QStringLiteral("False"));
            m_EDID = *image;
            setState(QStringLiteral("Success"));
            showPages();
        });
}

void CDlgEDIDConfig::runCopy(const EdidTransfer& plan, const EdidPlace& target)
{
    // An output's EDID copied to one input is told by port; every other copy
    // just succeeds or fails.
    const bool toOnePort = target.kind == EdidPlace::Input && plan.mode == xandrel::edid::kOutputToInput;
    const QString port = QString::number(target.number);
    runExchange(
        tr("Copying the EDID inside the device..."),
        [plan](xandrel::EdidCommandHost& host, xandrel::EdidProgress& progress) {
            return EDID_DeviceCopy(host, progress, plan.mode, plan.target, plan.source);
        },
        [this, toOnePort, port](bool done) {
            QString text = done ? QStringLiteral("Success") : QStringLiteral("Fail");
            if (toOnePort)
                text = done ? QStringLiteral("port %1 Success").arg(port) : QStringLiteral("port %1 fail").arg(port);
            setState(done ? text : unlessStopped(text));
        });
}

// Writing to more than one input, or from a stored EDID (default A is the
// list's first entry, so a single click would write it), is asked first.
bool CDlgEDIDConfig::confirmWrite(const EdidPlace& source, const EdidPlace& target)
{
    const bool everyInput = target.kind == EdidPlace::AllInputs;
    if (!everyInput && source.kind != EdidPlace::Default)
        return true;
    const QString what = source.kind == EdidPlace::Computer
        ? tr("the EDID in the pages")
        : tr("the EDID of %1").arg(QString::fromStdString(xandrel::EdidPlaceName(source)));
    const int inputs = model()->m_InputNumber;
    const QString where = everyInput ? tr("all %1 inputs (input 1 to input %1)").arg(inputs)
                                     : QString::fromStdString(xandrel::EdidPlaceName(target));
    const QString text = tr("Write %1 to %2?\nThe EDID %3 now is replaced.")
                             .arg(what, where, everyInput ? tr("each of them holds") : tr("it holds"));
    return xandrel::gui::ShowMessage(xandrel::gui::MessageRequest{this, text, tr("EDID"), QMessageBox::Question,
                                                                  QMessageBox::Yes | QMessageBox::No})
        == QMessageBox::Yes;
}

// The image to one input or stored EDID. What the place holds is read and
// kept first: a write that is stopped or fails part-way leaves it broken, and
// the kept EDID is then offered back. `ended` gets how it went.
void CDlgEDIDConfig::writeImageTo(const EdidPlace& place, bool pauseAfterFailure, WriteEnded ended)
{
    const xandrel::EdidImage image = m_EDID;
    auto write = std::make_shared<xandrel::KeptWrite>();
    const QString name = QString::fromStdString(xandrel::EdidPlaceName(place));
    runExchange(
        tr("Writing the EDID to %1...").arg(name),
        [image, place, write, pauseAfterFailure](xandrel::EdidCommandHost& host, xandrel::EdidProgress& progress) {
            *write = WriteKeepingFormer(host, progress, image, place);
            if (!write->written && pauseAfterFailure)
                progress.pause(kPauseAfterFailedPortMs);
            return write->written;
        },
        [this, image, place, write, name, ended](bool done) {
            WriteEnd end;
            end.written = done;
            end.stopped = !done && exchanges()->stopRequested();
            if (!done && !write->kept && !end.stopped)
                end.note = tr("What %1 holds could not be read, so a write that failed could not be undone: "
                              "nothing was written.")
                               .arg(name);
            if (write->partWay())
                return offerRestore(place, *write, image, end.stopped, ended);
            ended(end);
        });
}

// After a write that ended part-way: offers to write back what the place held
// and then reads it back to tell what it holds. This runs to its end: a stop
// here would leave the place cut once more.
void CDlgEDIDConfig::offerRestore(const EdidPlace& place, const xandrel::KeptWrite& write,
                                  const xandrel::EdidImage& image, bool stopped, WriteEnded ended)
{
    const QString name = QString::fromStdString(xandrel::EdidPlaceName(place));
    const int chunks = static_cast<int>(xandrel::kEdidImageSize) / xandrel::edid::kChunkSize;
    const QString question =
        tr("The write to %1 %2 after %3 of %4 chunks: %1 now holds the start of the new EDID and the rest "
           "of the old one.\nWrite back the EDID it held before?")
            .arg(name, stopped ? tr("was stopped") : tr("failed"))
            .arg(write.chunksSent)
            .arg(chunks);
    const bool restore = xandrel::gui::ShowMessage(xandrel::gui::MessageRequest{
                             this, question, tr("EDID"), QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No})
        == QMessageBox::Yes;
    auto holding = std::make_shared<xandrel::EdidHolding>(xandrel::EdidHolding::Unknown);
    runExchange(
        restore ? tr("Writing back the EDID %1 held...").arg(name) : tr("Reading %1 back...").arg(name),
        [place, former = write.former, image, restore, holding](xandrel::EdidCommandHost& host,
                                                                xandrel::EdidProgress& progress) {
            if (restore)
                xandrel::WriteEdidTo(host, progress, former, place);
            *holding = xandrel::ReadBackHolding(host, progress, place, former, image);
            return true;
        },
        [place, stopped, restore, holding, ended](bool) {
            ended(WriteEnd{false, stopped, HoldingWord(*holding, restore),
                           QString::fromStdString(xandrel::HoldingText(place, *holding))});
        },
        false);
}

// The state text with what the place holds after a write that ended
// part-way ("Stopped, restored"), and the whole story in a message.
void CDlgEDIDConfig::showWriteEnd(const QString& text, const WriteEnd& end, const QString& caption)
{
    if (!end.note.isEmpty())
        xandrel::gui::ShowMessage(this, end.note, caption);
    setState(end.holding.isEmpty() ? text : text + QStringLiteral(", ") + end.holding);
}

// The image to one input ("port %d Success" / "port %d Fail") or stored EDID.
void CDlgEDIDConfig::writeImage(const EdidPlace& target)
{
    const bool input = target.kind == EdidPlace::Input;
    const QString port = QString::number(target.number);
    writeImageTo(target, false, [this, input, port](const WriteEnd& end) {
        QString text = end.written ? QStringLiteral("Success") : QStringLiteral("Fail");
        if (input)
            text = end.written ? QStringLiteral("port %1 Success").arg(port) : QStringLiteral("port %1 Fail").arg(port);
        showWriteEnd(end.stopped ? QStringLiteral("Stopped") : text, end, tr("EDID"));
    });
}

// The image to every input the model has, one by one, telling each result.
// (Inputs the model lacks are not tried: each would fail after a long pause.)
// Stop ends it between two frames; the inputs after it are not written.
void CDlgEDIDConfig::writeInputsFrom(int input)
{
    if (!model() || input > model()->m_InputNumber)
        return;
    writeImageTo(EdidPlace{EdidPlace::Input, input}, true, [this, input](const WriteEnd& end) {
        if (end.stopped)
            return showWriteEnd(QStringLiteral("Stopped"), end, tr("EDID"));
        const QString text =
            end.written ? QStringLiteral("port %1 Success").arg(input) : QStringLiteral("port %1 fail").arg(input);
        // One message a port, with the whole story of a port that failed.
        WriteEnd told = end;
        told.note = end.note.isEmpty() ? text : text + QLatin1Char('\n') + end.note;
        showWriteEnd(text, told, QString());
        writeInputsFrom(input + 1);
    });
}

void CDlgEDIDConfig::OnWriteEDID()
{
    if (!m_GUI || !model() || exchanges()->busy())
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
    if (plan.kind == EdidTransfer::Unsupported) {
        xandrel::gui::ShowMessage(this, QStringLiteral("Function not Support!"), QString());
        return;
    }
    const bool writesImage = plan.kind == EdidTransfer::Write || plan.kind == EdidTransfer::WriteInputs;
    if (!confirmWrite(*source, *target)
        || (writesImage && !GoOnWithUnsoundImage(this, m_EDID, tr("Write it to the device anyway?")))) {
        m_State->clear();
        return;
    }
    switch (plan.kind) {
    case EdidTransfer::WriteInputs: return writeInputsFrom(1);
    case EdidTransfer::Write: return writeImage(*target);
    default: runCopy(plan, *target);
    }
}

void CDlgEDIDConfig::OnSaveFile()
{
    QString file = xandrel::gui::ChooseFile(this, xandrel::gui::FileUse::Save, tr("Save EDID"), kEdidFileFilter);
    if (file.isEmpty() || !takePages())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".bin");
    std::string error;
    if (!xandrel::SaveEdidFile(file.toStdString(), m_EDID, error))
        xandrel::gui::ShowMessage(this, xandrel::gui::FromBytes(error));
}

void CDlgEDIDConfig::OnLoadFile()
{
    const QString file = xandrel::gui::ChooseFile(this, xandrel::gui::FileUse::Open, tr("Load EDID"), kEdidFileFilter);
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
    if (model())
        DlgEDIDInfo::ShowInputIdentities(*model(), this);
}
