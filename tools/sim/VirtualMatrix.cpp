// SPDX-License-Identifier: GPL-3.0-or-later
#include "VirtualMatrix.h"

#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ProtocolFrames.h"
#include "xandrel/edid/EdidCommands.h"
#include "xandrel/edid/EdidFile.h"

#include <algorithm>
#include <filesystem>
#include <numeric>

namespace quellix::sim {
namespace {

using namespace xandrel::edid;
constexpr uint8_t kAcknowledge = INFODEVICEMATRIXBASE::kAcknowledge;
constexpr uint8_t kBroadcastId = INFODEVICEMATRIXBASE::kBroadcastID;
// A sender that paused this long abandoned the partial frame it sent.
constexpr std::chrono::milliseconds kAbandonedFrameGap{100};

uint8_t Sum(const uint8_t* begin, const uint8_t* end)
{
    return static_cast<uint8_t>(std::accumulate(begin, end, 0u));
}

Bytes Acknowledged(Bytes body = {})
{
    body.insert(body.begin(), kAcknowledge);
    return body;
}

}  // namespace

Edid MakeDefaultEdid(uint16_t productCode)
{
    Edid edid{};
    const uint8_t base[] = {
        0x00,
        0xFF,
        0xFF,
        0xFF,
        0xFF,
        0xFF,
        0xFF,
        0x00,  // header
        0x45,
        0x98,  // manufacturer "QLX"
        static_cast<uint8_t>(productCode),
        static_cast<uint8_t>(productCode >> 8),
        0x01,
        0x00,
        0x00,
        0x00,  // serial number 1
        0x01,
        36,  // week 1 of 2026
        0x01,
        0x03,  // EDID 1.3
        0x80,
        0x35,
        0x1E,
        0x78,
        0x0A,  // digital, 53 x 30 cm, gamma 2.2, RGB
        0xEE,
        0x91,
        0xA3,
        0x54,
        0x4C,
        0x99,
        0x26,
        0x0F,
        0x50,
        0x54,  // colour
        0x21,
        0x08,
        0x00,  // established timings
        0x81,
        0x80,
        0x01,
        0x01,
        0x01,
        0x01,
        0x01,
        0x01,  // standard timings
        0x01,
        0x01,
        0x01,
        0x01,
        0x01,
        0x01,
        0x01,
        0x01,
        // 1920 x 1080 at 60 Hz, 148.5 MHz
        0x02,
        0x3A,
        0x80,
        0x18,
        0x71,
        0x38,
        0x2D,
        0x40,
        0x58,
        0x2C,
        0x45,
        0x00,
        0x13,
        0x2B,
        0x21,
        0x00,
        0x00,
        0x1E,
        // monitor name
        0x00,
        0x00,
        0x00,
        0xFC,
        0x00,
        'Q',
        'u',
        'e',
        'l',
        'l',
        'i',
        'x',
        ' ',
        'S',
        'i',
        'm',
        0x0A,
        0x20,
    };
    std::copy(std::begin(base), std::end(base), edid.begin());
    for (size_t offset = 90; offset < 126; offset += 18)  // two dummy descriptors
        edid[offset + 3] = 0x10;
    edid[127] = static_cast<uint8_t>(0x100 - Sum(edid.data(), edid.data() + 127));
    return edid;
}

VirtualMatrix::VirtualMatrix(const xandrel::ModelSpec& model, uint8_t deviceId)
    : model_(model)
    , deviceId_(deviceId)
    , routing_(model.outputs, 1)
    , signals_(model.inputs, 0)
{
    for (int input = 1; input <= model.inputs; ++input)
        inputEdids_.push_back(MakeDefaultEdid(static_cast<uint16_t>(0x0100 + input)));
    for (int output = 1; output <= model.outputs; ++output)
        outputEdids_.push_back(MakeDefaultEdid(static_cast<uint16_t>(0x0200 + output)));
    for (int slot = kSlotScratch; slot <= kLastSlot; ++slot)
        slotEdids_.push_back(MakeDefaultEdid(static_cast<uint16_t>(0x0300 + slot)));
}

std::vector<Received> VirtualMatrix::receive(const Bytes& bytes, std::chrono::milliseconds gapSinceLast)
{
    std::vector<Received> taken;
    if (gapSinceLast >= kAbandonedFrameGap && !pending_.empty()) {
        taken.push_back({pending_, std::nullopt, "ignored: frame abandoned half-way"});
        pending_.clear();
    }
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    while (!pending_.empty()) {
        const size_t length = pending_[0];
        if (length >= 8 && length <= 40 && pending_.size() < length)
            break;  // the rest of the frame is still on its way
        // At least the length byte itself, so a stray 0 is dropped like any other.
        const size_t available = std::max<size_t>(1, std::min(length, pending_.size()));
        const Bytes frame(pending_.begin(), pending_.begin() + static_cast<long>(available));
        if (std::string why = check(frame); !why.empty()) {
            taken.push_back({Bytes{pending_[0]}, std::nullopt, "ignored: " + why});
            pending_.erase(pending_.begin());
            continue;
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(length));
        std::optional<Answer> answered = answer(frame);
        taken.push_back({frame, answered, answered ? "" : "ignored: command not understood", true});
    }
    return taken;
}

std::string VirtualMatrix::check(const Bytes& frame) const
{
    const size_t length = frame[0];
    if (length < 8 || length > 40)
        return "not a frame length";
    if (!std::equal(model_.header.begin(), model_.header.end(), frame.begin() + 1))
        return "another model's header";
    if (frame[5] != deviceId_ && frame[5] != kBroadcastId)
        return "another device ID";
    if (Sum(frame.data(), frame.data() + length - 1) != frame[length - 1])
        return "bad checksum";
    return {};
}

Answer VirtualMatrix::reply(uint8_t code, const Bytes& values, size_t bodyLength) const
{
    Bytes body(bodyLength, 0);
    body[0] = code;
    std::copy_n(values.begin(), std::min(values.size(), bodyLength - 2), body.begin() + 1);
    body.back() = Sum(body.data(), body.data() + bodyLength - 1);
    return Answer{Acknowledged(body), {}};
}

std::optional<Answer> VirtualMatrix::answer(const Bytes& frame)
{
    const uint8_t length = frame[0];
    const uint8_t code = frame[6];
    const uint8_t* payload = frame.data() + 7;
    const size_t payloadLength = length - 8u;
    const xandrel::ReplyLengths replies = xandrel::RepliesOf(model_);
    switch (code) {
    case 0x01: return reply(code, routing_, replies.routingRead);
    case 0x02: return writeRouting(Bytes(payload, payload + payloadLength));
    case 0x03: return reply(code, signals_, replies.signalsRead);
    case 0x04: return reply(code, {deviceId_}, replies.idRead);
    case 0x05:
        if (payloadLength != 1)
            return std::nullopt;
        deviceId_ = payload[0];
        return Answer{Acknowledged(), {}};
    case kCopyCode: return payloadLength == 3 ? copyEdid(payload[0], payload[1], payload[2]) : std::nullopt;
    case kReadCode: return payloadLength == 3 ? readEdid(payload[0], payload[1], payload[2]) : std::nullopt;
    case kWriteCode:
        return payloadLength == 11 ? writeEdid(payload[0], payload + 1, payload[9], payload[10]) : std::nullopt;
    default: return std::nullopt;
    }
}

// A family that answers a routing write with the routing it now has (the
// 8x8 family) takes a frame of its own fixed length; the others take one
// entry per output. Entries outside 1..inputs (the padding of a short
// model's fixed frame) leave their output as it is.
std::optional<Answer> VirtualMatrix::writeRouting(const Bytes& payload)
{
    const uint8_t echoLength = xandrel::RepliesOf(model_).routingWrite;
    const size_t fixedEntries = xandrel::RoutingWriteFrameLength(model_) - INFODEVICEMATRIXBASE::kMinFrameLength;
    if (payload.size() < routing_.size() || (echoLength > 0 && payload.size() != fixedEntries))
        return std::nullopt;
    for (size_t output = 0; output < routing_.size() && !ignoresRoutingWrites; ++output)
        if (payload[output] >= 1 && payload[output] <= model_.inputs)
            routing_[output] = payload[output];
    if (echoLength == 0)
        return Answer{Acknowledged(), {}};
    Bytes padded = routing_;
    padded.resize(fixedEntries, 0);
    return reply(0x02, padded, echoLength);
}

Edid* VirtualMatrix::inputOrNull(int input)
{
    return input >= 1 && input <= model_.inputs ? &inputEdids_[input - 1] : nullptr;
}

Edid* VirtualMatrix::slotOrNull(int slot)
{
    return slot >= kSlotScratch && slot <= kLastSlot ? &slotEdids_[slot - kSlotScratch] : nullptr;
}

std::optional<Answer> VirtualMatrix::copyEdid(uint8_t mode, uint8_t target, uint8_t source)
{
    const Edid* from = nullptr;
    std::vector<Edid*> to;
    const bool fromOutput = mode == kOutputToSlot || mode == kOutputToInput;
    if (fromOutput && source >= 1 && source <= model_.outputs)
        from = &outputEdids_[source - 1];
    else if (mode == kInputToSlot)
        from = inputOrNull(source);
    else if (mode == kSlotToInput && source >= kFirstSlot)
        from = slotOrNull(source);

    if (mode == kOutputToSlot || (mode == kInputToSlot && target >= kFirstSlot)) {
        if (Edid* slot = slotOrNull(target))
            to.push_back(slot);
    } else if (mode == kOutputToInput || mode == kSlotToInput) {
        for (int input = 1; input <= model_.inputs; ++input)
            if (target == kAllInputs || target == input)
                to.push_back(&inputEdids_[input - 1]);
    }
    if (!from || to.empty())
        return Answer{Acknowledged({kRefused}), {}};
    const Edid copy = *from;
    for (Edid* edid : to)
        *edid = copy;
    return Answer{Acknowledged(), {{copyTime, Bytes{kDone}}}};
}

std::optional<Answer> VirtualMatrix::readEdid(uint8_t kind, uint8_t count, uint8_t number)
{
    const Edid* edid = kind == kReadSlot ? slotOrNull(number) : kind == kReadInput ? inputOrNull(number) : nullptr;
    if (!edid)
        return std::nullopt;
    if (count == kIdentityProbe)
        return reply(kReadCode, Bytes{(*edid)[8], (*edid)[9], (*edid)[10], (*edid)[11], 0, 0}, 8);
    if (count == kWholeEdid)
        return Answer{Acknowledged(), {{edidReadTime, Bytes(edid->begin(), edid->end())}}};
    return std::nullopt;
}

std::optional<Answer> VirtualMatrix::writeEdid(uint8_t kind, const uint8_t* data, uint8_t offset, uint8_t number)
{
    Edid* edid = kind == kWriteSlot ? slotOrNull(number) : kind == kWriteInput ? inputOrNull(number) : nullptr;
    if (!edid || offset % 8 != 0)
        return Answer{Acknowledged({kRefused}), {}};
    std::copy(data, data + 8, edid->begin() + offset);
    return Answer{Acknowledged({kDone}), {}};
}

int VirtualMatrix::loadEdids(const std::string& folder, std::string& error)
{
    namespace fs = std::filesystem;
    std::vector<Edid> found;
    std::error_code status;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder, status))
        if (entry.path().extension() == ".bin")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        xandrel::EdidImage image{};
        std::string why;
        if (xandrel::LoadEdidFile(file.string(), image, why))
            found.push_back(image);
    }
    if (found.empty()) {
        error = status ? folder + ": " + status.message() : "no loadable .bin file in " + folder;
        return 0;
    }
    size_t next = 0;
    for (std::vector<Edid>* ports : {&inputEdids_, &outputEdids_, &slotEdids_})
        for (Edid& edid : *ports)
            edid = found[next++ % found.size()];
    return static_cast<int>(found.size());
}

Bytes VirtualMatrix::eventMessage(uint8_t type, const Bytes& entries) const
{
    return xandrel::EventMessageBytes(model_, deviceId_, type, entries);
}

Bytes VirtualMatrix::frontPanelRoute(int output, int input)
{
    if (output < 1 || output > model_.outputs || input < 1 || input > model_.inputs)
        return {};
    routing_[output - 1] = static_cast<uint8_t>(input);
    return eventMessage(xandrel::kRoutingEvent, routing_);
}

Bytes VirtualMatrix::frontPanelSignal(int input, bool present)
{
    if (input < 1 || input > model_.inputs)
        return {};
    signals_[input - 1] = present ? 1 : 0;
    return eventMessage(xandrel::kSignalEvent, signals_);
}

bool VirtualMatrix::setDeviceId(int id)
{
    if (id < 0 || id > 255)
        return false;
    deviceId_ = static_cast<uint8_t>(id);
    return true;
}

}  // namespace quellix::sim
