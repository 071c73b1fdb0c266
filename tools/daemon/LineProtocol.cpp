// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineProtocol.h"

#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/device/ProtocolFrames.h"
#include "xandrel/edid/EdidCommands.h"

namespace quellixd {

namespace {
using Base = INFODEVICEMATRIXBASE;
}  // namespace

ExpectedReply ReplyTo(const xandrel::ModelSpec& model, const QByteArray& frame)
{
    if (frame.size() < Base::kMinFrameLength)
        return {};
    const auto code = static_cast<uint8_t>(frame[6]);
    const xandrel::ReplyLengths replies = xandrel::RepliesOf(model);
    switch (code) {
    case Base::kReadRouting: return {replies.routingRead, false};
    case Base::kWriteRouting: return {replies.routingWrite, false};
    case Base::kReadSignals: return {replies.signalsRead, false};
    case Base::kReadDeviceID: return {replies.idRead, false};
    case xandrel::edid::kCopyCode: return {1, true};    // B6 once copied (00 at once when refused)
    case xandrel::edid::kWriteCode: return {1, false};  // B6 for a chunk taken
    case xandrel::edid::kReadCode:
        if (frame.size() >= 10 && static_cast<uint8_t>(frame[8]) == xandrel::edid::kWholeEdid)
            return {256, true};
        if (frame.size() >= 10 && static_cast<uint8_t>(frame[8]) == xandrel::edid::kIdentityProbe)
            return {8, false};
        return {};
    default: return {};  // writes of the device ID, and codes the daemon does not know: the AA alone
    }
}

QByteArray KeepLockedOutputs(QByteArray frame, const std::vector<int>& routing, const std::set<int>& locked)
{
    for (int output : locked) {
        const int at = 6 + output;  // entries start after the code, output 1 first
        if (output >= 1 && output <= static_cast<int>(routing.size()) && at < frame.size() - 1)
            frame[at] = static_cast<char>(routing[output - 1]);
    }
    frame[frame.size() - 1] = static_cast<char>(xandrel::FrameChecksum(
        reinterpret_cast<const uint8_t*>(frame.constData()), static_cast<size_t>(frame.size() - 1)));
    return frame;
}

std::vector<QByteArray> FrameAssembler::take(const QByteArray& bytes)
{
    std::vector<QByteArray> frames;
    pending_ += bytes;
    while (!pending_.isEmpty()) {
        const int length = static_cast<uint8_t>(pending_[0]);
        if (length < Base::kMinFrameLength || length > Base::kMaxFrameLength) {
            pending_.remove(0, 1);
            ++dropped_;
            continue;
        }
        if (pending_.size() < length)
            break;
        frames.push_back(pending_.left(length));
        pending_.remove(0, length);
    }
    return frames;
}

int FrameAssembler::dropPartial()
{
    const int size = static_cast<int>(pending_.size());
    pending_.clear();
    return size;
}

std::optional<EventMessage> ParseEvent(const xandrel::ModelSpec& model, const QByteArray& bytes)
{
    if (bytes.size() < xandrel::kEventHeaderLength
        || xandrel::EventMessageLength(static_cast<uint8_t>(bytes[0])) != bytes.size())
        return std::nullopt;
    for (int k = 0; k < 4; ++k)
        if (static_cast<uint8_t>(bytes[1 + k]) != model.header[k])
            return std::nullopt;
    EventMessage event;
    event.type = static_cast<uint8_t>(bytes[6]);
    const bool routing = event.type == xandrel::kRoutingEvent;
    const int count = routing ? model.outputs : event.type == xandrel::kSignalEvent ? model.inputs : -1;
    const int highest = routing ? model.inputs : 1;
    if (count < 0 || bytes.size() - xandrel::kEventHeaderLength < count)
        return std::nullopt;
    for (int k = 0; k < count; ++k) {
        const int entry = static_cast<uint8_t>(bytes[xandrel::kEventHeaderLength + k]);
        if (entry > highest)
            return std::nullopt;
        event.entries.push_back(entry);
    }
    return event;
}

}  // namespace quellixd
