// SPDX-License-Identifier: GPL-3.0-or-later
// The command frame, its acknowledgement and retries, and the event poll, in
// virtual time against a scripted device.
#include <gtest/gtest.h>

#include <algorithm>

#include "Frames.h"
#include "ScriptedPort.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/device/MatrixModels.h"
#include "xandrel/device/TrafficLog.h"

using namespace testsupport;

namespace {

class ProtocolCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        model.DEVMA_SetPortDriver(&driver);
        ASSERT_EQ(driver.RS232_OpenPort(3, 9600), 1);
    }

    size_t pacingWaits() const { return std::count(clock.waits().begin(), clock.waits().end(), 200u); }
    std::vector<uint8_t> routing() const
    {
        return {model.m_VideoOutputChannel.get(), model.m_VideoOutputChannel.get() + model.m_OutputNumber};
    }

    VirtualClock clock;
    ScriptedPorts ports{clock};
    std::shared_ptr<ScriptedLine> line = ports.device(3);
    INFOPORTDRIVER driver;
    INFOHDMIMATRIX0001_8_8 model;
};

TEST_F(ProtocolCore, RoutingReadOfAn8x8AtId0IsTheDocumentedFrame)
{
    model.m_DeviceID = 0;
    line->answer(Acknowledged({0x00, 2, 3, 4, 5, 6, 7, 8, 1, 0x99}));

    ASSERT_EQ(model.DEVMA_GetVideoOutputChannel(), 1);

    ASSERT_EQ(line->written.size(), 1u);
    EXPECT_EQ(line->written[0], (Bytes{0x08, 0x4B, 0x58, 0x73, 0x88, 0x00, 0x01, 0xA7}));
    EXPECT_EQ(routing(), (Bytes{2, 3, 4, 5, 6, 7, 8, 1}));
    EXPECT_EQ(model.m_CommandLength, 8);
    EXPECT_EQ(clock.waits().front(), 200u) << "every command waits 200 ms before its first send";
    EXPECT_EQ(model.m_ErrorCode, 0);
}

TEST_F(ProtocolCore, FailedAttemptsAreRetriedAfterDiscardingWhatArrived)
{
    model.m_RetryTimes = 3;
    line->answer({0x55, 1, 2, 3});  // wrong acknowledgement, then stray bytes
    line->silence();
    line->answer(Acknowledged({0, 1, 1, 1, 1, 1, 1, 1, 4, 0}));

    ASSERT_EQ(model.DEVMA_GetVideoOutputChannel(), 1);

    EXPECT_EQ(line->written.size(), 3u);
    EXPECT_EQ(line->discards, 3) << "each attempt starts with an empty input";
    EXPECT_EQ(pacingWaits(), 3u) << "200 ms before the first send and after each failed attempt";
    EXPECT_EQ(routing(), (Bytes{1, 1, 1, 1, 1, 1, 1, 4}));
    EXPECT_EQ(driver.m_ShowError, 1);
}

TEST_F(ProtocolCore, ExhaustedAttemptsFailWithCode2AndChangeNoState)
{
    model.m_RetryTimes = 2;
    line->answer(Acknowledged({0, 5, 5}));  // reply body cut short
    line->answer({0xAB});                   // wrong acknowledgement byte

    EXPECT_EQ(model.DEVMA_GetVideoOutputChannel(), 0);

    EXPECT_EQ(model.m_ErrorCode, 2);
    EXPECT_EQ(routing(), Bytes(8, 1));
    EXPECT_EQ(line->written.size(), 2u);
    EXPECT_EQ(driver.m_ShowError, 1);
}

TEST_F(ProtocolCore, AbsentDeviceFailsWithinOneAndAHalfSecondsFreshOrAfterAPoll)
{
    for (int run = 0; run < 2; ++run) {
        const uint64_t start = clock.now();
        EXPECT_EQ(model.DEVMA_GetVideoInputSignal(), 0);
        EXPECT_EQ(model.m_ErrorCode, 2);
        // 200 ms pacing, the failed attempt's reads, 200 ms after it.
        EXPECT_LT(clock.now() - start, 200u + 1500u + 200u) << (run == 0 ? "fresh" : "after a poll");
        model.DEVMA_GetEventMessage();
    }
}

