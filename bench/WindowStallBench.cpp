// SPDX-License-Identifier: GPL-3.0-or-later
// Does the matrix window stay live while the line is busy? The real window
// (frame, view, bars, EDID dialog) drives the simulated device at 9600 baud
// with real pauses; a 5 ms timer on the window's thread measures how late the
// event loop comes round (its lateness is how long the window did not answer)
// while the port is open and idle (the poll runs every 2 s), during Linkage,
// during EDID copies, reads and writes. Then clicks on a rested line, made
// during an idle poll and between polls: how long until the frame is on the
// line.
//
// Usage: window_stall_bench [--idle-seconds N] [--clicks N]
// Run it under a display (xvfb-run) or with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "SimulatedDevice.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/edid/CDlgEDIDConfig.h"
#include "xandrel/gui/CMatrix0001Frame.h"
#include "xandrel/gui/CMatrix0001View.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/GUIDEVICEMATRIXBASE.h"
#include "xandrel/gui/MessageBoxes.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPortNumber = 241;
constexpr int kTickMs = 5;

// Runs the window's event loop for `ms`.
void Spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds (or 60 s have passed).
template <typename Predicate>
bool SpinUntil(Predicate done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 60000)
            return false;
        Spin(1);
    }
    return true;
}

// How late a 5 ms timer on the window's thread fires, while it is armed.
class LatenessProbe {
public:
    LatenessProbe()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kTickMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const double ms = clock_.nsecsElapsed() / 1e6;
            clock_.restart();
            samples_.push_back(std::max(0.0, ms - kTickMs));
        });
    }
    void start()
    {
        samples_.clear();
        clock_.start();
        span_.start();
        timer_.start();
    }
    void stop()
    {
        timer_.stop();
        spanMs_ = span_.elapsed();
    }

    void report(const char* what) const
    {
        std::vector<double> sorted = samples_;
        std::sort(sorted.begin(), sorted.end());
        const double longest = sorted.empty() ? 0 : sorted.back();
        const double p99 = sorted.empty() ? 0 : sorted[static_cast<size_t>(0.99 * (sorted.size() - 1))];
        std::printf("| %-44s | %8.1f ms | %8.1f ms | %7.1f s |\n", what, longest, p99, spanMs_ / 1000.0);
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    QElapsedTimer span_;
    qint64 spanMs_ = 0;
    std::vector<double> samples_;
};

bool Idle()
{
    return xandrel::gui::DeviceExchanges::AllIdle();
}

struct Rig {
    std::unique_ptr<quellix::sim::SimulatedDevice> device;
    std::unique_ptr<INFODEVICEMATRIXBASE> model;
    INFOPORTDRIVER driver;
    GUIDEVICEMATRIXBASE gui;
    CMatrix0001Frame* frame = nullptr;
    std::atomic<int64_t> lastFrameAt{0};  // when the device last took a frame, in steady-clock nanoseconds

    bool start()
    {
        quellix::sim::SimOptions options;
        options.model = xandrel::FindModel("INFOHDMIMATRIX0001_8_8");
        options.deviceId = 255;
        options.faults.realBaudRate = true;
        options.trace = true;
        options.log = [this](const std::string& line) {
            if (line.rfind("rx", 0) == 0)
                lastFrameAt = Clock::now().time_since_epoch().count();
        };
        std::string error;
        device = quellix::sim::SimulatedDevice::Start(options, error);
        if (!device) {
            std::fprintf(stderr, "window_stall_bench: %s\n", error.c_str());
            return false;
        }
        tavrik::PortTable::instance().assign(kPortNumber, device->address());
        model = xandrel::CreateModel(*options.model);
        model->DEVMA_SetPortDriver(&driver);
        driver.RS232_OpenPort(kPortNumber, 9600);
        driver.RS232_ClosePort();  // the window opens it, as an operator would
        gui.m_Device = model.get();
        INFOGUIPDATA record;
        gui.DEVMA_GUIVideoSwitchWindow(1, &record);
        frame = xandrel::gui::MatrixFrame();
        frame->OnCommand(CMatrix0001Frame::ID_MATRIX_OPEN);
        return SpinUntil(Idle) && driver.RS232_IsOpen() == 1;
    }
};

void Choose(QComboBox* list, const char* text)
{
    list->setCurrentIndex(list->findText(QString::fromLatin1(text)));
}

// Runs `count` EDID exchanges from the EDID dialog, one after the other.
void EdidExchanges(CDlgEDIDConfig& dialog, int count, const char* source, const char* target)
{
    Choose(dialog.m_WriteSource, source);
    Choose(dialog.m_WriteTarget, target);
    for (int k = 0; k < count; ++k) {
        dialog.OnWriteEDID();
        SpinUntil(Idle);
    }
}

