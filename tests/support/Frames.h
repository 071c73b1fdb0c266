// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Builds frames and event messages the way a device and the system lay them out.
#include <cstdint>
#include <initializer_list>
#include <numeric>
#include <vector>

#include "xandrel/device/INFODEVICEMATRIXBASE.h"

namespace testsupport {

inline std::vector<uint8_t> WithChecksum(std::vector<uint8_t> bytes)
{
    bytes.push_back(static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u)));
    return bytes;
}

// The command frame `model` sends with `code` and `payload`.
inline std::vector<uint8_t> CommandFrame(const INFODEVICEMATRIXBASE& model, uint8_t code,
                                         const std::vector<uint8_t>& payload = {}, int id = -1)
{
    std::vector<uint8_t> frame(model.m_MachineModeHeader, model.m_MachineModeHeader + 4);
    frame.insert(frame.begin(), static_cast<uint8_t>(8 + payload.size()));
    frame.push_back(static_cast<uint8_t>(id < 0 ? model.m_DeviceID : id));
    frame.push_back(code);
    for (uint8_t byte : payload)
        frame.push_back(byte);
    return WithChecksum(frame);
}

// An event message of `type` with `entries`, addressed as `model` expects.
inline std::vector<uint8_t> EventMessage(const INFODEVICEMATRIXBASE& model, uint8_t type,
                                         const std::vector<uint8_t>& entries)
{
    std::vector<uint8_t> message(model.m_MachineModeHeader, model.m_MachineModeHeader + 4);
    message.insert(message.begin(), static_cast<uint8_t>(7 + entries.size()));
    message.push_back(model.m_DeviceID);
    message.push_back(type);
    for (uint8_t entry : entries)
        message.push_back(entry);
    return message;
}

// AA followed by a reply body.
inline std::vector<uint8_t> Acknowledged(std::vector<uint8_t> body = {})
{
    body.insert(body.begin(), 0xAA);
    return body;
}

}  // namespace testsupport