TEST_F(ProtocolCore, DeviceAnsweringWithinHalfASecondWorksWhateverRanBefore)
{
    const Bytes signals = Acknowledged({0x03, 1, 0, 0, 0, 0, 0, 0, 0, 0x04});
    line->answerAfter(480, signals);
    EXPECT_EQ(model.DEVMA_GetVideoInputSignal(), 1) << "fresh";
    model.DEVMA_GetEventMessage();  // leaves one read try
    line->answerAfter(480, signals);
    EXPECT_EQ(model.DEVMA_GetVideoInputSignal(), 1) << "after a poll";
    line->answerAfter(480, Acknowledged({0x04, 7, 0x0B}));
    EXPECT_EQ(model.DEVMA_GetDeviceID(), 1) << "the ID query itself";
    line->answerAfter(480, signals);
    EXPECT_EQ(model.DEVMA_GetVideoInputSignal(), 1) << "after the ID query";
}

// The device needs 200 ms between exchanges: a command waits for what is
// left of them since the last exchange ended (or the port was opened, or an
// event message arrived), and a line rested long enough takes it at once.
TEST_F(ProtocolCore, CommandsRestFromTheEndOfTheLastExchange)
{
    const auto readRouting = [&] {
        line->answer(Acknowledged({0x00, 1, 1, 1, 1, 1, 1, 1, 1, 0}));
        return model.DEVMA_GetVideoOutputChannel();
    };
    ASSERT_EQ(readRouting(), 1);
    ASSERT_EQ(readRouting(), 1);
    EXPECT_EQ(clock.waits(), (std::vector<uint32_t>{200, 200})) << "a fresh port and back-to-back commands";

    clock.advance(5000);
    ASSERT_EQ(readRouting(), 1);
    clock.advance(150);
    ASSERT_EQ(readRouting(), 1);
    EXPECT_EQ(clock.waits(), (std::vector<uint32_t>{200, 200, 50})) << "after a long rest at once, else the rest";

    clock.advance(5000);
    line->arrive(EventMessage(model, 1, {2, 2, 2, 2, 2, 2, 2, 2}));
    ASSERT_EQ(model.DEVMA_GetEventMessage(), 1);
    const size_t before = clock.waits().size();
    ASSERT_EQ(readRouting(), 1);
    EXPECT_EQ(std::count(clock.waits().begin() + static_cast<long>(before), clock.waits().end(), 200u), 1)
        << "an event message is an exchange";
}

// An event message the device sends just before its answer is taken, and
// the answer still counts.
TEST_F(ProtocolCore, EventMessageBeforeTheAnswerIsTaken)
{
    Bytes answer = EventMessage(model, 2, {1, 0, 1, 0, 1, 0, 1, 0});
    const Bytes reply = Acknowledged({0x00, 3, 3, 3, 3, 3, 3, 3, 3, 0});
    answer.insert(answer.end(), reply.begin(), reply.end());
    line->answer(answer);
    ASSERT_EQ(model.DEVMA_GetVideoOutputChannel(), 1);
    EXPECT_EQ(routing(), Bytes(8, 3));
    EXPECT_EQ(model.m_VideoInputSignal[2], 1u);
    EXPECT_EQ(model.m_VideoInputSignal[3], 0u);
}

TEST_F(ProtocolCore, ZeroRetriesSendNothingAndFail)
{
    model.m_RetryTimes = 0;
    EXPECT_EQ(model.DEVMA_GetDeviceAllStatus(), 0);
    EXPECT_TRUE(line->written.empty());
    EXPECT_EQ(model.m_ErrorCode, 2);
}

TEST_F(ProtocolCore, ClosedPortFailsWithCode4WithoutCallingTheHooks)
{
    driver.RS232_ClosePort();
    driver.m_ShowError = 7;

    EXPECT_EQ(model.DEVMA_SetDeviceID(9), 0);

    EXPECT_EQ(model.m_ErrorCode, 4);
    EXPECT_EQ(driver.m_ShowError, 7);
    EXPECT_TRUE(clock.waits().empty());
    EXPECT_EQ(model.m_DeviceID, 255);
}

