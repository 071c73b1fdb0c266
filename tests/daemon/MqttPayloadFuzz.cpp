// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for an MQTT command's payload: any bytes name either one
// of the choices or none, with a reason; a preview of them is printable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "MqttPayload.h"

// The first byte tells how many of the following lines are names (0-15)
// and whether numbers count; the rest is the payload.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const bool numbers = data[0] & 0x10;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<std::string> names;
    for (int k = 0; k < (data[0] & 0x0F) && !rest.empty(); ++k) {
        const size_t end = std::min(rest.find('\n'), rest.size());
        names.emplace_back(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    const std::vector<std::string> labels = quellixd::DistinctLabels(names, "input");
    if (labels.size() != names.size())
        std::abort();
    const quellixd::MqttChoice choice = quellixd::ParseChoice(rest, labels, numbers);
    if (choice.index < 0 || choice.index > static_cast<int>(labels.size())
        || choice.error.empty() != (choice.index != 0))
        std::abort();
    for (const char c : quellixd::PayloadPreview(rest))
        if (c < 0x20 || c > 0x7e)
            std::abort();
    return 0;
}
