// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/device/Discovery.h"

#include <algorithm>

#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"

namespace xandrel {
namespace {

constexpr uint32_t kAnswerWaitMs = 150;

std::vector<const ModelSpec*> ModelsWithHeader(const std::array<uint8_t, 4>& header)
{
    std::vector<const ModelSpec*> models;
    for (const ModelSpec& model : AllModels())
        if (model.header == header)
            models.push_back(&model);
    return models;
}

// One ID query as `probe` at `id`, read once: a device that answers, or none.
bool AskAt(INFOPORTDRIVER& driver, const ModelSpec& probe, int id, int& reported)
{
    std::unique_ptr<INFODEVICEMATRIXBASE> model = CreateModel(probe);
    model->DEVMA_SetPortDriver(&driver);
    model->m_DeviceID = static_cast<BYTE>(id);
    model->m_RetryTimes = 1;
    driver.m_ReadTimes = 1;
    const bool answered = model->DEVMA_GetDeviceID() == 1;
    reported = model->m_DeviceID;
    model->DEVMA_SetPortDriver(nullptr);
    return answered;
}

}  // namespace

std::vector<int> DiscoveryIds(const ModelSpec& model, bool deep)
{
    if (model.family != ModelFamily::Hdmi8x8)
        return {255};
    if (!deep)
        return {0, 255};
    std::vector<int> ids(256);
    for (int id = 0; id < 256; ++id)
        ids[id] = id;
    return ids;
}

std::vector<const ModelSpec*> DiscoveryProbes()
{
    std::vector<const ModelSpec*> probes;
    for (const ModelSpec& model : AllModels()) {
        const bool seen = std::any_of(probes.begin(), probes.end(),
                                      [&](const ModelSpec* probe) { return probe->header == model.header; });
        if (!seen)
            probes.push_back(&model);
    }
    return probes;
}

std::vector<DiscoveredDevice> DiscoverOnPort(INFOPORTDRIVER& driver, const DiscoveryOptions& options)
{
    const std::vector<const ModelSpec*> probes = DiscoveryProbes();
    std::vector<std::pair<const ModelSpec*, int>> queries;  // as whom, at which ID
    for (const ModelSpec* probe : probes)
        for (int id : DiscoveryIds(*probe, options.deep))
            queries.emplace_back(probe, id);
    const BYTE readTimes = driver.m_ReadTimes;
    const int32_t showError = driver.m_ShowError;
    driver.m_ShowError = 0;
    // A device answers an ID query within a few milliseconds even at 9600
    // baud; a silent header need not cost the driver's half second.
    COMMTIMEOUTS saved{};
    driver.RS232_GetTimeouts(saved);
    COMMTIMEOUTS quick = saved;
    quick.ReadTotalTimeoutConstant = std::min<uint32_t>(saved.ReadTotalTimeoutConstant, kAnswerWaitMs);
    driver.RS232_SetTimeouts(quick);
    std::vector<DiscoveredDevice> found;
    const ModelSpec* answered = nullptr;  // one device per header and port
    for (size_t k = 0; k < queries.size(); ++k) {
        const auto [probe, id] = queries[k];
        if (probe == answered)
            continue;
        if (options.progress && !options.progress(static_cast<int>(k), static_cast<int>(queries.size())))
            break;
        int reported = 0;
        if (AskAt(driver, *probe, id, reported)) {
            found.push_back({ModelsWithHeader(probe->header), reported});
            answered = probe;
        }
    }
    driver.RS232_SetTimeouts(saved);
    driver.m_ReadTimes = readTimes;
    driver.m_ShowError = showError;
    return found;
}

std::string DescribeDiscovered(const DiscoveredDevice& device)
{
    std::string names;
    for (const ModelSpec* model : device.models)
        names += (names.empty() ? "" : ", ") + std::string(model->shortName);
    return names + " at ID " + std::to_string(device.id);
}

}  // namespace xandrel