TEST_F(ProtocolCore, UnboundModelFailsWithCode4)
{
    INFOHDMIMATRIX0001_4_4 unbound;
    EXPECT_EQ(unbound.DEVMA_GetVideoOutputChannel(), 0);
    EXPECT_EQ(unbound.m_ErrorCode, 4);
    EXPECT_EQ(unbound.DEVMA_GetEventMessage(), 0);
}

TEST_F(ProtocolCore, FrameLengthOutsideTheProtocolIsNeverSent)
{
    model.m_Command[0] = 41;
    EXPECT_EQ(model.DEVMA_CommandTransfer(nullptr, 0), 0);
    model.m_Command[0] = 0;
    EXPECT_EQ(model.DEVMA_CommandTransfer(nullptr, 0), 0);
    EXPECT_TRUE(line->written.empty());
    EXPECT_EQ(model.m_ErrorCode, 2);
}

TEST_F(ProtocolCore, ChecksumSumsBytesModulo256)
{
    const BYTE bytes[] = {0xFF, 0x02, 0x10};
    EXPECT_EQ(model.DEVMA_CommandCheckSum(bytes, 3), 0x11);
    EXPECT_EQ(model.DEVMA_CommandCheckSum(bytes, 0), 0);
}

class EventPoll : public ProtocolCore {
protected:
    void expectSettingsRestored(const COMMTIMEOUTS& before, int32_t showError)
    {
        COMMTIMEOUTS after{};
        driver.RS232_GetTimeouts(after);
        EXPECT_EQ(after.ReadTotalTimeoutConstant, before.ReadTotalTimeoutConstant);
        EXPECT_EQ(after.ReadTotalTimeoutMultiplier, before.ReadTotalTimeoutMultiplier);
        EXPECT_EQ(driver.m_ReadTimes, 1);
        EXPECT_EQ(driver.m_ReadInterval, 1u);
        EXPECT_EQ(driver.m_ShowError, showError);
    }
};

TEST_F(EventPoll, RoutingAndSignalMessagesUpdateTheModel)
{
    line->arrive(EventMessage(model, 1, {8, 7, 6, 5, 4, 3, 2, 1}));
    line->arrive(EventMessage(model, 2, {1, 0, 1, 0, 0, 0, 0, 1, 0xEE}));  // a spare byte is read and ignored

    ASSERT_EQ(model.DEVMA_GetEventMessage(), 1);
    EXPECT_EQ(model.m_EventType, 1);
    EXPECT_EQ(routing(), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));

    ASSERT_EQ(model.DEVMA_GetEventMessage(), 1);
    EXPECT_EQ(model.m_EventType, 2);
    EXPECT_EQ(model.m_VideoInputSignal[0], 1u);
    EXPECT_EQ(model.m_VideoInputSignal[1], 0u);
    EXPECT_EQ(model.m_VideoInputSignal[7], 1u);
    EXPECT_TRUE(line->written.empty()) << "nothing is sent in answer";
}

