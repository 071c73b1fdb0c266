// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A simulated device for a test: quiet, on a pseudo-terminal unless the
// options say otherwise, with its EDIDs ready at once.
#include <functional>
#include <memory>

#include "SimulatedDevice.h"

namespace testsupport {

inline std::unique_ptr<quellix::sim::SimulatedDevice>
StartDevice(const char* className, const std::function<void(quellix::sim::SimOptions&)>& adjust = {})
{
    quellix::sim::SimOptions options;
    options.model = xandrel::FindModel(className);
    options.log = [](const std::string&) {};
    if (adjust)
        adjust(options);
    std::string error;
    auto device = quellix::sim::SimulatedDevice::Start(options, error);
    if (device) {
        device->withMatrix([](quellix::sim::VirtualMatrix& matrix) {
            matrix.edidReadTime = std::chrono::milliseconds(10);  // the tests skip the 5 s wait
            matrix.copyTime = std::chrono::milliseconds(10);
        });
    }
    return device;
}

}  // namespace testsupport
