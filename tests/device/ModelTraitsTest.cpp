// SPDX-License-Identifier: GPL-3.0-or-later
// Every model of the catalog as each side sees it: the driver (the model's
// class and family), the simulated device and the shared line's reply rules
// must agree on every row, a model added later included.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "LineProtocol.h"
#include "SimulatedDevices.h"
#include "VirtualClock.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/device/ProtocolFrames.h"

namespace {

using quellix::sim::Bytes;
using xandrel::ModelFamily;

constexpr uint8_t kDeviceId = 7;
constexpr int kComNumber = 230;

// The commands a family's full refresh sends: signals (03), then routing (01).
std::vector<uint8_t> RefreshCodes(ModelFamily family)
{
    static const std::map<ModelFamily, std::vector<uint8_t>> codes = {
        {ModelFamily::SdiSwitch, {}},         {ModelFamily::VgaSwitch, {}},     {ModelFamily::Hdmi4x4, {0x03, 0x01}},
        {ModelFamily::Hdmi8x8, {0x03, 0x01}}, {ModelFamily::VgaMatrix, {0x01}},
    };
    return codes.at(family);
}

std::vector<uint8_t> CodesSince(const std::vector<Bytes>& frames, size_t first)
{
    std::vector<uint8_t> codes;
    for (size_t k = first; k < frames.size(); ++k)
        codes.push_back(frames[k][6]);
    return codes;
}

Bytes RoutingOf(const INFODEVICEMATRIXBASE& model)
{
    return {model.m_VideoOutputChannel.get(), model.m_VideoOutputChannel.get() + model.m_OutputNumber};
}

Bytes SignalsOf(const INFODEVICEMATRIXBASE& model)
{
    return {model.m_VideoInputSignal.get(), model.m_VideoInputSignal.get() + model.m_InputNumber};
}

// The driver of each model against the simulated device of the same row,
// over a real line: the ID, the family's refresh, both reads and a routing
// write succeed and leave the device's state in the model. Then the shared
// line expects, for every frame the driver sent, the reply the device gave.
TEST(ModelTraits, DriverSimulatorAndSharedLineAgreeOnEveryModel)
{
    testsupport::NoWaiting noWaiting;
    for (const xandrel::ModelSpec& spec : xandrel::AllModels()) {
        SCOPED_TRACE(spec.className);
        auto device = testsupport::StartDevice(spec.className, [](auto& options) { options.deviceId = kDeviceId; });
        ASSERT_TRUE(device);
        device->withMatrix([&](quellix::sim::VirtualMatrix& matrix) {
            matrix.frontPanelRoute(spec.outputs, spec.inputs);  // their event messages stay unsent
            matrix.frontPanelSignal(spec.inputs, true);
        });
        tavrik::PortTable::instance().assign(kComNumber, device->address());
        INFOPORTDRIVER driver;
        std::unique_ptr<INFODEVICEMATRIXBASE> model = xandrel::CreateModel(spec);
        model->DEVMA_SetPortDriver(&driver);
        ASSERT_EQ(driver.RS232_OpenPort(kComNumber, 9600), 1);

        ASSERT_EQ(model->DEVMA_GetDeviceID(), 1);
        EXPECT_EQ(model->m_DeviceID, kDeviceId);
        const size_t beforeRefresh = device->frames().size();
        const std::vector<uint8_t> refresh = RefreshCodes(spec.family);
        EXPECT_EQ(model->DEVMA_GetDeviceAllStatus(), refresh.empty() ? 0 : 1);
        EXPECT_EQ(CodesSince(device->frames(), beforeRefresh), refresh) << "the class is of the row's family";
        EXPECT_EQ(xandrel::RefreshReadsSignals(spec), !refresh.empty() && refresh.front() == 0x03);
        ASSERT_EQ(model->DEVMA_GetVideoOutputChannel(), 1);
        ASSERT_EQ(model->DEVMA_GetVideoInputSignal(), 1);
        EXPECT_EQ(RoutingOf(*model), device->routing());
        EXPECT_EQ(SignalsOf(*model), device->signals());

        const Bytes routing(spec.outputs, 2);
        ASSERT_EQ(model->DEVMA_SetVideoOutputChannel(routing.data()), 1);
        EXPECT_EQ(device->routing(), routing);
        EXPECT_EQ(device->frames().back().size(), xandrel::RoutingWriteFrameLength(spec));

        quellix::sim::VirtualMatrix fresh(spec, kDeviceId);
        for (const Bytes& frame : device->frames()) {
            const auto answered = fresh.receive(frame);
            ASSERT_EQ(answered.size(), 1u);
            ASSERT_TRUE(answered[0].answer);
            const QByteArray sent(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
            EXPECT_EQ(quellixd::ReplyTo(spec, sent).bodyBytes + 1, static_cast<int>(answered[0].answer->now.size()))
                << "code " << int(frame[6]);
        }
        model->DEVMA_SetPortDriver(nullptr);
        tavrik::PortTable::instance().forgetRunTimeAdditions();
    }
}

// The window decided these by counts before the catalog said so; the models
// it knew then keep its decisions: no event messages from a model with five
// inputs or from the 4x2 and 2x4 VGA matrices, the EDID report for a model
// with 8 inputs or 8 outputs.
TEST(ModelTraits, EventsAndEdidAsTheWindowDecidedThem)
{
    for (const char* name : {"sdi-5", "sdi-5x2", "sdi-8", "sdi-8x2", "4x4-c", "4x4-h", "8x8-c", "8x8-h", "vga-4",
                             "vga-8", "vga-5x5", "4x4", "8x8", "4x8", "8x4", "vga-4x2", "vga-2x4"}) {
        const xandrel::ModelSpec* model = xandrel::FindModelByAnyName(name);
        ASSERT_NE(model, nullptr) << name;
        const int in = model->inputs, out = model->outputs;
        EXPECT_EQ(model->sendsEvents(), !(in == 5 || (in == 4 && out == 2) || (in == 2 && out == 4))) << name;
        EXPECT_EQ(model->hasEdid(), in == 8 || out == 8) << name;
    }
}

#ifdef QUELLIX_ADDED_MODEL
// Built with a model added by CONTRIBUTING's recipe (tests/device/AddModel.cmake):
// the catalog these checks ran over holds it, last.
TEST(ModelTraits, TheRecipesModelIsInTheCatalog)
{
    EXPECT_STREQ(xandrel::AllModels().back().className, QUELLIX_ADDED_MODEL);
}
#endif

}  // namespace
