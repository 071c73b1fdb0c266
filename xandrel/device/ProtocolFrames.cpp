// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/device/ProtocolFrames.h"

#include <algorithm>

#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/MatrixModels.h"
#include "xandrel/device/ModelCatalog.h"

namespace xandrel {

uint8_t FrameChecksum(const uint8_t* bytes, size_t count)
{
    uint8_t sum = 0;
    for (size_t k = 0; k < count; ++k)
        sum = static_cast<uint8_t>(sum + bytes[k]);
    return sum;
}

std::vector<uint8_t> EventMessageBytes(const ModelSpec& model, uint8_t id, uint8_t type,
                                       const std::vector<uint8_t>& entries)
{
    std::vector<uint8_t> message;
    message.reserve(kEventHeaderLength + entries.size() + 1);
    message.push_back(static_cast<uint8_t>(kEventHeaderLength + entries.size() + 1));
    for (uint8_t byte : model.header)
        message.push_back(byte);
    message.push_back(id);
    message.push_back(type);
    message.insert(message.end(), entries.begin(), entries.end());
    message.push_back(FrameChecksum(message.data(), message.size()));
    return message;
}

int EventMessageLength(uint8_t first)
{
    return first >= kEventHeaderLength && first <= kMaxEventLength ? first : 0;
}

uint8_t RoutingWriteFrameLength(const ModelSpec& model)
{
    return model.family == ModelFamily::Hdmi8x8
        ? INFOHDMIMATRIX0001_8_8::kRoutingFrameLength
        : static_cast<uint8_t>(model.outputs + INFODEVICEMATRIXBASE::kMinFrameLength);
}

uint8_t RoutingWriteReplyLength(const ModelSpec& model)
{
    return RepliesOf(model).routingWrite;
}

bool IsFrameFor(const ModelSpec& model, uint8_t id, const std::vector<uint8_t>& frame)
{
    if (frame.size() < INFODEVICEMATRIXBASE::kMinFrameLength || frame.size() > INFODEVICEMATRIXBASE::kMaxFrameLength
        || frame[0] != frame.size())
        return false;
    if (!std::equal(model.header.begin(), model.header.end(), frame.begin() + 1))
        return false;
    if (frame[5] != id && frame[5] != INFODEVICEMATRIXBASE::kBroadcastID && id != INFODEVICEMATRIXBASE::kBroadcastID)
        return false;
    return FrameChecksum(frame.data(), frame.size() - 1) == frame.back();
}

}  // namespace xandrel
