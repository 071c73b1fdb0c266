// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes on the line: the event poll of every model, and the
// simulated device's frame reader, must take them without reading out of
// bounds or leaving the port's settings changed.
#include <cstddef>
#include <cstdint>

#include "ScriptedPort.h"
#include "VirtualMatrix.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const auto& models = xandrel::AllModels();
    const xandrel::ModelSpec& spec = models[data[0] % models.size()];
    const testsupport::Bytes bytes(data + 1, data + size);

    testsupport::VirtualClock clock;
    testsupport::ScriptedPorts ports(clock);
    auto line = ports.device(1);
    INFOPORTDRIVER driver;
    auto model = xandrel::CreateModel(spec);
    model->DEVMA_SetPortDriver(&driver);
    driver.RS232_OpenPort(1, 9600);
    COMMTIMEOUTS before{};
    driver.RS232_GetTimeouts(before);
    line->arrive(bytes);
    for (size_t polls = 0; polls <= bytes.size() && !line->incoming.empty(); ++polls) {
        model->DEVMA_GetEventMessage();
        COMMTIMEOUTS after{};
        driver.RS232_GetTimeouts(after);
        if (after.ReadTotalTimeoutConstant != before.ReadTotalTimeoutConstant || driver.m_ShowError != 1)
            __builtin_trap();
    }

    quellix::sim::VirtualMatrix device(spec, data[0]);
    device.receive(bytes);
    return 0;
}
