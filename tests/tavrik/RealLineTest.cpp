// SPDX-License-Identifier: GPL-3.0-or-later
// The real port driver over a pseudo-terminal and over TCP, against a
// scripted device at the far end: exact bytes on the line and the faults a
// real line has.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

#include "Frames.h"
#include "ScriptedPeer.h"
#include "VirtualClock.h"
#include "tavrik/ErrorReporter.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "tavrik/PortThread.h"
#include "xandrel/device/MatrixModels.h"

using namespace testsupport;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr int kPortNumber = 200;

// What the scripted device answers to a routing read of an 8x8 matrix.
const Bytes kRouting = Acknowledged({0x00, 8, 7, 6, 5, 4, 3, 2, 1, 0x00});

class RealLine : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        previousReporter_ = tavrik::SetErrorReporter([this](const std::string& text) { reports.push_back(text); });
        auto handler = [this](const Bytes& frame) { return reply(frame); };
        peer = GetParam() ? ScriptedPeer::OverTcp(handler) : ScriptedPeer::OverPseudoTerminal(handler);
        ASSERT_TRUE(peer);
        tavrik::PortTable::instance().assign(kPortNumber, peer->address());
        model.DEVMA_SetPortDriver(&driver);
        ASSERT_EQ(driver.RS232_OpenPort(kPortNumber, 9600), 1) << driver.RS232_LastErrorText();
        ASSERT_TRUE(peer->line().waitForClient(std::chrono::seconds(2)));  // bytes sent before it would be lost
    }

    void TearDown() override
    {
        driver.RS232_ClosePort();
        tavrik::PortTable::instance().forgetRunTimeAdditions();
        tavrik::SetErrorReporter(previousReporter_);
    }

    Bytes reply(const Bytes&)
    {
        std::lock_guard lock(mutex_);
        if (answers_.empty())
            return kRouting;
        Bytes next = answers_.front();
        answers_.erase(answers_.begin());
        return next;
    }

    void answerNext(Bytes bytes)
    {
        std::lock_guard lock(mutex_);
        answers_.push_back(std::move(bytes));
    }

    Bytes routing() const
    {
        return {model.m_VideoOutputChannel.get(), model.m_VideoOutputChannel.get() + model.m_OutputNumber};
    }

    NoWaiting noWaiting;
    std::unique_ptr<ScriptedPeer> peer;
    INFOPORTDRIVER driver;
    INFOHDMIMATRIX0001_8_8 model;
    std::vector<std::string> reports;

private:
    std::mutex mutex_;
    std::vector<Bytes> answers_;
    tavrik::ErrorReporter previousReporter_;
};

