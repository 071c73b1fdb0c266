// SPDX-License-Identifier: GPL-3.0-or-later
// Routing, signals, device ID, the families' full refresh and the port scan,
// in virtual time against scripted devices.
#include <gtest/gtest.h>

#include "Frames.h"
#include "ScriptedPort.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/device/Discovery.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/device/MatrixModels.h"
#include "xandrel/device/RoutingCheck.h"

using namespace testsupport;

namespace {

class DeviceOperations : public ::testing::Test {
protected:
    void bind(INFODEVICEMATRIXBASE& model)
    {
        model.DEVMA_SetPortDriver(&driver);
        ASSERT_EQ(driver.RS232_OpenPort(3, 9600), 1);
    }

    static Bytes routingOf(const INFODEVICEMATRIXBASE& model)
    {
        return {model.m_VideoOutputChannel.get(), model.m_VideoOutputChannel.get() + model.m_OutputNumber};
    }

    VirtualClock clock;
    ScriptedPorts ports{clock};
    std::shared_ptr<ScriptedLine> line = ports.device(3);
    INFOPORTDRIVER driver;
};

TEST_F(DeviceOperations, Hdmi4x4SendsEveryRoutingChangedOrNot)
{
    INFOHDMIMATRIX0001_4_4 model;
    bind(model);
    const BYTE same[] = {1, 1, 1, 1};
    line->answer(Acknowledged());

    ASSERT_EQ(model.DEVMA_SetVideoOutputChannel(same), 1);

    ASSERT_EQ(line->written.size(), 1u);
    EXPECT_EQ(line->written[0], CommandFrame(model, 0x02, {1, 1, 1, 1}));
    EXPECT_EQ(line->written[0][0], 12);
}

TEST_F(DeviceOperations, Hdmi8x8SkipsUnchangedRoutingEvenWithThePortClosed)
{
    INFOHDMIMATRIX0001_8_8 model;
    const BYTE same[] = {1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(model.DEVMA_SetVideoOutputChannel(same), 1);
    EXPECT_TRUE(line->written.empty());
    EXPECT_EQ(model.m_ErrorCode, 0);
}

TEST_F(DeviceOperations, Hdmi8x8RoutingFrameIs16BytesWithA16ByteReply)
{
    INFOHDMIMATRIX0001_8_8 model;
    bind(model);
    const BYTE routing[] = {2, 2, 3, 3, 4, 4, 5, 5};
    line->answer(Acknowledged());  // the 16-byte reply is missing
    EXPECT_EQ(model.DEVMA_SetVideoOutputChannel(routing), 0);
    EXPECT_EQ(routingOf(model), Bytes(8, 1)) << "a failed write keeps the old routing";

    line->answer(Acknowledged(Bytes(16, 0x00)));
    ASSERT_EQ(model.DEVMA_SetVideoOutputChannel(routing), 1);
    EXPECT_EQ(line->written.back(), CommandFrame(model, 0x02, {2, 2, 3, 3, 4, 4, 5, 5}));
    EXPECT_EQ(routingOf(model), Bytes(std::begin(routing), std::end(routing)));
}

TEST_F(DeviceOperations, Hdmi8x4PadsTheRoutingFrameWithNoInput)
{
    INFOHDMIMATRIX0001_8_4 model;
    bind(model);
    const BYTE routing[] = {8, 7, 6, 5};
    line->answer(Acknowledged(Bytes(16, 0)));
    ASSERT_EQ(model.DEVMA_SetVideoOutputChannel(routing), 1);
    EXPECT_EQ(line->written[0], CommandFrame(model, 0x02, {8, 7, 6, 5, 0, 0, 0, 0}));
}

TEST_F(DeviceOperations, ReadsRoutingAndWidensSignals)
{
    INFOVGAMATRIX_5_5 model;
    bind(model);
    line->answer(Acknowledged({0x11, 5, 4, 3, 2, 1, 0x22}));
    line->answer(Acknowledged({0x11, 1, 0, 0, 1, 1, 0x22}));

    ASSERT_EQ(model.DEVMA_GetVideoOutputChannel(), 1);
    ASSERT_EQ(model.DEVMA_GetVideoInputSignal(), 1);

    EXPECT_EQ(line->written[1], CommandFrame(model, 0x03));
    EXPECT_EQ(routingOf(model), (Bytes{5, 4, 3, 2, 1}));
    const std::vector<uint32_t> signals(model.m_VideoInputSignal.get(), model.m_VideoInputSignal.get() + 5);
    EXPECT_EQ(signals, (std::vector<uint32_t>{1, 0, 0, 1, 1}));
}

TEST_F(DeviceOperations, AnswersWithEntriesBeyondTheModelAreRefusedAndChangeNothing)
{
    INFOVGAMATRIX_5_5 model;
    bind(model);
    line->answer(Acknowledged({0x11, 0, 4, 0xAA, 2, 1, 0x22}));  // 0 (no input) is fine; 170 is no input
    line->answer(Acknowledged({0x11, 1, 0, 0xAA, 1, 1, 0x22}));
    EXPECT_EQ(model.DEVMA_GetVideoOutputChannel(), 0);
    EXPECT_EQ(model.m_ErrorCode, 2);
    EXPECT_EQ(model.LastAnswerProblem(), "output 3: input 170, but the device has 5 inputs");
    EXPECT_EQ(routingOf(model), Bytes(5, 1));
    EXPECT_EQ(model.DEVMA_GetVideoInputSignal(), 0);
    EXPECT_EQ(model.LastAnswerProblem(), "input 3: signal value 170 (0 or 1 expected)");
    EXPECT_EQ(model.m_VideoInputSignal[0], 0u);

    line->answer(Acknowledged({0x11, 0, 4, 3, 2, 1, 0x22}));
    EXPECT_EQ(model.DEVMA_GetVideoOutputChannel(), 1);
    EXPECT_EQ(routingOf(model), (Bytes{0, 4, 3, 2, 1}));
    EXPECT_TRUE(model.LastAnswerProblem().empty());
}

TEST_F(DeviceOperations, SetDeviceIdSendsTheNewIdAtTheCurrentOne)
{
    INFOSDISWITCH_8 model;
    bind(model);
    model.m_DeviceID = 4;
    line->answer(Acknowledged());

    ASSERT_EQ(model.DEVMA_SetDeviceID(17), 1);

    EXPECT_EQ(line->written[0], CommandFrame(model, 0x05, {17}, 4));
    EXPECT_EQ(model.m_DeviceID, 17);
}

TEST_F(DeviceOperations, IdQueryAsksAnyDeviceOnceAndRestoresTheIdWhenNoneAnswers)
{
    INFOHDMIMATRIX0001_4_4 model;
    bind(model);
    model.m_DeviceID = 6;
    model.m_RetryTimes = 3;

    EXPECT_EQ(model.DEVMA_GetDeviceID(), 0);
    ASSERT_EQ(line->written.size(), 1u);
    EXPECT_EQ(line->written[0], CommandFrame(model, 0x04, {}, 255));
    EXPECT_EQ(model.m_DeviceID, 6);
    EXPECT_EQ(model.m_RetryTimes, 1);
    EXPECT_EQ(driver.m_ReadTimes, 15);

    line->answer(Acknowledged({0x00, 42, 0x00}));
    ASSERT_EQ(model.DEVMA_GetDeviceID(), 1);
    EXPECT_EQ(model.m_DeviceID, 42);
}

TEST_F(DeviceOperations, Hdmi8x8IdQueryUsesTheModelsOwnIdAndSettings)
{
    INFOHDMIMATRIX0001_4_8 model;
    bind(model);
    model.m_DeviceID = 6;
    model.m_RetryTimes = 2;
    driver.m_ReadTimes = 4;
    line->answer(Acknowledged({0x00, 9, 0x00}));

    ASSERT_EQ(model.DEVMA_GetDeviceID(), 1);

    EXPECT_EQ(line->written[0], CommandFrame(model, 0x04, {}, 6));
    EXPECT_EQ(model.m_DeviceID, 9);
    EXPECT_EQ(model.m_RetryTimes, 2);
    EXPECT_EQ(driver.m_ReadTimes, 4);
}

TEST_F(DeviceOperations, FullRefreshFollowsTheFamily)
{
    INFOHDMIMATRIX0001_4_4_C hdmi;
    bind(hdmi);
    line->answer(Acknowledged({0, 1, 1, 0, 0, 0}));
    line->answer(Acknowledged({0, 4, 3, 2, 1, 0}));
    ASSERT_EQ(hdmi.DEVMA_GetDeviceAllStatus(), 1);
    ASSERT_EQ(line->written.size(), 2u);
    EXPECT_EQ(line->written[0][6], 0x03) << "signals first";
    EXPECT_EQ(line->written[1][6], 0x01) << "then routing";
    EXPECT_EQ(routingOf(hdmi), (Bytes{4, 3, 2, 1}));

    line->written.clear();
    EXPECT_EQ(hdmi.DEVMA_GetDeviceAllStatus(), 0) << "no answer to the signal read";
    EXPECT_EQ(line->written.size(), 1u) << "the routing is not read after a failed signal read";

    INFOVGAMATRIX_2_4 vga;
    vga.DEVMA_SetPortDriver(&driver);
    line->written.clear();
    line->answer(Acknowledged({0, 2, 2, 1, 1, 0}));
    ASSERT_EQ(vga.DEVMA_GetDeviceAllStatus(), 1);
    ASSERT_EQ(line->written.size(), 1u);
    EXPECT_EQ(line->written[0][6], 0x01);

    INFOSDISWITCH_8_2 sdi;
    sdi.DEVMA_SetPortDriver(&driver);
    line->written.clear();
    const auto waitsBefore = clock.waits().size();
    EXPECT_EQ(sdi.DEVMA_GetDeviceAllStatus(), 0);
    EXPECT_TRUE(line->written.empty());
    EXPECT_EQ(clock.waits().size(), waitsBefore);
}

TEST_F(DeviceOperations, OperationsWithoutADeviceCommandAnswerAtOnce)
{
    INFOVGASWITCH_4 model;
    bind(model);
    BYTE buffer[4] = {7, 7, 7, 7};
    EXPECT_EQ(model.DEVMA_GetFirmwareString(buffer, 4), 1);
    EXPECT_EQ(Bytes(buffer, buffer + 4), Bytes(4, 7));
    EXPECT_EQ(model.DEVMA_SetAudioOutputChannel(buffer), 0);
    EXPECT_EQ(model.DEVMA_GetAudioInputSignal(), 0);
    EXPECT_EQ(model.DEVMA_GetAudioOutputChannel(), 0);
    EXPECT_EQ(model.DEVMA_GetMachineModeHeader(), 0);
    EXPECT_EQ(model.DEVMA_SetVideoChannel(1, 1), 0);
    EXPECT_EQ(model.DEVMA_SetAudioChannel(1, 1), 0);
    EXPECT_TRUE(line->written.empty());
}

TEST_F(DeviceOperations, ScanProbesFreePortsAndSkipsThoseInUse)
{
    auto first = ports.device(2);
    first->answer(Acknowledged({0, 5, 0}));
    ports.refusing(4, tavrik::OpenStatus::InUse);
    line->silence();  // COM3: a free port without a device
    auto last = ports.device(6);
    last->answer(Acknowledged({0, 9, 0}));
    INFOHDMIMATRIX0001_4_4 model;
    model.DEVMA_SetPortDriver(&driver);
    model.m_DeviceID = 1;

    BYTE* found = nullptr;
    BYTE count = 0;
    ASSERT_EQ(model.DEVMA_ScanPort(&found, &count), 1);

    EXPECT_EQ(Bytes(found, found + count), (Bytes{2, 6}));
    EXPECT_EQ(ports.openAttempts[4], 2) << "probed twice by the listings, never opened by the scan";
    EXPECT_EQ(ports.openAttempts[6], 3) << "a port after the one in use is still probed";
    EXPECT_EQ(driver.RS232_IsOpen(), 0) << "the scan closes the port";
    EXPECT_EQ(model.m_DeviceID, 9) << "the last device that answered";
}

TEST_F(DeviceOperations, ScanWithoutDevicesReportsNothing)
{
    INFOSDISWITCH_5 model;
    model.DEVMA_SetPortDriver(&driver);
    BYTE* found = nullptr;
    BYTE count = 77;
    EXPECT_EQ(model.DEVMA_ScanPort(&found, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(model.m_DeviceID, 255);

    BYTE* untouched = nullptr;
    BYTE untouchedCount = 5;
    EXPECT_EQ(model.DEVMA_ScanPortDeviceID(3, &untouched, &untouchedCount), 0);
    EXPECT_EQ(untouched, nullptr);
    EXPECT_EQ(untouchedCount, 5);
    EXPECT_EQ(driver.RS232_IsOpen(), 0);
}

TEST_F(DeviceOperations, RoutingIsConfirmedByReadingItBack)
{
    INFOVGAMATRIX_5_5 model;
    bind(model);
    line->answer(Acknowledged({0x01, 2, 2, 3, 4, 5, 0x11}));
    EXPECT_EQ(xandrel::ConfirmRouting(model, {2, 2, 3, 4, 5}), "");
    line->answer(Acknowledged({0x01, 1, 2, 3, 2, 5, 0x11}));
    EXPECT_EQ(xandrel::ConfirmRouting(model, {2, 2, 3, 4, 5}),
              "output 1 is on input 1, not 2; output 4 is on input 2, not 4");
    EXPECT_EQ(routingOf(model), (Bytes{1, 2, 3, 2, 5})) << "the model holds what the device reports";
    line->silence();
    EXPECT_NE(xandrel::ConfirmRouting(model, {2, 2, 3, 4, 5}).find("could not be read back"), std::string::npos);
}

TEST_F(DeviceOperations, DiscoveryAsksEveryHeaderAndTheDeepSearchEvery8x8Id)
{
    ASSERT_EQ(driver.RS232_OpenPort(3, 9600), 1);
    for (int k = 0; k < 4; ++k)
        line->silence();  // the four SDI switches
    line->answer(Acknowledged({0x00, 0, 0x00}));
    std::vector<xandrel::DiscoveredDevice> found = xandrel::DiscoverOnPort(driver, {});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(xandrel::DescribeDiscovered(found[0]), "4x4-c, 4x4-h, 4x4 at ID 0");
    ASSERT_EQ(line->written.size(), 12u) << "11 headers, the 8x8 family at ID 0 and 255";
    EXPECT_EQ(line->written[4], CommandFrame(INFOHDMIMATRIX0001_4_4(), 0x04, {}, 255));
    EXPECT_EQ(line->written[5][5], 0) << "the 8x8 family at its factory ID";

    line->written.clear();
    const BYTE readTimes = driver.m_ReadTimes;
    for (int k = 0; k < 5 + 9; ++k)
        line->silence();  // SDI, the 4x4 family, then the 8x8 family at ID 0 to 8
    line->answer(Acknowledged({0x00, 9, 0x00}));
    found = xandrel::DiscoverOnPort(driver, {.deep = true, .progress = {}});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].id, 9);
    EXPECT_EQ(found[0].models.front()->family, xandrel::ModelFamily::Hdmi8x8);
    EXPECT_EQ(line->written.size(), 5u + 10u + 5u) << "no 8x8 query after the answer";
    EXPECT_EQ(driver.m_ReadTimes, readTimes) << "the driver's settings come back";

    line->written.clear();
    xandrel::DiscoveryOptions stopAfterThree{.deep = true, .progress = [](int asked, int) { return asked < 3; }};
    EXPECT_TRUE(xandrel::DiscoverOnPort(driver, stopAfterThree).empty());
    EXPECT_EQ(line->written.size(), 3u);
}

}  // namespace
