// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One device's line as the daemon's worker thread uses it: the port driver
// and the model, every exchange of one frame with the device, and the state
// the device last reported. Used on the worker's thread only; the owner on
// the main thread sees it through the reports it hands out.
//
// The daemon carries every frame itself (its own and its clients'), so it
// can keep what the model's commands would not: an event message that comes
// before, between or in place of an answer is taken into the state and
// handed on, never cleared; and the device gets its rest between any two
// exchanges, whoever asked for them.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "Config.h"
#include "DeviceState.h"
#include "tavrik/INFOPORTDRIVER.h"

class INFODEVICEMATRIXBASE;

namespace quellixd {

// What the device answered to one frame.
struct LineReply {
    bool written = false;  // the frame went out whole
    int ack = -1;          // the byte after the frame: AA accepts it; -1 when none came
    QByteArray body;       // the reply body after the AA, as far as it came
    bool whole = false;    // the whole answer the frame calls for came
    bool accepted() const { return ack == 0xAA; }
};

// What a job changed, for the main thread: the state after it, the event
// messages the device sent (for every client of the shared line), and the
// messages the daemon makes for changes some clients have not seen.
struct LineReport {
    DeviceState state;
    std::vector<QByteArray> deviceEvents;
    std::vector<QByteArray> announcements;
};

class DeviceLine {
public:
    explicit DeviceLine(const DeviceConfig& config);
    ~DeviceLine();

    INFODEVICEMATRIXBASE& model() { return *model_; }
    const DeviceConfig& config() const { return config_; }
    // False for a frame to another device ID than the one the device answers
    // to (as far as the daemon knows it).
    bool addressedToDevice(const QByteArray& frame) const;
    // The port's system path or tcp:// address.
    const std::string& address() const { return address_; }

    // Opens the port; false (the state offline, with the reason) when it
    // cannot be opened.
    bool open();
    // True when the port went away during the last exchange: the state goes
    // offline and the port is closed, to be opened afresh.
    bool portLost();

    // Sends `frame` (a whole frame) after the device's rest and reads its
    // answer. `onAck` gets the AA at once when the body follows later (the
    // device works on it first). Updates the state from what the exchange
    // says of it.
    LineReply exchange(const QByteArray& frame, const std::function<void(uint8_t)>& onAck = {});
    // The same for a client's frame: a frame the device leaves unanswered
    // (another client's mistake, maybe) does not make it silent for all, but
    // has the next poll ask the device itself.
    LineReply forward(const QByteArray& frame, const std::function<void(uint8_t)>& onAck);
    // True once until the next poll asks the device.
    bool takeCheckWanted() { return std::exchange(checkWanted_, false); }
    // Takes the event messages that arrived unasked, waiting up to
    // `firstByteMs` for the first byte.
    void listen(uint32_t firstByteMs);
    // While `stop` says so, no further frame is sent (a job cancelled or the
    // link ending); an exchange under way is never cut.
    void setStop(std::function<bool()> stop) { stop_ = std::move(stop); }
    bool stopping() const { return stop_ && stop_(); }
    // Milliseconds since the last exchange with the device ended.
    uint64_t restedMs() const { return driver_.sinceLastExchange() / 1000; }

    // Frames of the daemon's own.
    QByteArray readRoutingFrame();
    QByteArray readSignalsFrame();
    QByteArray readDeviceIdFrame();
    QByteArray writeRoutingFrame(const std::vector<int>& routing);
    QByteArray edidIdentityFrame(int input);

    // The device's answer to the state reads: false when it gave none.
    bool readRouting();
    bool readSignals();
    // Learns the ID the device answers to (for the event messages the daemon
    // makes in its name).
    bool readDeviceId();

    const DeviceState& state() const { return state_; }
    // The state now, with the device's and the daemon's messages since the
    // last report; the announcements bring every client to the state.
    LineReport report();
    // Marks the routing as not known for sure (a write whose outcome is
    // unknown): the next exchange that works reads it again.
    void doubtRouting() { routingDoubtful_ = true; }
    bool routingDoubtful() const { return routingDoubtful_; }
    void noteAnswered(bool answered, const QString& problem);

private:
    bool readByte(uint8_t& byte, uint32_t tryMs, uint8_t tries);
    bool readAck(uint8_t& ack);
    QByteArray readBody(int bytes, bool later);
    void takeEvent(uint8_t first);
    void takeTraffic(const QByteArray& frame, const LineReply& reply);
    QByteArray prepared();
    QByteArray eventMessage(uint8_t type, const std::vector<int>& entries) const;
    void announce(bool known, const std::vector<int>& now, std::vector<int>& told, uint8_t type,
                  LineReport& report) const;

    DeviceConfig config_;
    std::string address_;
    int portNumber_ = 0;
    INFOPORTDRIVER driver_;
    std::unique_ptr<INFODEVICEMATRIXBASE> model_;
    DeviceState state_;
    uint8_t deviceId_;  // the ID the device answers to, as far as known
    bool routingDoubtful_ = false;
    // What the clients of the shared line have been told.
    std::vector<int> announcedRouting_;
    std::vector<int> announcedSignals_;
    std::vector<QByteArray> deviceEvents_;
    std::function<bool()> stop_;
    bool checkWanted_ = false;
};

}  // namespace quellixd
