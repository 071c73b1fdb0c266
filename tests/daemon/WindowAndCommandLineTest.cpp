// SPDX-License-Identifier: GPL-3.0-or-later
// The matrix window and quellix-cli on one device's shared line at once.
// quellixd runs as a program (it links the core alone, this test the whole
// library); the simulated device runs in this process, where its frames and
// trace can be read.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QProcess>
#include <QTcpSocket>
#include <QRegularExpression>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>

#include "ProcessRunner.h"
#include "SimulatedDevice.h"
#include "VirtualClock.h"
#include "WindowExchanges.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/gui/CMatrix0001Frame.h"
#include "xandrel/gui/CMatrix0001View.h"
#include "xandrel/gui/GUIDEVICEMATRIXBASE.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MessageBoxes.h"

namespace {

namespace fs = std::filesystem;
using quellix::sim::Bytes;

class WindowBesideCommandLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::path(::testing::TempDir()) / ("window-beside-cli-" + std::to_string(::getpid()));
        fs::create_directories(folder / "data");
        xandrel::gui::SetDataFolder((folder / "data").string());
        xandrel::gui::SetMessageHandler([this](const xandrel::gui::MessageRequest& request) {
            messages.push_back(request.text.toStdString());
            return QMessageBox::Ok;
        });

        quellix::sim::SimOptions options;
        options.model = xandrel::FindModel("INFOHDMIMATRIX0001_8_8");
        options.deviceId = 4;
        options.tcp = true;
        options.trace = true;
        options.log = [this](const std::string& line) {
            std::lock_guard lock(mutex_);
            simLog_.push_back(line);
        };
        std::string error;
        device = quellix::sim::SimulatedDevice::Start(options, error);
        ASSERT_TRUE(device) << error;

        const std::string config = (folder / "quellixd.conf").string();
        std::ofstream(config) << R"({"http_port": 0, "poll_ms": 100, "devices": [{"name": "studio", "port": ")"
                              << device->address() << R"(", "model": "8x8", "line_port": 0}]})";
        daemon.setProcessChannelMode(QProcess::MergedChannels);
        daemon.start(QUELLIXD, {"--config", QString::fromStdString(config)});
        const QRegularExpression linePort("shared line on port (\\d+)");
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                daemonOutput += daemon.readAll();
                return daemonOutput.contains("device studio: online") || daemon.state() == QProcess::NotRunning;
            },
            20000))
            << daemonOutput.toStdString();
        const QRegularExpressionMatch match = linePort.match(QString::fromUtf8(daemonOutput));
        ASSERT_TRUE(match.hasMatch() && daemonOutput.contains("online")) << daemonOutput.toStdString();
        line = "tcp://127.0.0.1:" + match.captured(1).toStdString();
        const QRegularExpressionMatch api =
            QRegularExpression("HTTP API on http://[^:]+:(\\d+)/").match(QString::fromUtf8(daemonOutput));
        ASSERT_TRUE(api.hasMatch()) << daemonOutput.toStdString();
        httpPort = api.captured(1).toUShort();
    }

    void TearDown() override
    {
        xandrel::gui::DestroyLibraryWindows();
        xandrel::gui::SetMessageHandler({});
        tavrik::PortTable::instance().forgetRunTimeAdditions();
        for (QProcess* process : {&watch, &daemon}) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(5000))
                    process->kill();
                process->waitForFinished(5000);
            }
        }
        fs::remove_all(folder);
    }

    // The matrix window on a model whose port is the daemon's shared line.
    CMatrix0001Frame& showWindow()
    {
        model = xandrel::CreateModel(*xandrel::FindModel("INFOHDMIMATRIX0001_8_8"));
        model->DEVMA_SetPortDriver(&driver);
        std::string problem;
        const int port = tavrik::ResolvePort(line, problem);
        EXPECT_EQ(driver.RS232_OpenPort(port, 9600), 1) << problem;
        gui.m_Device = model.get();
        record.m_HostWnd = &host;
        gui.DEVMA_GUIVideoSwitchWindow(1, &record);
        return *xandrel::gui::MatrixFrame();
    }

    // The status of one HTTP PUT to the daemon.
    int put(const QByteArray& path, const QByteArray& body) const
    {
        QTcpSocket socket;
        socket.connectToHost("127.0.0.1", httpPort);
        if (!socket.waitForConnected(5000))
            return 0;
        socket.write("PUT " + path + " HTTP/1.1\r\nHost: localhost\r\nContent-Type: application/json\r\n"
                     + "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        QByteArray answer;
        while (!answer.contains("\r\n\r\n") && socket.waitForReadyRead(15000))
            answer += socket.readAll();
        return answer.mid(9, 3).toInt();
    }

    std::vector<std::string> cli(std::vector<std::string> arguments) const
    {
        std::vector<std::string> all{"--port", line, "--model", "8x8"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return all;
    }

    int simLogged(const std::string& text)
    {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count_if(simLog_.begin(), simLog_.end(),
                                              [&](const std::string& l) { return l.find(text) != std::string::npos; }));
    }

    testsupport::NoWaiting noWaiting;  // the window's pacing; the line's read time-outs still hold
    fs::path folder;
    std::unique_ptr<quellix::sim::SimulatedDevice> device;
    QProcess daemon;
    QByteArray daemonOutput;
    std::string line;
    quint16 httpPort = 0;
    QProcess watch;
    std::unique_ptr<INFODEVICEMATRIXBASE> model;
    INFOPORTDRIVER driver;
    GUIDEVICEMATRIXBASE gui;
    INFOGUIPDATA record;
    QWidget host;
    std::vector<std::string> messages;

private:
    std::mutex mutex_;
    std::vector<std::string> simLog_;
};

