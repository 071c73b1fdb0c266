// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-screenshots: renders the library's windows to PNG files, offscreen,
// for review: the matrix window for a 4x4, an 8x8, a 4x8 and an 8x4 model
// against the simulated device, and at 1366 x 768 for a 4x4, an 8x8 and the
// 5x5 VGA matrix in take mode with routings prepared and an output locked.
//
//   QT_QPA_PLATFORM=offscreen quellix-screenshots FOLDER [EDID.bin]
//
// and every dialog, the EDID pages showing EDID.bin when given.
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QTimer>

#include <QTabWidget>
#include <QTemporaryDir>

#include "SimulatedDevice.h"
#include "xandrel/connect/CDlgDeviceIDSetting.h"
#include "xandrel/connect/CDlgMatrixScanPort.h"
#include "xandrel/custom/String2.h"
#include "xandrel/custom/StringModify.h"
#include "xandrel/edid/CDlgEDIDConfig.h"
#include "xandrel/edid/DlgEDIDInfo.h"
#include "xandrel/edid/DlgEDIDPad1.h"
#include "xandrel/edid/DlgEDIDPad2.h"
#include "xandrel/edid/EdidFile.h"
#include "xandrel/edid/EdidReport.h"
#include "xandrel/gui/CDlgModeSelect.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "tavrik/Wait.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/gui/CMatrix0001Frame.h"
#include "xandrel/gui/CMatrix0001View.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/GUIDEVICEMATRIXBASE.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MessageBoxes.h"
#include "xandrel/gui/SetupMenu.h"
#include "xandrel/gui/TrafficLogWindow.h"

