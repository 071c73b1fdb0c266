// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port scan and device ID dialogs against simulated devices on
// pseudo-terminals: one device present, one port another program holds, one
// port where nothing answers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "SimulatedDevices.h"
#include "VirtualClock.h"
#include "WindowExchanges.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "xandrel/connect/CDlgDeviceIDSetting.h"
#include "xandrel/connect/CDlgMatrixScanPort.h"
#include "xandrel/custom/String2.h"
#include "xandrel/device/MatrixModels.h"
#include "xandrel/gui/MessageBoxes.h"

namespace {

using quellix::sim::SimulatedDevice;

std::unique_ptr<SimulatedDevice> StartDevice(int id, bool answering)
{
    return testsupport::StartDevice("INFOHDMIMATRIX0001_4_4", [&](quellix::sim::SimOptions& options) {
        options.deviceId = static_cast<uint8_t>(id);
        options.faults.dropAcknowledge = !answering;
    });
}

class ConnectDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto& table = tavrik::PortTable::instance();
        previousLister = table.setLister([] { return std::vector<tavrik::SystemPort>{}; });
        table.setPinFile("");
        present = StartDevice(6, true);
        busy = StartDevice(7, true);
        silent = StartDevice(8, false);
        table.assign(11, present->address());
        table.assign(12, busy->address());
        table.assign(123, silent->address());
        ASSERT_EQ(otherProgram.RS232_OpenPort(12, 9600), 1) << "another program holds COM12";
        model.DEVMA_SetPortDriver(&driver);
        gui.m_Device = &model;
        xandrel::gui::SetMessageHandler([this](const xandrel::gui::MessageRequest& request) {
            messages.push_back(request.text);
            return QMessageBox::Ok;
        });
    }

    void TearDown() override
    {
        xandrel::gui::DestroyLibraryWindows();  // ends the device's worker before the model goes
        otherProgram.RS232_ClosePort();
        xandrel::gui::SetMessageHandler({});
        tavrik::PortTable::instance().setLister(previousLister);
        tavrik::PortTable::instance().forgetRunTimeAdditions();
    }

    testsupport::NoWaiting noWaiting;
    tavrik::PortLister previousLister;
    std::unique_ptr<SimulatedDevice> present, busy, silent;
    INFOPORTDRIVER otherProgram;
    INFOPORTDRIVER driver;
    INFOHDMIMATRIX0001_4_4 model;
    GUIDEVICEMATRIXBASE gui;
    std::vector<QString> messages;
};

TEST_F(ConnectDialogs, ScanTellsDevicesBusyPortsAndSilentPortsApart)
{
    CDlgMatrixScanPort dialog;
    dialog.m_GUI = &gui;
    dialog.openFresh();
    testsupport::FinishExchanges();
    EXPECT_EQ(dialog.m_PortNumbers, (std::vector<int>{11, 12, 123}));
    EXPECT_EQ(dialog.m_IdList->count(), 256);
    EXPECT_EQ(dialog.m_IdList->itemText(255), "ID 255 (Super)");
    EXPECT_EQ(dialog.m_IdList->currentIndex(), 255);
    EXPECT_TRUE(dialog.m_ScanId->isChecked());

    dialog.OnScan();
    testsupport::FinishExchanges();
    EXPECT_FALSE(dialog.Scanning());
    QStringList items;
    for (int k = 0; k < dialog.m_Tree->topLevelItemCount(); ++k)
        items << dialog.m_Tree->topLevelItem(k)->text(0);
    EXPECT_EQ(items,
              (QStringList{CDlgMatrixScanPort::PortText(11) + " - Detected",
                           CDlgMatrixScanPort::PortText(12) + " - Already Open", CDlgMatrixScanPort::PortText(123)}));
    EXPECT_TRUE(busy->frames().empty()) << "a port in use is never opened";
    EXPECT_EQ(model.m_DeviceID, 6) << "the probe read the device's ID";
    EXPECT_EQ(driver.RS232_IsOpen(), 0) << "the scan leaves the port closed";

    dialog.m_Tree->topLevelItem(2)->setSelected(true);
    EXPECT_EQ(dialog.m_PortList->currentIndex(), 2) << "a three-digit number maps back whole";
    dialog.m_Tree->clearSelection();
    dialog.m_Tree->topLevelItem(0)->setSelected(true);
    EXPECT_EQ(dialog.m_PortList->currentIndex(), 0);
}