// The command line routes while the window polls; the window then reads
// what it routed. A front-panel change reaches the window (by its own poll
// timer) and a listening `watch` alike.
TEST_F(WindowBesideCommandLine, BothFollowTheDeviceThroughTheDaemon)
{
    CMatrix0001Frame& frame = showWindow();
    ASSERT_TRUE(frame.PollTimerActive());

    // Each route is read back: the window only reads, so nothing else writes.
    auto routed = std::async(std::launch::async, [&] {
        std::vector<testsupport::ProcessResult> results;
        for (const char* pairs : {"1:2", "2:3,3:4", "8:6"})
            results.push_back(testsupport::RunProcess(QUELLIX_CLI, cli({"route", pairs})));
        return results;
    });
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return routed.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 60000));
    for (const auto& result : routed.get())
        EXPECT_EQ(result.exitCode, 0) << result.err;
    const Bytes expected{2, 3, 4, 1, 1, 1, 1, 6};
    EXPECT_EQ(device->routing(), expected);
    frame.OnCommand(CMatrix0001Frame::ID_MATRIX_LINKAGE);
    testsupport::FinishExchanges();
    for (int o = 0; o < 8; ++o)
        EXPECT_EQ(frame.view()->OutputList(o)->currentIndex(), expected[o] - 1) << "output " << o + 1;

    watch.start(QUELLIX_CLI, [&] {
        QStringList words;
        for (const std::string& word : cli({"--json", "watch", "--interval", "100", "--count", "1"}))
            words << QString::fromStdString(word);
        return words;
    }());
    QByteArray watchErrors;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            watchErrors += watch.readAllStandardError();
            return watchErrors.contains("watching") || watch.state() == QProcess::NotRunning;
        },
        20000));
    ASSERT_TRUE(watchErrors.contains("watching")) << watchErrors.toStdString();

    device->command("route 3 5");
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.view()->OutputList(2)->currentIndex() == 4; },
                                4 * CMatrix0001Frame::kPollIntervalMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(watch.exitCode(), 0) << watch.readAllStandardError().toStdString();
    const QByteArray told = watch.readAllStandardOutput();
    EXPECT_TRUE(told.contains(R"("event":"routing")") && told.contains(R"("routing":[2,3,5,1,1,1,1,6])"))
        << told.toStdString();

    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_EQ(simLogged("ignored"), 0);
}

// A change made through the HTTP API reaches the window on the shared line
// by its own poll: the daemon tells every line client in the device's format.
TEST_F(WindowBesideCommandLine, WindowFollowsAnHttpChange)
{
    CMatrix0001Frame& frame = showWindow();
    frame.OnCommand(CMatrix0001Frame::ID_MATRIX_LINKAGE);
    testsupport::FinishExchanges();
    ASSERT_EQ(put("/api/devices/studio/routing", R"({"1": 8})"), 200);
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.view()->OutputList(0)->currentIndex() == 7; },
                                2 * CMatrix0001Frame::kPollIntervalMs));
}

}  // namespace