namespace {

// The windows' commands run on the device's worker: wait for them to end
// before looking.
void WaitForExchanges()
{
    QDeadlineTimer deadline(10000);
    while (!xandrel::gui::DeviceExchanges::AllIdle() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A simulated device, a model bound to it on COM1 with the port open, and
// the matrix window for it.
struct WindowOnDevice {
    std::unique_ptr<quellix::sim::SimulatedDevice> device;
    std::unique_ptr<INFODEVICEMATRIXBASE> model;
    INFOPORTDRIVER driver;
    GUIDEVICEMATRIXBASE gui;
    CMatrix0001Frame* frame = nullptr;
};

// `prepare` sets the device up before the window opens; null when the
// device does not start.
std::unique_ptr<WindowOnDevice> OpenWindow(const quellix::sim::SimOptions& options,
                                           const std::function<void(quellix::sim::SimulatedDevice&)>& prepare = {})
{
    auto window = std::make_unique<WindowOnDevice>();
    std::string error;
    window->device = quellix::sim::SimulatedDevice::Start(options, error);
    if (!window->device)
        return nullptr;
    if (prepare)
        prepare(*window->device);
    tavrik::PortTable::instance().assign(1, window->device->address());
    window->model = xandrel::CreateModel(*options.model);
    window->model->DEVMA_SetPortDriver(&window->driver);
    window->driver.RS232_OpenPort(1, 9600);
    window->gui.m_Device = window->model.get();
    INFOGUIPDATA record;
    window->gui.DEVMA_GUIVideoSwitchWindow(1, &record);
    window->frame = xandrel::gui::MatrixFrame();
    return window;
}

bool SaveMatrixWindow(const char* className, const QString& file)
{
    quellix::sim::SimOptions options;
    options.model = xandrel::FindModel(className);
    options.log = [](const std::string&) {};
    for (int input = 0; input < options.model->inputs; ++input)
        options.signals.push_back(input % 3 != 2);
    const auto window = OpenWindow(options, [&options](quellix::sim::SimulatedDevice& device) {
        for (int output = 1; output <= options.model->outputs; ++output)
            device.command("route " + std::to_string(output) + " "
                           + std::to_string((output * 3) % options.model->inputs + 1));
    });
    if (!window)
        return false;
    CMatrix0001Frame* frame = window->frame;
    quellix::sim::SimulatedDevice* device = window->device.get();
    frame->OnCommand(CMatrix0001Frame::ID_MATRIX_LINKAGE);
    WaitForExchanges();
    frame->view()->SetOutputSelected(1, false);
    frame->resize(frame->NaturalSize().expandedTo(QSize(820, 0)));
    frame->RefreshAll();
    QApplication::processEvents();
    bool saved = frame->grab().save(file);
    if (saved && options.model->inputs == 8 && options.model->outputs == 8) {
        // The same window while a slow device answers Linkage: the busy cue.
        device->command("fault delay 400");
        frame->OnCommand(CMatrix0001Frame::ID_MATRIX_LINKAGE);
        QApplication::processEvents();
        const QString busy = QString(file).replace(".png", "-busy.png");
        saved = frame->grab().save(busy);
        if (saved)
            std::printf("%s\n", busy.toLocal8Bit().constData());
        WaitForExchanges();
        // The traffic log of a Linkage and a routing click.
        device->command("fault none");
        frame->setupMenu()->ShowTrafficLog();
        frame->OnCommand(CMatrix0001Frame::ID_MATRIX_LINKAGE);
        WaitForExchanges();
        frame->OnCommand(CMatrix0001Frame::ID_INPUT_ALL_OUTPUT + 2);
        WaitForExchanges();
        QApplication::processEvents();
        const QString log = QString(file).replace("matrix-8x8", "window-traffic-log");
        saved = saved && frame->setupMenu()->trafficLog()->grab().save(log);
        if (saved)
            std::printf("%s\n", log.toLocal8Bit().constData());
    }
    xandrel::gui::DestroyLibraryWindows();
    return saved;
}

// The window as an operator on a laptop sees it in take mode: two routings
// prepared, output 3 locked, the device answering.
bool SaveLiveWindow(const char* className, const QString& file)
{
    const std::string previousFolder = xandrel::gui::DataFolder();
    QTemporaryDir data;  // a folder of its own: its locks are the ones set here
    xandrel::gui::SetDataFolder(data.path().toStdString());
    quellix::sim::SimOptions options;
    options.model = xandrel::FindModel(className);
    options.log = [](const std::string&) {};
    options.signals.assign(options.model->inputs, 1);
    const auto window = OpenWindow(options);
    if (!window)
        return false;
    CMatrix0001Frame* frame = window->frame;
    frame->OnCheckTimer();
    WaitForExchanges();
    WaitForExchanges();  // the read that follows the first answer
    frame->SetTakeMode(true);
    frame->view()->ToggleLock(2);
    frame->view()->Route({{0, 2}, {1, static_cast<BYTE>(options.model->inputs)}});
    frame->view()->SetOutputSelected(1, true);
    frame->resize(1366, 768);
    QApplication::processEvents();
    const bool saved = frame->grab().save(file);
    if (saved)
        std::printf("%s\n", file.toLocal8Bit().constData());
    xandrel::gui::DestroyLibraryWindows();
    xandrel::gui::SetDataFolder(previousFolder);
    return saved;
}

bool Save(QWidget& widget, const QString& file)
{
    widget.resize(widget.sizeHint());  // whole, whatever the offscreen screen allows
    widget.show();
    QApplication::processEvents();
    const bool saved = widget.grab().save(file);
    if (saved)
        std::printf("%s\n", file.toLocal8Bit().constData());
    return saved;
}

// As a laptop's 1280 x 720 work area shows it, less the title bar.
bool SaveOnSmallScreen(QWidget& widget, const QString& file)
{
    widget.resize(widget.size().boundedTo(QSize(1280, 672)));
    QApplication::processEvents();
    const bool saved = widget.grab().save(file);
    if (saved)
        std::printf("%s\n", file.toLocal8Bit().constData());
    return saved;
}

// The dialogs, connected to a simulated 8x8 matrix; the EDID pages show
// `edidFile` when it can be read.
int SaveDialogs(const QString& folder, const std::string& edidFile)
{
    quellix::sim::SimOptions options;
    options.model = xandrel::FindModel("INFOHDMIMATRIX0001_8_8");
    options.deviceId = 3;
    options.log = [](const std::string&) {};
    std::string error;
    auto device = quellix::sim::SimulatedDevice::Start(options, error);
    if (!device)
        return 1;
    tavrik::PortTable::instance().assign(1, device->address());
    auto model = xandrel::CreateModel(*options.model);
    INFOPORTDRIVER driver;
    model->DEVMA_SetPortDriver(&driver);
    GUIDEVICEMATRIXBASE gui;
    gui.m_Device = model.get();
    int failures = 0;

    CDlgMatrixScanPort scan;
    scan.m_GUI = &gui;
    scan.openFresh();
    WaitForExchanges();
    scan.OnScan();
    WaitForExchanges();
    failures += !Save(scan, folder + "/dialog-scan.png");
    driver.RS232_OpenPort(1, 9600);

    CDlgDeviceIDSetting setting;
    setting.m_GUI = &gui;
    setting.openFresh();
    setting.OnGet();
    WaitForExchanges();
    failures += !Save(setting, folder + "/dialog-setting.png");

    CDlgModeSelect mode;
    failures += !Save(mode, folder + "/dialog-mode-select.png");
    String2 names;
    failures += !Save(names, folder + "/dialog-string-table.png");
    StringModify config;
    failures += !Save(config, folder + "/dialog-gui-config.png");
    failures += !SaveOnSmallScreen(config, folder + "/dialog-gui-config-small-screen.png");

    CDlgEDIDConfig edid;
    edid.m_GUI = &gui;
    edid.openFresh();
    if (xandrel::LoadEdidFile(edidFile, edid.m_EDID, error)) {
        edid.m_Pad1->ShowBlock(edid.m_EDID.data());
        edid.m_Pad2->ShowBlock(edid.m_EDID.data() + 128);
    }
    failures += !Save(edid, folder + "/dialog-edid-page1.png");
    edid.m_Tab->setCurrentIndex(1);
    failures += !Save(edid, folder + "/dialog-edid-page2.png");
    failures += !SaveOnSmallScreen(edid, folder + "/dialog-edid-small-screen.png");
    // A write to a slow device, half way: progress, state and Stop.
    device->command("fault delay 30");
    edid.m_WriteSource->setCurrentIndex(edid.m_WriteSource->findText("pc memory"));
    edid.m_WriteTarget->setCurrentIndex(edid.m_WriteTarget->findText("input 2"));
    edid.OnWriteEDID();
    QDeadlineTimer halfWay(3000);
    while (device->frames().size() < 16 && !halfWay.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    failures += !Save(edid, folder + "/dialog-edid-busy.png");
    edid.OnStop();
    WaitForExchanges();
    std::string report;
    EDID_MakeReport(edid.m_EDID, report);
    DlgEDIDInfo info(report);
    failures += !Save(info, folder + "/dialog-edid-information.png");
    xandrel::gui::DestroyLibraryWindows();  // ends the device's worker before the model goes
    return failures;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);
    // The windows remember their choices in their data folder: not in the real one.
    QTemporaryDir data;
    xandrel::gui::SetDataFolder(data.path().toStdString());
    tavrik::SetWaitFunction([](uint32_t) {});
    xandrel::gui::SetMessageHandler([](const xandrel::gui::MessageRequest&) { return QMessageBox::Ok; });
    int failures = 0;
    for (const char* className :
         {"INFOHDMIMATRIX0001_4_4", "INFOHDMIMATRIX0001_8_8", "INFOHDMIMATRIX0001_4_8", "INFOHDMIMATRIX0001_8_4"}) {
        const QString file = folder + "/matrix-" + QString(className).mid(19).replace('_', 'x') + ".png";
        if (SaveMatrixWindow(className, file))
            std::printf("%s\n", file.toLocal8Bit().constData());
        else
            ++failures;
    }
    for (const char* className : {"INFOHDMIMATRIX0001_4_4", "INFOHDMIMATRIX0001_8_8", "INFOVGAMATRIX_5_5"})
        failures += !SaveLiveWindow(className, folder + "/live-" + xandrel::FindModel(className)->shortName + ".png");
    failures += SaveDialogs(folder, argc > 2 ? argv[2] : "");
    return failures == 0 ? 0 : 1;
}