TEST_F(EventPoll, ForeignMessagesAreDroppedWithoutDisturbingTheNext)
{
    model.m_DeviceID = 0;
    INFOVGAMATRIX_5_5 other;
    Bytes foreign = EventMessage(other, 1, {2, 2, 2, 2, 2, 2, 2, 2});
    INFOHDMIMATRIX0001_8_8 elsewhere;
    elsewhere.m_DeviceID = 3;
    Bytes otherDevice = EventMessage(elsewhere, 1, {3, 3, 3, 3, 3, 3, 3, 3});
    Bytes shortRouting = EventMessage(model, 1, {4, 4, 4});  // fewer entries than outputs
    Bytes unknownType = EventMessage(model, 9, {5, 5, 5, 5, 5, 5, 5, 5});
    Bytes beyondTheInputs = EventMessage(model, 1, {1, 1, 1, 1, 1, 1, 1, 9});
    Bytes oddSignal = EventMessage(model, 2, {1, 0, 2, 0, 0, 0, 0, 0});
    for (const Bytes& message : {foreign, otherDevice, shortRouting, unknownType, beyondTheInputs, oddSignal})
        line->arrive(message);
    line->arrive(EventMessage(model, 1, {6, 6, 6, 6, 6, 6, 6, 6}));

    for (int dropped = 0; dropped < 6; ++dropped) {
        EXPECT_EQ(model.DEVMA_GetEventMessage(), 0);
        EXPECT_EQ(model.m_EventType, 0);
    }
    EXPECT_EQ(routing(), Bytes(8, 1));
    EXPECT_EQ(model.DEVMA_GetEventMessage(), 1);
    EXPECT_EQ(routing(), Bytes(8, 6));

    model.m_DeviceID = 255;  // reaches any device: takes the messages of any ID
    line->arrive(otherDevice);
    EXPECT_EQ(model.DEVMA_GetEventMessage(), 1);
    EXPECT_EQ(routing(), Bytes(8, 3));
}

TEST_F(EventPoll, TrafficLogTellsEachFrameAndWhyAMessageWasDropped)
{
    std::vector<std::string> lines;
    {
        xandrel::traffic::Listening listening([&lines](const xandrel::traffic::Line& line) {
            lines.push_back(line.what + " | " + line.hex + " | " + line.meaning);
        });
        model.m_DeviceID = 0;
        INFOHDMIMATRIX0001_8_8 elsewhere;
        elsewhere.m_DeviceID = 3;
        line->arrive(EventMessage(elsewhere, 1, {3, 3, 3, 3, 3, 3, 3, 3}));
        EXPECT_EQ(model.DEVMA_GetEventMessage(), 0);
        line->answer(Acknowledged(Bytes(10, 2)));
        EXPECT_EQ(model.DEVMA_GetVideoOutputChannel(), 1);
    }
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(0, 11), "dropped | 0");
    EXPECT_NE(lines[0].find("another device's ID 3"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("sent | "), std::string::npos);
    EXPECT_NE(lines[1].find(" | read routing, ID 0"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2], "received | aa | acknowledged");
    EXPECT_EQ(lines[3], "received | 02 02 02 02 02 02 02 02 02 02 | answer to read routing");
    EXPECT_FALSE(xandrel::traffic::Enabled()) << "off again once nobody listens";
}

TEST_F(EventPoll, ImpossibleLengthIsDroppedAfterItsFirstByteAndSettingsComeBack)
{
    COMMTIMEOUTS before{};
    driver.RS232_GetTimeouts(before);
    for (uint8_t length : {uint8_t{0}, uint8_t{50}}) {
        line->incoming = {length, 0x4B, 0x58};
        EXPECT_EQ(model.DEVMA_GetEventMessage(), 0);
        EXPECT_EQ(line->incoming.size(), 2u) << "only the length byte is taken";
        expectSettingsRestored(before, 1);
    }
}

TEST_F(EventPoll, QuietLineIsNoFailureAndWaitsAboutOneSecond)
{
    driver.m_ShowError = 0;
    COMMTIMEOUTS before{};
    driver.RS232_GetTimeouts(before);

    EXPECT_EQ(model.DEVMA_GetEventMessage(), 0);

    EXPECT_EQ(model.m_ErrorCode, 0);
    // 20 tries of 1 ms + 1 ms a byte, 50 ms apart.
    EXPECT_EQ(clock.now(), 20u * 2u + 19u * 50u);
    expectSettingsRestored(before, 0);
}

TEST_F(EventPoll, ClosedPortGivesCode4AndKeepsShowError)
{
    driver.RS232_ClosePort();
    driver.m_ShowError = 1;
    EXPECT_EQ(model.DEVMA_GetEventMessage(), 0);
    EXPECT_EQ(model.m_ErrorCode, 4);
    EXPECT_EQ(driver.m_ShowError, 1);
}

}  // namespace
