// SPDX-License-Identifier: GPL-3.0-or-later
// The splash window: its keys, the hand-off to the matrix window with the
// title from ti.dat and the program's icon, and the model, port and ID the
// window opens with and reopens as.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "CQuellixDlg.h"
#include "SimulatedDevices.h"
#include "VirtualClock.h"
#include "WindowExchanges.h"
#include "tavrik/PortTable.h"
#include "xandrel/connect/CDlgMatrixScanPort.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/gui/CMatrix0001Frame.h"
#include "xandrel/gui/CMatrix0001View.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MessageBoxes.h"

namespace fs = std::filesystem;

namespace {

class SplashWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::path(::testing::TempDir()) / ("splash-window-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "data");
        xandrel::gui::SetDataFolder((folder / "data").string());
        xandrel::gui::SetMessageHandler([](const xandrel::gui::MessageRequest&) { return QMessageBox::Ok; });
    }
    void TearDown() override
    {
        xandrel::gui::DestroyLibraryWindows();
        xandrel::gui::SetMessageHandler({});
        fs::remove_all(folder);
    }

    testsupport::NoWaiting noWaiting;
    fs::path folder;
};

TEST_F(SplashWindow, EnterOrEscEndsTheRunBeforeTheHandOff)
{
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        CQuellixDlg splash;
        QSignalSpy finished(&splash, &QDialog::finished);
        splash.show();
        EXPECT_EQ(splash.size(), QSize(570, 270));
        EXPECT_FALSE(splash.mask().isEmpty());
        QTest::keyClick(&splash, key);
        EXPECT_EQ(finished.count(), 1);
        EXPECT_EQ(xandrel::gui::MatrixFrame(), nullptr);
    }
}

TEST_F(SplashWindow, HandOffGivesTheTitleTheIconAndTheRunToTheMatrixWindow)
{
    std::string title(300, 'T');
    title[3] = '\r';
    title[4] = '\n';
    title[280] = '\0';
    std::ofstream(folder / "data" / "ti.dat", std::ios::binary) << title << std::string(1 << 20, 'x');
    CQuellixDlg splash;
    QSignalSpy finished(&splash, &QDialog::finished);
    splash.show();
    splash.HandOff();

    CMatrix0001Frame* frame = xandrel::gui::MatrixFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(splash.isVisible());
    EXPECT_EQ(frame->m_GUIData.m_Title.size(), 255) << "the first 255 bytes, the line break kept";
    EXPECT_EQ(frame->m_GUIData.m_Title.mid(3, 2), "\r\n");
    EXPECT_EQ(frame->windowTitle(), "Matrix Control Panel") << "the window takes its caption from ds.dat";
    EXPECT_EQ(frame->windowIcon().pixmap(48).toImage(), splash.m_hIcon.pixmap(48).toImage())
        << "the program's icon at the large sizes";
    EXPECT_EQ(frame->m_GUIData.m_CloseHost, 1);
    EXPECT_EQ(splash.m_Device->m_PortDriver, &splash.m_PortDriver);

    frame->close();
    EXPECT_EQ(finished.count(), 1) << "closing the matrix window ends the run";
}

TEST_F(SplashWindow, WindowOpensAsTheModelAskedForAndReopensAsTheModelAScanFinds)
{
    auto& ports = tavrik::PortTable::instance();
    const tavrik::PortLister previousLister = ports.setLister([] { return std::vector<tavrik::SystemPort>{}; });
    auto matrix4x4 = testsupport::StartDevice("INFOHDMIMATRIX0001_4_4", [](auto& options) { options.deviceId = 2; });
    auto vga = testsupport::StartDevice("INFOVGAMATRIX_5_5", [](auto& options) { options.deviceId = 7; });
    ASSERT_TRUE(matrix4x4 && vga);
    ports.assign(201, matrix4x4->address());
    ports.assign(202, vga->address());
    std::ofstream(folder / "data" / "window.json")
        << R"({"port": ")" << matrix4x4->address() << R"(", "id": 2, "check_device": false})";

    CQuellixDlg splash(xandrel::FindModelByAnyName("4x4"));
    splash.show();
    splash.HandOff();
    CMatrix0001Frame* frame = xandrel::gui::MatrixFrame();
    ASSERT_NE(frame, nullptr);
    testsupport::FinishExchanges();
    EXPECT_EQ(frame->view()->OutputCount(), 4);
    EXPECT_EQ(frame->view()->InputButton(3)->text(), "input 4");
    ASSERT_FALSE(matrix4x4->frames().empty()) << "the remembered port was opened and the device read";
    for (const auto& sent : matrix4x4->frames()) {
        EXPECT_EQ(std::vector<uint8_t>(sent.begin() + 1, sent.begin() + 5),
                  (std::vector<uint8_t>{0x4B, 0x58, 0x73, 0x44}))
            << "the 4x4's header";
        EXPECT_EQ(sent[5], 2) << "at the remembered ID";
    }
    EXPECT_EQ(frame->view()->OutputList(0)->currentIndex(), 0) << "the routing is known";
    EXPECT_EQ(frame->menuBar()->actions().front()->menu()->actions().front()->text(), "&Model...")
        << "the host offers other models";

    INFOGUIPDATA record;
    record.m_Modal = 0;
    splash.m_GUI.DEVMA_GUISerialPortScan(1, &record);
    CDlgMatrixScanPort* scan = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<CDlgMatrixScanPort*>(window); found && found->isVisible())
            scan = found;
    ASSERT_NE(scan, nullptr);
    testsupport::FinishExchanges();
    scan->m_OtherModels->setChecked(true);
    scan->OnScan();
    ASSERT_TRUE(QTest::qWaitFor([scan] { return !scan->Scanning(); }, 20000));
    const auto items =
        scan->m_Tree->findItems(QStringLiteral("Open as VGA matrix"), Qt::MatchStartsWith | Qt::MatchRecursive);
    ASSERT_EQ(items.size(), 1) << "one item offers the VGA matrix found on COM202";
    EXPECT_TRUE(items[0]->text(0).endsWith("at ID 7")) << items[0]->text(0).toStdString();
    scan->m_Tree->setCurrentItem(items[0]);
    scan->OnOpenFound();
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return xandrel::gui::MatrixFrame() && xandrel::gui::MatrixFrame()->view()->OutputCount() == 5; }, 10000))
        << "the window reopened as the 5x5 VGA matrix";
    testsupport::FinishExchanges();
    EXPECT_EQ(splash.m_Device->m_DeviceID, 7);
    EXPECT_EQ(splash.m_PortDriver.GetPortNumber(), 202);
    EXPECT_EQ(xandrel::gui::MatrixFrame()->windowTitle(), "Matrix Control Panel");
    std::ifstream saved(folder / "data" / "window.json");
    const std::string remembered(std::istreambuf_iterator<char>(saved), {});
    EXPECT_NE(remembered.find("INFOVGAMATRIX_5_5"), std::string::npos) << remembered;
    EXPECT_NE(remembered.find(vga->address()), std::string::npos) << remembered;

    ports.setLister(previousLister);
    ports.forgetRunTimeAdditions();
}

}  // namespace