TEST_F(ConnectDialogs, OkConnectsToTheChosenPortAndReadsTheDevice)
{
    present->command("route 3 2");
    QTest::qWait(30);
    CDlgMatrixScanPort dialog;
    dialog.m_GUI = &gui;
    dialog.openFresh();
    dialog.m_IdList->setCurrentIndex(6);
    dialog.m_ScanId->setChecked(false);
    testsupport::FinishExchanges();
    dialog.OnOK();
    testsupport::FinishExchanges();
    EXPECT_EQ(driver.GetPortNumber(), 11);
    EXPECT_EQ(driver.RS232_IsOpen(), 1);
    EXPECT_EQ(model.m_DeviceID, 6);
    EXPECT_EQ(model.m_VideoOutputChannel[2], 2);
    for (const auto& frame : present->frames())
        EXPECT_NE(frame[6], 0x04) << "without Scan Device ID no ID is asked for";
    EXPECT_TRUE(messages.empty());
}

TEST_F(ConnectDialogs, ScanStopsBetweenTwoPorts)
{
    CDlgMatrixScanPort dialog;
    dialog.m_GUI = &gui;
    dialog.openFresh();
    testsupport::FinishExchanges();
    dialog.OnScan();
    dialog.OnScan();  // Stop, pressed while the scan runs
    testsupport::FinishExchanges();
    EXPECT_FALSE(dialog.Scanning());
    EXPECT_LT(dialog.m_Tree->topLevelItemCount(), 3);
}

TEST(DeviceIdText, IsAWholeNumberFrom0To255)
{
    const std::pair<const char*, int> cases[] = {
        {"7", 7},         {" 255 ", 255},
        {"0", 0},         {"007", 7},
        {"300", -1},      {"256", -1},
        {"-1", -1},       {"", -1},
        {"+12", -1},      {"12abc", -1},
        {"abc", -1},      {"1e3", -1},
        {"\xC3\xA9", -1}, {"99999999999999999999", -1},
    };
    for (const auto& [text, id] : cases) {
        const std::optional<BYTE> read = CDlgDeviceIDSetting::ReadNewId(QString::fromUtf8(text));
        EXPECT_EQ(read ? *read : -1, id) << text;
    }
}

TEST_F(ConnectDialogs, DeviceIdIsReadAndSet)
{
    ASSERT_EQ(driver.RS232_OpenPort(11, 9600), 1);
    CDlgDeviceIDSetting dialog;
    dialog.m_GUI = &gui;
    dialog.openFresh();
    EXPECT_EQ(dialog.m_GetBox->text(), "255");

    dialog.OnGet();
    testsupport::FinishExchanges();
    EXPECT_EQ(dialog.m_GetBox->text(), "6");
    dialog.m_SetBox->setText("7");
    dialog.OnSet();
    testsupport::FinishExchanges();
    EXPECT_EQ(model.m_DeviceID, 7);
    EXPECT_EQ(present->deviceId(), 7);
    const auto frames = present->frames();
    EXPECT_EQ(frames.back()[5], 6) << "sent under the old ID";
    EXPECT_EQ(frames.back()[7], 7);
    EXPECT_EQ(dialog.m_GetBox->text(), "6") << "Set leaves the read-only box alone";

    const size_t sent = present->frames().size();
    dialog.m_SetBox->setText("300");
    dialog.OnSet();
    testsupport::FinishExchanges();
    EXPECT_EQ(present->frames().size(), sent) << "an ID beyond 255 is refused, not cut to 44";
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains("0 to 255")) << messages[0].toStdString();
    EXPECT_EQ(model.m_DeviceID, 7);
    messages.clear();

    present->command("fault no-ack");
    dialog.OnGet();
    testsupport::FinishExchanges();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Com Port does not receive feedback from the device.");
    EXPECT_EQ(dialog.m_GetBox->text(), "6");
}

TEST_F(ConnectDialogs, RenameOpensTheStringTableForTheModelsPorts)
{
    CDlgDeviceIDSetting dialog;
    dialog.m_GUI = &gui;
    dialog.openFresh();
    int inputs = 0;
    QTimer::singleShot(0, [&inputs] {
        if (auto* names = qobject_cast<String2*>(QApplication::activeModalWidget())) {
            inputs = names->m_InputNumber;
            names->close();
        }
    });
    dialog.OnRename();
    EXPECT_EQ(inputs, 4);
}

}  // namespace
