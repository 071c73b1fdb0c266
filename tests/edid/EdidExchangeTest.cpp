// SPDX-License-Identifier: GPL-3.0-or-later
// The EDID exchanges: exact payloads, the waits and their bounds, and every
// way they fail, in virtual time against a scripted device; then against the
// simulated device over a pseudo-terminal.
#include <gtest/gtest.h>

#include <cstdint>

#include "Frames.h"
#include "ScriptedPort.h"
#include "SimulatedDevices.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/MatrixModels.h"
#include "xandrel/edid/EdidTransfers.h"

using namespace testsupport;
using xandrel::EdidPlace;

namespace {

// Records what an exchange asked of its host and its progress bar.
class SpyHost : public xandrel::EdidCommandHost, public xandrel::EdidProgress {
public:
    explicit SpyHost(INFODEVICEMATRIXBASE& model)
        : model_(model)
    {
    }
    INFODEVICEMATRIXBASE& model() override { return model_; }
    void commandStart() override
    {
        ++starts;
        EdidCommandHost::commandStart();
    }
    void busyEnd() override { ++busyEnds; }
    void commandEnd() override { ++commandEnds; }
    void setRange(int, int maximum) override { range = maximum; }
    void setPosition(int position) override { positions.push_back(position); }
    bool stopRequested() override { return positions.size() >= stopAfterPositions; }

    int starts = 0, busyEnds = 0, commandEnds = 0, range = 0;
    std::vector<int> positions;
    size_t stopAfterPositions = SIZE_MAX;  // the person presses Stop once this many positions were shown

private:
    INFODEVICEMATRIXBASE& model_;
};

class EdidExchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        model.DEVMA_SetPortDriver(&driver);
        ASSERT_EQ(driver.RS232_OpenPort(3, 9600), 1);
    }

    Bytes payloadOf(size_t frame) const
    {
        const Bytes& f = line->written.at(frame);
        return Bytes(f.begin() + 7, f.end() - 1);
    }

    void expectSettingsAfterCopy() const
    {
        EXPECT_EQ(driver.m_ReadTimes, 15);
        EXPECT_EQ(driver.m_ReadInterval, 300u);
        EXPECT_EQ(driver.m_ShowError, 1);
    }

    VirtualClock clock;
    ScriptedPorts ports{clock};
    std::shared_ptr<ScriptedLine> line = ports.device(3);
    INFOPORTDRIVER driver;
    INFOHDMIMATRIX0001_8_8 model;
    SpyHost host{model};
    xandrel::EdidImage image{};
};

TEST_F(EdidExchange, CopyPayloadsFollowTheirPairs)
{
    const struct {
        EdidPlace source, target;
        Bytes payload;
    } pairs[] = {
        {{EdidPlace::Default, 0}, {EdidPlace::AllInputs}, {0x04, 0xA5, 0x0A}},
        {{EdidPlace::Input, 1}, {EdidPlace::Default, 3}, {0x03, 0x0D, 0x01}},
        {{EdidPlace::Output, 2}, {EdidPlace::Input, 7}, {0x02, 0x07, 0x02}},
        {{EdidPlace::Output, 4}, {EdidPlace::Default, 1}, {0x01, 0x0B, 0x04}},
    };
    for (const auto& pair : pairs) {
        const xandrel::EdidTransfer plan = xandrel::PlanEdidTransfer(pair.source, pair.target);
        ASSERT_EQ(plan.kind, xandrel::EdidTransfer::Copy);
        line->answer({0xAA, 0xB6});
        EXPECT_TRUE(EDID_DeviceCopy(host, host, plan.mode, plan.target, plan.source));
        EXPECT_EQ(payloadOf(line->written.size() - 1), pair.payload);
    }
    EXPECT_EQ(host.positions.back(), 13);
    EXPECT_EQ(host.commandEnds, 0) << "a copy only ends the busy cursor";
    EXPECT_EQ(host.busyEnds, 4);
    expectSettingsAfterCopy();
}

TEST_F(EdidExchange, TransfersTheDeviceCannotDoAreRefused)
{
    using P = EdidPlace;
    for (auto [source, target] : {std::pair{P{P::Default, 0}, P{P::Default, 1}},
                                  {P{P::Input, 1}, P{P::Input, 2}},
                                  {P{P::Input, 1}, P{P::AllInputs}},
                                  {P{P::Output, 1}, P{P::Output, 2}}})
        EXPECT_EQ(xandrel::PlanEdidTransfer(source, target).kind, xandrel::EdidTransfer::Unsupported);
    const auto write = xandrel::PlanEdidTransfer(P{P::Computer}, P{P::Default, 2});
    EXPECT_EQ(write.kind, xandrel::EdidTransfer::Write);
    EXPECT_EQ(write.number, 12);
    EXPECT_EQ(write.writeKind, 0xA2);
    EXPECT_EQ(xandrel::PlanEdidTransfer(P{P::Computer}, P{P::AllInputs}).kind, xandrel::EdidTransfer::WriteInputs);
    EXPECT_EQ(xandrel::ParseEdidPlace("default b"), (P{P::Default, 1}));
    EXPECT_EQ(xandrel::ParseEdidPlace("all"), (P{P::AllInputs}));
    EXPECT_FALSE(xandrel::ParseEdidPlace("default E"));
    EXPECT_FALSE(xandrel::ParseEdidPlace("input 0"));
}

