// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the daemon knows of the device's protocol to pass frames through:
// where a frame ends, how much the device answers to it, and which bytes
// from the device are event messages.
#include <QByteArray>

#include <optional>
#include <set>
#include <vector>

namespace xandrel {
struct ModelSpec;
}

namespace quellixd {

// What follows the acknowledgement byte of a frame.
struct ExpectedReply {
    int bodyBytes = 0;       // reply body after the AA
    bool bodyLater = false;  // the body comes after the device has worked on it (EDID read and copy)
};

// The answer the device gives to `frame` (a whole frame), from its command
// code, payload and the model.
ExpectedReply ReplyTo(const xandrel::ModelSpec& model, const QByteArray& frame);

// `frame` (a routing write) with the entries of the `locked` outputs (1-based)
// set to their inputs in `routing`, and its checksum made anew.
QByteArray KeepLockedOutputs(QByteArray frame, const std::vector<int>& routing, const std::set<int>& locked);

// Cuts a client's byte stream into frames by their length byte. A byte that
// cannot start a frame (a length outside 8-40) is dropped and counted.
class FrameAssembler {
public:
    // Takes `bytes` and returns the frames completed by them.
    std::vector<QByteArray> take(const QByteArray& bytes);
    // True while part of a frame waits for the rest.
    bool partial() const { return !pending_.isEmpty(); }
    // Drops the part of a frame waiting for the rest; how many bytes it held.
    int dropPartial();
    int droppedBytes() const { return dropped_; }

private:
    QByteArray pending_;
    int dropped_ = 0;
};

// An event message of the model: [length][header][ID][type][entries][checksum].
struct EventMessage {
    int type = 0;  // 1 routing, 2 input signals
    std::vector<int> entries;
};

// The event message in `bytes` (one whole message) when it is one of this
// model's, with entries for every output (routing) or input (signals).
std::optional<EventMessage> ParseEvent(const xandrel::ModelSpec& model, const QByteArray& bytes);

}  // namespace quellixd
