// SPDX-License-Identifier: GPL-3.0-or-later
// The port driver's read tries, open failures and lost devices, in virtual
// time against scripted ports.
#include <gtest/gtest.h>

#include "ScriptedPort.h"
#include "tavrik/ErrorReporter.h"
#include "tavrik/INFOPORTDRIVER.h"

using namespace testsupport;

namespace {

class PortDriver : public ::testing::Test {
protected:
    PortDriver()
    {
        previousReporter_ = tavrik::SetErrorReporter([this](const std::string& text) { reports.push_back(text); });
    }
    ~PortDriver() override { tavrik::SetErrorReporter(previousReporter_); }

    void setTimeouts(uint32_t constant, uint32_t multiplier)
    {
        COMMTIMEOUTS timeouts{};
        driver.RS232_GetTimeouts(timeouts);
        timeouts.ReadTotalTimeoutConstant = constant;
        timeouts.ReadTotalTimeoutMultiplier = multiplier;
        driver.RS232_SetTimeouts(timeouts);
    }

    VirtualClock clock;
    ScriptedPorts ports{clock};
    std::shared_ptr<ScriptedLine> line = ports.device(3);
    INFOPORTDRIVER driver;
    std::vector<std::string> reports;

private:
    tavrik::ErrorReporter previousReporter_;
};

TEST_F(PortDriver, ReadMakesItsTriesWithTheConfiguredWaits)
{
    ASSERT_EQ(driver.RS232_OpenPort(3, 9600), 1);
    driver.m_ReadTimes = 4;
    driver.m_ReadInterval = 30;
    setTimeouts(100, 10);
    line->arrive({0x01, 0x02});
    uint8_t buffer[5] = {};

    EXPECT_EQ(driver.RS232_ReadBuf(buffer, 5), 0);

    EXPECT_EQ(clock.now(), 4u * (100 + 10 * 5) + 3u * 30);
    EXPECT_EQ(buffer[0], 0x01) << "what arrived stays in the buffer";
    EXPECT_EQ(buffer[1], 0x02);
}

TEST_F(PortDriver, ReadSucceedsWhenTheLastByteArrivesAndZeroTriesStillLookOnce)
{
    ASSERT_EQ(driver.RS232_OpenPort(3, 9600), 1);
    driver.m_ReadTimes = 0;
    line->arrive({0xAA});
    uint8_t byte = 0;
    EXPECT_EQ(driver.RS232_ReadBuf(&byte, 1), 1);
    EXPECT_EQ(byte, 0xAA);
    EXPECT_EQ(driver.RS232_ReadBuf(&byte, 0), 1);
    EXPECT_EQ(clock.now(), 0u);
}

TEST_F(PortDriver, ClosedPortNeitherReadsNorWrites)
{
    uint8_t byte = 0;
    EXPECT_EQ(driver.RS232_IsOpen(), 0);
    EXPECT_EQ(driver.RS232_WriteBuf(&byte, 1), 0);
    EXPECT_EQ(driver.RS232_ReadBuf(&byte, 1), 0);
    EXPECT_EQ(driver.RS232_EraserReadBuffer(), 1);
    EXPECT_EQ(line->opens, 0);
}

TEST_F(PortDriver, OpenFailuresAreToldApartAndReportedOnlyWhenAsked)
{
    ports.refusing(4, tavrik::OpenStatus::InUse);
    ports.refusing(5, tavrik::OpenStatus::NoPermission);

    EXPECT_EQ(driver.RS232_OpenPort(4, 9600), RS232_OPEN_IN_USE);
    EXPECT_EQ(driver.GetPortNumber(), 4) << "the number is kept for the status bar";
    EXPECT_EQ(driver.RS232_OpenPort(5, 9600), RS232_OPEN_NO_PERMISSION);
    EXPECT_EQ(driver.RS232_OpenPort(99, 9600), RS232_OPEN_NOT_FOUND);
    EXPECT_STREQ(driver.RS232_LastErrorText(), "COM99: no such port on this computer");
    EXPECT_EQ(reports.size(), 3u);

    driver.m_ShowError = 0;
    EXPECT_EQ(driver.RS232_OpenPort(99, 9600), RS232_OPEN_NOT_FOUND);
    EXPECT_EQ(reports.size(), 3u);
    EXPECT_EQ(driver.RS232_IsOpen(), 0);
}

TEST_F(PortDriver, OpeningAnotherPortReplacesTheOpenOne)
{
    auto other = ports.device(7);
    ASSERT_EQ(driver.RS232_OpenPort(3, 9600), 1);
    ASSERT_EQ(driver.RS232_OpenPort(7, 9600), 1);
    const uint8_t byte = 0x42;
    ASSERT_EQ(driver.RS232_WriteBuf(&byte, 1), 1);
    EXPECT_TRUE(line->written.empty());
    EXPECT_EQ(other->written.size(), 1u);
    EXPECT_EQ(driver.GetPortNumber(), 7);
    EXPECT_EQ(driver.GetIsOpen(), 1);
}

TEST_F(PortDriver, LostDeviceIsReportedOnceAndReopenedWhenBack)
{
    ASSERT_EQ(driver.RS232_OpenPort(3, 9600), 1);
    line->broken = true;
    uint8_t buffer[2] = {};
    const uint8_t frame[2] = {1, 2};

    EXPECT_EQ(driver.RS232_ReadBuf(buffer, 2), 0);
    EXPECT_EQ(driver.RS232_WriteBuf(frame, 2), 0) << "the port cannot be opened while the device is away";
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(driver.RS232_IsOpen(), 1) << "the person's port stays open";

    line->broken = false;
    EXPECT_EQ(driver.RS232_WriteBuf(frame, 2), 1);
    EXPECT_EQ(line->opens, 2);
    EXPECT_STREQ(driver.RS232_LastErrorText(), "");
}

TEST(PortDriverDefaults, TextsAndSettingsAreReadyOnConstruction)
{
    INFOPORTDRIVER driver;
    EXPECT_STREQ(driver.m_NotReadyText, "Com Port is not ready.");
    EXPECT_STREQ(driver.m_NoFeedbackText, "Com Port does not receive feedback from the device.");
    EXPECT_EQ(driver.m_ShowError, 1);
    EXPECT_EQ(driver.GetPortNumber(), 1);
    EXPECT_EQ(driver.RS232_PortAddress(), "");
}

}  // namespace