TEST_F(EdidExchange, CopyFailsOnARefusalOrSilenceWithinItsBound)
{
    line->answer({0xAA, 0x00});
    EXPECT_FALSE(EDID_DeviceCopy(host, host, 4, 0xA5, 10));
    expectSettingsAfterCopy();

    line->answer(Bytes(40, 0xB6));  // "done" without the acknowledgement is no copy
    EXPECT_FALSE(EDID_DeviceCopy(host, host, 4, 0xA5, 10));
    expectSettingsAfterCopy();

    line->answer({0xAA});  // acknowledged, never done
    const uint64_t before = clock.now();
    EXPECT_FALSE(EDID_DeviceCopy(host, host, 4, 0xA5, 10));
    expectSettingsAfterCopy();
    EXPECT_LT(clock.now() - before, 12000u) << "the wait for the device is bounded";
    EXPECT_EQ(host.positions.back(), 12) << "the bar stops short of full";

    driver.RS232_ClosePort();
    EXPECT_FALSE(EDID_DeviceCopy(host, host, 4, 0xA5, 10));
    expectSettingsAfterCopy();
}

TEST_F(EdidExchange, ReadWaitsFiveSecondsThenTakesAll256Bytes)
{
    Bytes edid(256);
    for (int i = 0; i < 256; ++i)
        edid[i] = static_cast<uint8_t>(255 - i);
    Bytes answer{0xAA};
    answer.insert(answer.end(), edid.begin(), edid.end());
    line->answer(answer);

    ASSERT_TRUE(EDID_DeviceRead(host, image, host, 0xA1, 0x0B));

    EXPECT_EQ(payloadOf(0), (Bytes{0xA1, 0xFF, 0x0B}));
    EXPECT_EQ(Bytes(image.begin(), image.end()), edid);
    EXPECT_NE(std::find(clock.waits().begin(), clock.waits().end(), 5000u), clock.waits().end());
    EXPECT_EQ(host.range, 256);
    EXPECT_EQ(host.positions.back(), 256);
    EXPECT_EQ(host.commandEnds, 1);
}

TEST_F(EdidExchange, ReadStopsAtTheFirstMissingByteAndKeepsTheImage)
{
    Bytes answer{0xAA};
    answer.resize(1 + 100, 0x42);  // 100 of the 256 bytes
    line->answer(answer);
    image.fill(0x11);
    const uint64_t before = clock.now();

    EXPECT_FALSE(EDID_DeviceRead(host, image, host, 0xA5, 2));

    EXPECT_EQ(image[0], 0x11) << "a partial read changes nothing";
    EXPECT_LT(clock.now() - before, 5000u + 2000u) << "it does not wait out the other 155 bytes";
    EXPECT_EQ(host.commandEnds, 0);
    EXPECT_EQ(host.busyEnds, 1);

    EXPECT_FALSE(EDID_DeviceRead(host, image, host, 0xA5, 2)) << "no acknowledgement at all";
    EXPECT_EQ(image[0], 0x11);
}

TEST_F(EdidExchange, WriteSends32ChunksAndStopsAtTheFirstRefusal)
{
    for (int i = 0; i < 256; ++i)
        image[i] = static_cast<uint8_t>(i);
    for (int chunk = 0; chunk < 32; ++chunk)
        line->answer({0xAA, 0xB6});
    ASSERT_TRUE(EDID_DeviceWrite(host, image, host, 5, 0xA6));
    ASSERT_EQ(line->written.size(), 32u);
    for (int chunk = 0; chunk < 32; ++chunk) {
        Bytes expected{0xA6};
        for (int k = 0; k < 8; ++k)
            expected.push_back(static_cast<uint8_t>(chunk * 8 + k));
        expected.push_back(static_cast<uint8_t>(chunk * 8));
        expected.push_back(5);
        EXPECT_EQ(payloadOf(chunk), expected) << "chunk " << chunk;
        EXPECT_EQ(line->written[chunk][0], 19);
    }
    EXPECT_EQ(host.commandEnds, 1);

    line->written.clear();
    for (int chunk = 0; chunk < 16; ++chunk)
        line->answer({0xAA, 0xB6});
    line->answer({0xAA, 0x00});
    int sent = 0;
    EXPECT_FALSE(EDID_DeviceWrite(host, image, host, 5, 0xA6, &sent));
    EXPECT_EQ(line->written.size(), 17u) << "nothing after the refused chunk 17";
    EXPECT_EQ(sent, 17) << "the refused chunk went out too: the EDID may have changed";

    line->written.clear();
    line->answer(Bytes(8, 0xB6));  // a line that streams "taken" but never acknowledges
    EXPECT_FALSE(EDID_DeviceWrite(host, image, host, 5, 0xA6));
    EXPECT_EQ(line->written.size(), 1u);
}