// Clicks an input button `clicks` times on a rested line, each at a random
// moment of an idle poll (which lasts about 1 s) when `duringPoll`, else
// just after a poll ended; returns how long each frame took to reach the
// device, sorted.
std::vector<double> ClickDelays(Rig& rig, int clicks, bool duringPoll)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> moment(20, 900);
    std::vector<double> delays;
    for (int k = 0; k < clicks; ++k) {
        SpinUntil(Idle);
        Spin(400);  // past the worker's 200 ms rest after the last command: the line is idle
        rig.frame->OnPollTimer();
        if (duringPoll) {
            Spin(moment(random));
        } else {
            SpinUntil(Idle);  // the next poll starts 2 s after this one ended
            Spin(250);
        }
        const int64_t before = rig.lastFrameAt;
        const auto clicked = Clock::now();
        rig.frame->view()->InputButton(1 + k % 2)->click();  // a change each time: an unchanged routing sends nothing
        if (!SpinUntil([&] { return rig.lastFrameAt != before; })) {
            std::fprintf(stderr, "window_stall_bench: the click sent nothing\n");
            std::exit(1);
        }
        const auto arrived = Clock::time_point(Clock::duration(rig.lastFrameAt.load()));
        delays.push_back(std::chrono::duration<double, std::milli>(arrived - clicked).count());
    }
    SpinUntil(Idle);
    std::sort(delays.begin(), delays.end());
    return delays;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int idleSeconds = 20;
    int clicks = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--idle-seconds") == 0)
            idleSeconds = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--clicks") == 0)
            clicks = std::atoi(argv[i + 1]);
    }
    xandrel::gui::SetMessageHandler([](const xandrel::gui::MessageRequest& request) {
        std::fprintf(stderr, "message: %s\n", request.text.toLocal8Bit().constData());
        return QMessageBox::Ok;
    });
    Rig rig;
    if (!rig.start())
        return 1;

    std::printf("Platform: %s; simulated 8x8 matrix at 9600 baud\n\n", qPrintable(QGuiApplication::platformName()));
    std::printf("| %-44s | %11s | %11s | %9s |\n", "window thread, lateness of a 5 ms timer", "longest", "99th pct.",
                "measured");
    std::printf("|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(13, '-').c_str(),
                std::string(13, '-').c_str(), std::string(11, '-').c_str());
    LatenessProbe probe;

    probe.start();
    Spin(idleSeconds * 1000);
    probe.stop();
    char what[64];
    std::snprintf(what, sizeof what, "port open, idle %d s (poll every 2 s)", idleSeconds);
    probe.report(what);

    probe.start();
    for (int k = 0; k < 10; ++k) {
        rig.frame->OnCommand(CMatrix0001Frame::ID_MATRIX_LINKAGE);
        SpinUntil(Idle);
    }
    probe.stop();
    probe.report("Linkage, 10 times");

    INFOGUIPDATA record;
    rig.gui.DEVMA_GUIEDIDConfig(1, &record);
    CDlgEDIDConfig* dialog = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* config = qobject_cast<CDlgEDIDConfig*>(window))
            dialog = config;
    if (!dialog)
        return 1;
    probe.start();
    EdidExchanges(*dialog, 5, "output 1", "default A");
    probe.stop();
    probe.report("EDID copy output 1 -> default A, 5 times");

    rig.device->command("fault no-ack");
    probe.start();
    EdidExchanges(*dialog, 1, "output 1", "default A");
    probe.stop();
    rig.device->command("fault none");
    probe.report("EDID copy, device silent (30 empty reads)");

    probe.start();
    Choose(dialog->m_ReadSource, "input 1");
    dialog->OnReadEDID();
    SpinUntil(Idle);
    probe.stop();
    probe.report("EDID read of input 1 (5 s wait + 256 bytes)");

    probe.start();
    EdidExchanges(*dialog, 1, "pc memory", "input 1");
    probe.stop();
    probe.report("EDID write to input 1 (32 chunks)");
    rig.gui.DEVMA_GUIEDIDConfig(0, &record);

    const std::vector<double> duringPoll = ClickDelays(rig, clicks, true);
    const std::vector<double> betweenPolls = ClickDelays(rig, clicks, false);
    std::printf("\nClick on an input button on a rested line, until the device has the frame (%d clicks):\n"
                "  during an idle poll: median %.1f ms, longest %.1f ms\n"
                "  between polls:       median %.1f ms, longest %.1f ms\n",
                clicks, duringPoll[duringPoll.size() / 2], duringPoll.back(), betweenPolls[betweenPolls.size() / 2],
                betweenPolls.back());
    xandrel::gui::DestroyLibraryWindows();
    return 0;
}
