// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "xandrel/device/ModelCatalog.h"
#include "xandrel/edid/EdidCommands.h"

namespace quellix::sim {

using Bytes = std::vector<uint8_t>;
using Edid = std::array<uint8_t, 256>;

// What the device sends in answer to one frame: `now` at once (normally AA
// and the reply body), then each of `later` after its delay from the frame.
struct Answer {
    Bytes now;
    std::vector<std::pair<std::chrono::milliseconds, Bytes>> later;
};

// One frame taken off the line, with what became of it.
struct Received {
    Bytes frame;
    std::optional<Answer> answer;  // empty: the device stays silent
    std::string note;              // why a frame was ignored, for the trace
    bool wellFormed = false;       // a frame for this device, understood or not
};

// The device itself, without a line: model values, routing, input signals,
// device ID and EDIDs, and the serial protocol. It takes the bytes a program
// sends and tells what to answer; it knows nothing of time or faults.
class VirtualMatrix {
public:
    static constexpr uint8_t kSlotScratch = xandrel::edid::kScratchSlot;
    static constexpr uint8_t kFirstSlot = xandrel::edid::kDefaultA;
    static constexpr uint8_t kLastSlot = xandrel::edid::kDefaultD;
    static constexpr uint8_t kRefused = 0x00;  // answered instead of B6 to a copy or write it cannot do

    explicit VirtualMatrix(const xandrel::ModelSpec& model, uint8_t deviceId = 0);

    const xandrel::ModelSpec& model() const { return model_; }
    uint8_t deviceId() const { return deviceId_; }
    const Bytes& routing() const { return routing_; }
    const Bytes& signals() const { return signals_; }

    // Splits what arrived into frames. Bytes that cannot start a frame, and
    // frames that are not for this device, are dropped a byte at a time so a
    // valid frame behind them is still found. A partial frame waits for the
    // rest unless `gapSinceLast` shows the sender gave up on it.
    std::vector<Received> receive(const Bytes& bytes, std::chrono::milliseconds gapSinceLast = {});

    // Changes at the front panel; each returns the event message the device
    // sends about it (empty when nothing changed or the values are out of range).
    Bytes frontPanelRoute(int output, int input);
    Bytes frontPanelSignal(int input, bool present);
    bool setDeviceId(int id);

    // EDIDs at inputs (1..N), outputs (1..M) and memory slots 9..13.
    Edid& inputEdid(int input) { return inputEdids_.at(input - 1); }
    Edid& outputEdid(int output) { return outputEdids_.at(output - 1); }
    Edid& slotEdid(int slot) { return slotEdids_.at(slot - kSlotScratch); }

    // Gives the inputs, then the outputs, then the memory slots the EDIDs of
    // the .bin files in `folder` (in name order, over again when they run
    // out). Returns how many files were taken; `error` says why none were.
    int loadEdids(const std::string& folder, std::string& error);

    // A routing entry, a signal entry or the whole of an event message.
    Bytes eventMessage(uint8_t type, const Bytes& entries) const;

    // How long the device takes to copy an EDID, and to have a whole EDID ready.
    std::chrono::milliseconds copyTime{300};
    std::chrono::milliseconds edidReadTime{1000};
    // A faulty device: routing writes are acknowledged but change nothing.
    bool ignoresRoutingWrites = false;

private:
    std::optional<Answer> answer(const Bytes& frame);
    Answer reply(uint8_t code, const Bytes& values, size_t bodyLength) const;
    std::optional<Answer> writeRouting(const Bytes& payload);
    std::optional<Answer> copyEdid(uint8_t mode, uint8_t target, uint8_t source);
    std::optional<Answer> readEdid(uint8_t kind, uint8_t count, uint8_t number);
    std::optional<Answer> writeEdid(uint8_t kind, const uint8_t* data, uint8_t offset, uint8_t number);
    Edid* inputOrNull(int input);
    Edid* slotOrNull(int slot);
    std::string check(const Bytes& frame) const;

    xandrel::ModelSpec model_;
    uint8_t deviceId_;
    Bytes routing_;
    Bytes signals_;
    std::vector<Edid> inputEdids_;
    std::vector<Edid> outputEdids_;
    std::vector<Edid> slotEdids_;
    Bytes pending_;
};

// A plain EDID (valid header and checksums) carrying `productCode`, for ports
// nothing else was given for.
Edid MakeDefaultEdid(uint16_t productCode);

}  // namespace quellix::sim