TEST_F(EdidExchange, StopEndsAWriteBetweenTwoChunksAndAReadBeforeItsCommand)
{
    for (int chunk = 0; chunk < 32; ++chunk)
        line->answer({0xAA, 0xB6});
    host.stopAfterPositions = 4;  // the start and three chunks
    int sent = 0;
    EXPECT_FALSE(EDID_DeviceWrite(host, image, host, 5, 0xA6, &sent));
    EXPECT_EQ(line->written.size(), 3u);
    EXPECT_EQ(sent, 3);
    EXPECT_EQ(host.busyEnds, 1);
    EXPECT_EQ(host.commandEnds, 0);

    line->written.clear();
    image.fill(0x11);
    host.positions.clear();
    host.stopAfterPositions = 0;
    EXPECT_FALSE(EDID_DeviceRead(host, image, host, 0xA5, 2));
    EXPECT_TRUE(line->written.empty()) << "stopped before anything was sent";
    EXPECT_EQ(image[0], 0x11);
}

TEST_F(EdidExchange, ManufacturerReportHasALinePerInput)
{
    line->answer({0xAA, 0x17, 0x04, 0x72, 0x9D, 0x04, 0, 0, 0});  // ACR, product 049D
    std::string report = xandrel::InputManufacturerReport(model);
    EXPECT_EQ(report.substr(0, report.find('\n') + 1), "Input1 Manufacturer ID: ACR049D\r\n");
    EXPECT_NE(report.find("Input8 Manufacturer ID: Unknow!\r\n"), std::string::npos);
    EXPECT_EQ(line->written.size(), 8u);
    EXPECT_EQ(payloadOf(7), (Bytes{0xA5, 0x08, 0x08}));
}

// The same exchanges over a real line against the simulated device.
class EdidOverLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        device = StartDevice("INFOHDMIMATRIX0001_8_8");
        ASSERT_TRUE(device);
        tavrik::PortTable::instance().assign(210, device->address());
        model.DEVMA_SetPortDriver(&driver);
        ASSERT_EQ(driver.RS232_OpenPort(210, 9600), 1);
    }
    void TearDown() override { tavrik::PortTable::instance().forgetRunTimeAdditions(); }

    Bytes payloadOf(const Bytes& frame) const { return Bytes(frame.begin() + 7, frame.end() - 1); }

    NoWaiting noWaiting;
    std::unique_ptr<quellix::sim::SimulatedDevice> device;
    INFOPORTDRIVER driver;
    INFOHDMIMATRIX0001_8_8 model;
    xandrel::PlainEdidHost host{model};
    xandrel::EdidProgress progress;
    xandrel::EdidImage image{};
};

TEST_F(EdidOverLine, ReadingAnOutputCopiesItToTheScratchSlotFirst)
{
    device->withMatrix([](quellix::sim::VirtualMatrix& matrix) { matrix.outputEdid(3)[20] = 0x5A; });
    ASSERT_TRUE(xandrel::ReadEdidFrom(host, image, progress, EdidPlace{EdidPlace::Output, 3}));
    const auto frames = device->frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(payloadOf(frames[0]), (Bytes{0x01, 0x09, 0x03}));
    EXPECT_EQ(payloadOf(frames[1]), (Bytes{0xA1, 0xFF, 0x09}));
    EXPECT_EQ(image[20], 0x5A);
}

TEST_F(EdidOverLine, WrittenImageArrivesWhole)
{
    for (int i = 0; i < 256; ++i)
        image[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(EDID_DeviceWrite(host, image, progress, 5, 0xA6));
    device->withMatrix([this](quellix::sim::VirtualMatrix& matrix) {
        EXPECT_TRUE(std::equal(image.begin(), image.end(), matrix.inputEdid(5).begin()));
    });
    EXPECT_EQ(device->frames().size(), 32u);
}

TEST_F(EdidOverLine, LineLostOnChunk17EndsTheWrite)
{
    device->command("fault hang-up-after 17");
    EXPECT_FALSE(EDID_DeviceWrite(host, image, progress, 5, 0xA6));
    EXPECT_EQ(device->frames().size(), 17u);
}

TEST_F(EdidOverLine, CutReplyFailsTheReadAndKeepsTheImage)
{
    device->command("fault cut 100");
    image.fill(0x33);
    EXPECT_FALSE(EDID_DeviceRead(host, image, progress, 0xA5, 1));
    EXPECT_EQ(image[0], 0x33);
}

}  // namespace
