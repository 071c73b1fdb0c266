// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The matrix window on a model bound to the simulated device over a
// pseudo-terminal, with message boxes recorded instead of shown and every
// pause of the system skipped.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "SimulatedDevice.h"
#include "VirtualClock.h"
#include "WindowExchanges.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/gui/CMatrix0001Frame.h"
#include "xandrel/gui/CMatrix0001View.h"
#include "xandrel/gui/GUIDEVICEMATRIXBASE.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MessageBoxes.h"

namespace guitest {

using quellix::sim::Bytes;
namespace fs = std::filesystem;

class MatrixWindow : public ::testing::Test {
protected:
    static constexpr int kPort = 150;

    void SetUp() override { start("INFOHDMIMATRIX0001_8_8"); }

    void TearDown() override
    {
        xandrel::gui::DestroyLibraryWindows();
        xandrel::gui::SetMessageHandler({});
        tavrik::PortTable::instance().forgetRunTimeAdditions();
        fs::remove_all(dataFolder.parent_path());
    }

    // A fresh device of `className`, its model bound and the port open; the
    // window is not made yet (see show()), so ds.dat can be written first.
    void start(const char* className, uint8_t deviceId = 255)
    {
        xandrel::gui::DestroyLibraryWindows();
        dataFolder = fs::path(::testing::TempDir()) / ("matrix-window-" + std::to_string(::getpid())) / "data";
        fs::create_directories(dataFolder);
        xandrel::gui::SetDataFolder(dataFolder.string());
        // The ID check every 10 s adds frames of its own; the tests of the
        // line's lamp turn it on.
        std::ofstream(dataFolder / "window.json") << R"({"check_device": false})";
        quellix::sim::SimOptions options;
        options.model = xandrel::FindModel(className);
        options.deviceId = deviceId;
        options.log = [](const std::string&) {};
        std::string error;
        device.reset();
        device = quellix::sim::SimulatedDevice::Start(options, error);
        ASSERT_TRUE(device) << error;
        tavrik::PortTable::instance().assign(kPort, device->address());
        model = xandrel::CreateModel(*options.model);
        driver = std::make_unique<INFOPORTDRIVER>();
        model->DEVMA_SetPortDriver(driver.get());
        ASSERT_EQ(driver->RS232_OpenPort(kPort, 9600), 1);
        gui.m_Device = model.get();
        messages.clear();
        xandrel::gui::SetMessageHandler([this](const xandrel::gui::MessageRequest& request) {
            messages.push_back(request.text);
            return QMessageBox::Ok;
        });
    }

    CMatrix0001Frame& show(int closeHost = 0)
    {
        record.m_Title = QStringLiteral("host title");
        record.m_HostWnd = &host;
        record.m_CloseHost = closeHost;
        gui.DEVMA_GUIVideoSwitchWindow(1, &record);
        CMatrix0001Frame* frame = xandrel::gui::MatrixFrame();
        EXPECT_NE(frame, nullptr);
        return *frame;
    }

    CMatrix0001View& view() { return *xandrel::gui::MatrixFrame()->view(); }

    void writeStringTable(const std::string& text) { std::ofstream(dataFolder / "ds.dat", std::ios::binary) << text; }

    // The payload of the last routing write the device took (each is read
    // back after it).
    Bytes lastPayload() const
    {
        const auto frames = device->frames();
        for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame)
            if ((*frame)[6] == 0x02)
                return Bytes(frame->begin() + 7, frame->end() - 1);
        return {};
    }

    // A change at the device's front panel. Its event message reaches the
    // line a moment later, and the next exchange takes it: a command before
    // its answer (which tells the whole state anyway), the poll as its
    // message (see PollUntil()).
    void frontPanel(const std::string& command) { device->command(command); }

    // Runs the device poll until `shown` holds, at most 5 s: the event
    // message of a front-panel change may still be on its way.
    static bool PollUntil(CMatrix0001Frame& frame, const std::function<bool()>& shown)
    {
        return QTest::qWaitFor(
            [&] {
                frame.OnPollTimer();
                finish();
                return shown();
            },
            5000);
    }

    // Waits until every exchange the windows started has ended and handed
    // back its result (they run on the device's worker thread).
    static void finish() { testsupport::FinishExchanges(); }

    // Hands the next modal dialog to `look` once it is up, then accepts it.
    void answerNextModal(std::function<void(QDialog*)> look)
    {
        auto* watcher = new QTimer(&host);
        watcher->setInterval(5);
        QObject::connect(watcher, &QTimer::timeout, watcher, [watcher, look] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                watcher->deleteLater();
                watcher->stop();
                look(dialog);
                dialog->accept();
            }
        });
        watcher->start();
    }

    // Closes the modal dialog that the next step opens, once it is up.
    static void CloseNextModal()
    {
        QTimer::singleShot(0, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
    }

    testsupport::NoWaiting noWaiting;
    fs::path dataFolder;
    std::unique_ptr<quellix::sim::SimulatedDevice> device;
    std::unique_ptr<INFODEVICEMATRIXBASE> model;
    std::unique_ptr<INFOPORTDRIVER> driver;
    GUIDEVICEMATRIXBASE gui;
    INFOGUIPDATA record;
    QWidget host;
    std::vector<QString> messages;
};

}  // namespace guitest