TEST_P(RealLine, RoutingReadCrossesTheLineByteForByte)
{
    model.m_DeviceID = 0;
    ASSERT_EQ(model.DEVMA_GetVideoOutputChannel(), 1);
    ASSERT_EQ(peer->frames().size(), 1u);
    EXPECT_EQ(peer->frames()[0], (Bytes{0x08, 0x4B, 0x58, 0x73, 0x88, 0x00, 0x01, 0xA7}));
    EXPECT_EQ(routing(), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST_P(RealLine, BadAnswersFailWithCode2AndTheNextCommandWorks)
{
    const Bytes badAnswers[] = {
        {0x13, 0x37, 0x00, 0xFF},                                // garbage
        {0xAB, 0x00, 8, 7, 6, 5, 4, 3, 2, 1, 0x00},              // wrong acknowledgement byte
        {0xAA, 0x00, 8, 7},                                      // reply cut short
        {0x00, 0x55, 0xAA, 0x00, 8, 7, 6, 5, 4, 3, 2, 1, 0x00},  // line noise before the reply
    };
    for (const Bytes& bad : badAnswers) {
        answerNext(bad);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(model.DEVMA_GetVideoOutputChannel(), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(model.m_ErrorCode, 2);
        EXPECT_EQ(routing(), Bytes(8, 1)) << "no state changes";
        model.m_ErrorCode = 0;
    }
    EXPECT_EQ(model.DEVMA_GetVideoOutputChannel(), 1);
    EXPECT_EQ(routing(), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST_P(RealLine, EventMessageFromTheFrontPanelIsTaken)
{
    peer->line().send(EventMessage(model, 1, {3, 3, 3, 3, 2, 2, 2, 2}));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the poll's own pauses are skipped here
    ASSERT_EQ(model.DEVMA_GetEventMessage(), 1);
    EXPECT_EQ(routing(), (Bytes{3, 3, 3, 3, 2, 2, 2, 2}));
    EXPECT_TRUE(peer->frames().empty());
}

TEST_P(RealLine, DeviceVanishingMidExchangeFailsPromptly)
{
    answerNext({0xAA, 0x00, 8});
    peer->line().onAddressChange([](const std::string&) {});
    std::thread pull([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        peer->line().hangUp();
    });
    model.m_RetryTimes = 2;
    const auto start = std::chrono::steady_clock::now();
    const int result = model.DEVMA_GetVideoOutputChannel();
    pull.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    if (result == 0) {
        EXPECT_EQ(model.m_ErrorCode, 2);
        EXPECT_EQ(routing(), Bytes(8, 1));
    }
    // A device server takes the client back at the same address: the next
    // command opens the port afresh and works.
    if (GetParam()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        model.m_ErrorCode = 0;
        EXPECT_EQ(model.DEVMA_GetVideoOutputChannel(), 1);
        EXPECT_EQ(routing(), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
    }
}

// A pseudo-terminal whose far end is closed stays readable but gives no
// byte: the driver takes that for a lost device, as it does a closed
// connection, instead of polling an empty line for ever.
TEST_P(RealLine, FarEndClosingIsTakenForALostDevice)
{
    std::promise<void> hungUp;
    peer->line().onAddressChange([&hungUp](const std::string&) { hungUp.set_value(); });
    peer->line().hangUp();
    hungUp.get_future().wait();
    EXPECT_EQ(model.DEVMA_GetEventMessage(), 0);
    EXPECT_TRUE(driver.RS232_DeviceLost());
}

// A thread without an event loop that uses the port and lets it go, exchange
// after exchange, keeps nothing for it: Qt posts the port's socket watchers
// an event at each hand-over, delivered on the way, not left to pile up.
TEST_P(RealLine, HandOversLeaveNoEventsBehind)
{
    constexpr int kExchanges = 40;
    driver.RS232_ReleaseThread();  // opened here: the worker takes it
    tavrik::PortThread worker([this] {
        for (int k = 0; k < kExchanges; ++k) {
            model.DEVMA_GetVideoOutputChannel();
            driver.RS232_ReleaseThread();
        }
    });
    worker.join();
    struct Counter : QObject {
        int calls = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            calls += event->type() == QEvent::MetaCall ? 1 : 0;
            return false;
        }
    } counter;
    QCoreApplication::instance()->installEventFilter(&counter);
    driver.RS232_EraserReadBuffer();  // this thread takes the port: what was kept comes with it
    QCoreApplication::sendPostedEvents();
    QCoreApplication::instance()->removeEventFilter(&counter);
    EXPECT_EQ(model.m_ErrorCode, 0);
    EXPECT_LT(counter.calls, 4);
}

INSTANTIATE_TEST_SUITE_P(Lines, RealLine, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Tcp" : "PseudoTerminal";
                         });

TEST(RealLineOpen, FailuresOfOpeningAreToldApart)
{
    auto peer = ScriptedPeer::OverPseudoTerminal([](const Bytes&) { return Bytes{}; });
    ASSERT_TRUE(peer);
    auto& table = tavrik::PortTable::instance();
    table.assign(201, peer->address());
    table.assign(202, "/dev/quellix-no-such-port");
    table.assign(203, "tcp://127.0.0.1:1");
    INFOPORTDRIVER first;
    INFOPORTDRIVER second;
    first.m_ShowError = second.m_ShowError = 0;

    EXPECT_EQ(first.RS232_OpenPort(201, 9600), 1);
    EXPECT_EQ(second.RS232_OpenPort(201, 9600), RS232_OPEN_IN_USE);
    EXPECT_NE(std::string(second.RS232_LastErrorText()).find("in use"), std::string::npos);
    EXPECT_EQ(second.RS232_OpenPort(202, 9600), RS232_OPEN_NOT_FOUND);
    EXPECT_EQ(second.RS232_OpenPort(203, 9600), RS232_OPEN_NOT_FOUND);
    EXPECT_EQ(tavrik::ProbePortState(peer->address()), tavrik::PortState::InUse);
    first.RS232_ClosePort();
    EXPECT_EQ(tavrik::ProbePortState(peer->address()), tavrik::PortState::Free);

    if (::geteuid() != 0) {  // root opens any device file
        ASSERT_EQ(::chmod(peer->address().c_str(), 0), 0);
        EXPECT_EQ(second.RS232_OpenPort(201, 9600), RS232_OPEN_NO_PERMISSION);
        EXPECT_NE(std::string(second.RS232_LastErrorText()).find("group"), std::string::npos);
        EXPECT_EQ(tavrik::ProbePortState(peer->address()), tavrik::PortState::NoPermission);
    }
    table.forgetRunTimeAdditions();
}

}  // namespace
