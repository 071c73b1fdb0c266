// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the body of an HTTP routing request: any bytes give
// either an error and no change, or changes for real outputs to real inputs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "RequestBodies.h"
#include "xandrel/device/ModelCatalog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const auto& models = xandrel::AllModels();
    const xandrel::ModelSpec& model = models[data[0] % models.size()];
    const QByteArray body(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    QString error;
    const std::map<int, int> changes = quellixd::ParseRouting(body, model, error);
    if (changes.empty() == error.isEmpty())
        std::abort();
    for (const auto& [output, input] : changes)
        if (output < 1 || output > model.outputs || input < 1 || input > model.inputs)
            std::abort();
    return 0;
}
