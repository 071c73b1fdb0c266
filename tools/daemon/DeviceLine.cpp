// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceLine.h"

#include <algorithm>

#include "LineProtocol.h"
#include "Log.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/device/ProtocolFrames.h"
#include "xandrel/edid/EdidCommands.h"

namespace quellixd {

namespace {

using Base = INFODEVICEMATRIXBASE;

// The acknowledgement and every byte of a body: two tries of 500 ms.
constexpr uint32_t kByteTryMs = 500;
constexpr uint8_t kByteTries = 2;
// The first byte of a body the device works on first (a whole EDID, a
// copy's B6): up to 12 s, longer than any client waits.
constexpr uint32_t kLateTryMs = 1000;
constexpr uint8_t kLateTries = 12;
// Event messages that may stand in the way of an acknowledgement or a late body.
constexpr int kEventsBeforeAck = 4;

QByteArray Bytes(const std::vector<uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// The entries of a reply or message when each is at most `highest`.
std::optional<std::vector<int>> Entries(const QByteArray& values, int count, int highest)
{
    if (values.size() < count)
        return std::nullopt;
    std::vector<int> entries;
    for (int k = 0; k < count; ++k) {
        const int value = static_cast<uint8_t>(values[k]);
        if (value > highest)
            return std::nullopt;
        entries.push_back(value);
    }
    return entries;
}

}  // namespace

const char* ConnectionName(Connection connection)
{
    switch (connection) {
    case Connection::Offline: return "offline";
    case Connection::Silent: return "silent";
    case Connection::Online: return "online";
    }
    return "offline";
}

DeviceLine::DeviceLine(const DeviceConfig& config)
    : config_(config)
    , model_(xandrel::CreateModel(*config.model))
    , deviceId_(static_cast<uint8_t>(config.id))
{
    std::string problem;
    portNumber_ = tavrik::ResolvePort(config.port, problem);
    if (portNumber_ == 0)  // a path absent now: numbered for the run, opened once it appears
        portNumber_ = tavrik::PortTable::instance().numberOf(config.port);
    address_ = tavrik::PortTable::instance().addressOf(portNumber_);
    if (address_.empty())
        address_ = config.port;
    model_->DEVMA_SetPortDriver(&driver_);
    model_->m_DeviceID = static_cast<BYTE>(config.id);
    driver_.m_ShowError = 0;
    state_.problem = "not opened yet";
    state_.routing.assign(config.model->outputs, 0);
    state_.signals.assign(config.model->inputs, 0);
}

DeviceLine::~DeviceLine()
{
    driver_.RS232_ClosePort();
}

bool DeviceLine::open()
{
    driver_.RS232_ClosePort();
    if (driver_.RS232_OpenPort(portNumber_, model_->m_BaudRate) == 1)
        return true;
    state_.connection = Connection::Offline;
    state_.problem = driver_.RS232_LastErrorText();
    if (state_.problem.isEmpty())
        state_.problem = "cannot open " + QString::fromStdString(address_);
    return false;
}

bool DeviceLine::portLost()
{
    if (driver_.RS232_IsOpen() && !driver_.RS232_DeviceLost())
        return false;
    state_.connection = Connection::Offline;
    state_.problem = driver_.RS232_LastErrorText();
    if (state_.problem.isEmpty())
        state_.problem = "the port closed";
    driver_.RS232_ClosePort();
    return true;
}

void DeviceLine::noteAnswered(bool answered, const QString& problem)
{
    state_.connection = answered ? Connection::Online : Connection::Silent;
    state_.problem = answered ? QString() : problem;
}

// One byte within `tries` tries of `tryMs`; the port's read settings are
// put back afterwards.
bool DeviceLine::readByte(uint8_t& byte, uint32_t tryMs, uint8_t tries)
{
    COMMTIMEOUTS saved{};
    driver_.RS232_GetTimeouts(saved);
    const uint8_t savedTimes = driver_.m_ReadTimes;
    const uint32_t savedInterval = driver_.m_ReadInterval;
    COMMTIMEOUTS timeouts = saved;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = tryMs;
    driver_.RS232_SetTimeouts(timeouts);
    driver_.m_ReadTimes = tries;
    driver_.m_ReadInterval = 1;
    const bool read = driver_.RS232_ReadBuf(&byte, 1) == 1;
    driver_.RS232_SetTimeouts(saved);
    driver_.m_ReadTimes = savedTimes;
    driver_.m_ReadInterval = savedInterval;
    return read;
}

void DeviceLine::listen(uint32_t firstByteMs)
{
    if (!driver_.RS232_IsOpen())
        return;
    uint8_t first = 0;
    while (readByte(first, firstByteMs, 1)) {
        takeEvent(first);
        firstByteMs = 1;
    }
}

// Reads the rest of the message `first` starts. A whole message of the model
// goes into the state and to every client; other bytes are stray and dropped.
void DeviceLine::takeEvent(uint8_t first)
{
    const int length = xandrel::EventMessageLength(first);
    if (length == 0)
        return;
    QByteArray message(1, static_cast<char>(first));
    uint8_t byte = 0;
    while (message.size() < length && readByte(byte, kByteTryMs, kByteTries))
        message.append(static_cast<char>(byte));
    const std::optional<EventMessage> event = ParseEvent(*config_.model, message);
    if (!event) {
        Log("device " + config_.name + ": dropped " + QString::number(message.size())
            + " bytes that are no event message of the model");
        return;
    }
    if (event->type == xandrel::kRoutingEvent) {
        state_.routing = announcedRouting_ = event->entries;
        state_.routingKnown = true;
    } else {
        state_.signals = announcedSignals_ = event->entries;
        state_.signalsKnown = true;
    }
    if (config_.id == Base::kBroadcastID)
        deviceId_ = static_cast<uint8_t>(message[5]);
    deviceEvents_.push_back(message);
    noteAnswered(true, {});
}

// The acknowledgement, or the byte that stands in its place; event messages
// sent just before it are taken on the way.
bool DeviceLine::readAck(uint8_t& ack)
{
    for (int events = 0; events <= kEventsBeforeAck; ++events) {
        if (!readByte(ack, kByteTryMs, kByteTries))
            return false;
        if (ack == Base::kAcknowledge || xandrel::EventMessageLength(ack) == 0)
            return true;
        takeEvent(ack);
    }
    return false;
}

QByteArray DeviceLine::readBody(int bytes, bool later)
{
    QByteArray body;
    uint8_t byte = 0;
    int events = 0;
    while (body.size() < bytes) {
        const bool waiting = body.isEmpty() && later;
        if (!readByte(byte, waiting ? kLateTryMs : kByteTryMs, waiting ? kLateTries : kByteTries))
            break;
        // While the device works on a late body (a copy's B6 or 00, an EDID
        // starting 00) the front panel may report first: such a message is
        // no body's first byte.
        if (waiting && xandrel::EventMessageLength(byte) != 0 && events++ < kEventsBeforeAck) {
            takeEvent(byte);
            continue;
        }
        body.append(static_cast<char>(byte));
    }
    return body;
}

LineReply DeviceLine::forward(const QByteArray& frame, const std::function<void(uint8_t)>& onAck)
{
    const DeviceState before = state_;
    const LineReply reply = exchange(frame, onAck);
    if (reply.ack < 0 && state_.connection == Connection::Silent && before.connection == Connection::Online) {
        state_.connection = before.connection;
        state_.problem = before.problem;
        checkWanted_ = true;
    }
    return reply;
}

LineReply DeviceLine::exchange(const QByteArray& frame, const std::function<void(uint8_t)>& onAck)
{
    LineReply reply;
    if (!driver_.RS232_IsOpen() || stopping())
        return reply;
    driver_.restBeforeFrame(Base::kPacingMs);
    listen(0);  // what has arrived already: no wait before the frame
    reply.written =
        driver_.RS232_WriteBuf(reinterpret_cast<const uint8_t*>(frame.constData()), static_cast<uint32_t>(frame.size()))
        == 1;
    uint8_t ack = 0;
    if (reply.written && readAck(ack)) {
        reply.ack = ack;
        const ExpectedReply expected = ReplyTo(*config_.model, frame);
        const bool bodyFollows = reply.accepted() && expected.bodyBytes > 0;
        if (bodyFollows && expected.bodyLater && onAck)
            onAck(ack);
        if (bodyFollows)
            reply.body = readBody(expected.bodyBytes, expected.bodyLater);
        reply.whole = reply.body.size() == (bodyFollows ? expected.bodyBytes : 0);
    }
    driver_.noteExchangeEnd();
    if (portLost())
        return reply;
    if (reply.ack < 0)
        noteAnswered(false, reply.written ? "no answer to a frame" : "a frame could not be sent");
    else if (!reply.whole)
        noteAnswered(false, "a reply body was cut off");
    else
        noteAnswered(true, {});
    if (reply.accepted() && reply.whole)
        takeTraffic(frame, reply);
    return reply;
}

// What an accepted exchange says of the device's state: a routing or signal
// read, a routing write, the device ID read or written.
void DeviceLine::takeTraffic(const QByteArray& frame, const LineReply& reply)
{
    const xandrel::ModelSpec& model = *config_.model;
    const auto code = static_cast<uint8_t>(frame[6]);
    const QByteArray values = reply.body.mid(1);
    if (code == Base::kReadRouting) {
        if (auto routing = Entries(values, model.outputs, model.inputs)) {
            state_.routing = *routing;
            state_.routingKnown = true;
            routingDoubtful_ = false;
        }
    } else if (code == Base::kReadSignals) {
        if (auto signals = Entries(values, model.inputs, 1)) {
            state_.signals = *signals;
            state_.signalsKnown = true;
        }
    } else if (code == Base::kWriteRouting) {
        for (int k = 0; k < model.outputs && 7 + k < frame.size() - 1; ++k) {
            const int input = static_cast<uint8_t>(frame[7 + k]);
            if (input >= 1 && input <= model.inputs)
                state_.routing[k] = input;
        }
    } else if (code == Base::kReadDeviceID && reply.body.size() >= 2) {
        deviceId_ = static_cast<uint8_t>(reply.body[1]);
    } else if (code == Base::kWriteDeviceID && frame.size() > 8) {
        deviceId_ = static_cast<uint8_t>(frame[7]);
    }
}

bool DeviceLine::addressedToDevice(const QByteArray& frame) const
{
    const auto id = static_cast<uint8_t>(frame[5]);
    return id == deviceId_ || id == Base::kBroadcastID || deviceId_ == Base::kBroadcastID;
}

QByteArray DeviceLine::prepared()
{
    return Bytes(model_->PreparedFrame());
}

QByteArray DeviceLine::readRoutingFrame()
{
    model_->BeginFrame(Base::kMinFrameLength, Base::kReadRouting);
    return prepared();
}

QByteArray DeviceLine::readSignalsFrame()
{
    model_->BeginFrame(Base::kMinFrameLength, Base::kReadSignals);
    return prepared();
}

QByteArray DeviceLine::readDeviceIdFrame()
{
    model_->BeginFrame(Base::kMinFrameLength, Base::kReadDeviceID);
    return prepared();
}

QByteArray DeviceLine::writeRoutingFrame(const std::vector<int>& routing)
{
    const uint8_t length = xandrel::RoutingWriteFrameLength(*config_.model);
    model_->BeginFrame(length, Base::kWriteRouting);
    const size_t entries = std::min<size_t>(routing.size(), length - Base::kMinFrameLength);
    for (size_t k = 0; k < entries; ++k)
        model_->m_Command[7 + k] = static_cast<BYTE>(routing[k]);
    return prepared();
}

QByteArray DeviceLine::edidIdentityFrame(int input)
{
    using namespace xandrel::edid;
    model_->BeginFrame(kReadFrameLength, kReadCode, {kReadInput, kIdentityProbe, static_cast<BYTE>(input)});
    return prepared();
}

bool DeviceLine::readRouting()
{
    const LineReply reply = exchange(readRoutingFrame());
    return reply.accepted() && reply.whole && Entries(reply.body.mid(1), config_.model->outputs, config_.model->inputs);
}

bool DeviceLine::readSignals()
{
    const LineReply reply = exchange(readSignalsFrame());
    return reply.accepted() && reply.whole && Entries(reply.body.mid(1), config_.model->inputs, 1);
}

bool DeviceLine::readDeviceId()
{
    const LineReply reply = exchange(readDeviceIdFrame());
    return reply.accepted() && reply.whole;
}

QByteArray DeviceLine::eventMessage(uint8_t type, const std::vector<int>& entries) const
{
    return Bytes(xandrel::EventMessageBytes(*config_.model, deviceId_, type,
                                            std::vector<uint8_t>(entries.begin(), entries.end())));
}

// A change of what the clients were told becomes a message; what the
// daemon first learns of the device is no change.
void DeviceLine::announce(bool known, const std::vector<int>& now, std::vector<int>& told, uint8_t type,
                          LineReport& report) const
{
    if (!known || now == told)
        return;
    if (!told.empty())
        report.announcements.push_back(eventMessage(type, now));
    told = now;
}

LineReport DeviceLine::report()
{
    LineReport report;
    report.state = state_;
    report.deviceEvents = std::move(deviceEvents_);
    deviceEvents_.clear();
    announce(state_.routingKnown, state_.routing, announcedRouting_, xandrel::kRoutingEvent, report);
    announce(state_.signalsKnown, state_.signals, announcedSignals_, xandrel::kSignalEvent, report);
    return report;
}

}  // namespace quellixd
