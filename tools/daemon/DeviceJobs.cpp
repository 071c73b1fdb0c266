// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceJobs.h"

#include <QJsonObject>

#include "DeviceLine.h"
#include "LineProtocol.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/device/RoutingCheck.h"
#include "xandrel/edid/EdidReport.h"

namespace quellixd {

namespace {

using Base = INFODEVICEMATRIXBASE;

// How long the event poll waits for the first byte of a message.
constexpr uint32_t kPollListenMs = 5;
// A line idle this long is checked: the device is asked its ID.
constexpr uint64_t kIdleCheckMs = 10000;

Outcome Offline(const DeviceLine& line)
{
    return {503, "the device is offline: " + line.state().problem};
}

// Reads the routing back after a write and compares.
Outcome ConfirmWrite(DeviceLine& line, const std::vector<int>& wanted)
{
    if (!line.readRouting()) {
        line.doubtRouting();
        return {502, "the routing was sent, but the device did not answer the read-back: the outcome is unknown", true};
    }
    const std::string differences = xandrel::RoutingDifferences(line.state().routing, wanted);
    if (differences.empty())
        return {};
    return {409, "the device did not follow: " + QString::fromStdString(differences)};
}

// The locked outputs among `changes` that would move from their input now.
QString LockedMoves(const std::vector<int>& now, const std::map<int, int>& changes, const std::set<int>& locked)
{
    QString moved;
    for (const auto& [output, input] : changes)
        if (locked.count(output) && now[output - 1] != input)
            moved += (moved.isEmpty() ? "" : ", ") + QString::number(output);
    return moved;
}

}  // namespace

bool OpenAndRead(DeviceLine& line)
{
    if (!line.open())
        return false;
    const bool id = line.readDeviceId();
    const bool signals = !line.portLost() && line.readSignals();
    const bool routing = !line.portLost() && line.readRouting();
    if (!line.portLost())
        line.noteAnswered(id || signals || routing, "no answer to the state read");
    return true;
}

void Poll(DeviceLine& line)
{
    if (line.state().connection == Connection::Offline)
        return;
    line.listen(kPollListenMs);
    if (line.portLost())
        return;
    // A device nobody has used for a while is asked whether it is still
    // there, so one that was unplugged shows within the check's time.
    const bool check = line.takeCheckWanted() || line.restedMs() >= kIdleCheckMs;
    if (line.state().connection == Connection::Online && check && !line.readDeviceId() && !line.portLost())
        line.noteAnswered(false, "no answer to the idle check");
    if (line.state().connection != Connection::Silent && !line.routingDoubtful())
        return;
    // A device that stopped answering is asked until it answers again; a
    // routing left in doubt by a write is read as soon as it does.
    const bool routing = line.readRouting();
    if (routing)
        line.readSignals();
    if (!line.portLost())
        line.noteAnswered(routing, line.state().problem);
}

Outcome WriteRouting(DeviceLine& line, const std::map<int, int>& changes, const std::set<int>& locked)
{
    if (line.state().connection == Connection::Offline)
        return Offline(line);
    // The device's routing now: a client of the shared line or the front
    // panel may have changed it since the daemon last looked.
    if (!line.readRouting())
        return line.state().connection == Connection::Offline
            ? Offline(line)
            : Outcome{503, "the device did not answer the routing read"};
    if (const QString moved = LockedMoves(line.state().routing, changes, locked); !moved.isEmpty())
        return {423, "locked: output " + moved + " may not change"};
    std::vector<int> wanted = line.state().routing;
    for (const auto& [output, input] : changes)
        wanted[output - 1] = input;
    if (wanted == line.state().routing)
        return {};
    const LineReply reply = line.exchange(line.writeRoutingFrame(wanted));
    if (!reply.written)
        return line.state().connection == Connection::Offline ? Offline(line)
                                                              : Outcome{503, "the routing could not be sent"};
    if (line.portLost()) {
        line.doubtRouting();
        return {502, "the port went away after the routing was sent: the outcome is unknown", true};
    }
    if (reply.ack >= 0 && !reply.accepted())
        return {409, QString::asprintf("the device refused the routing (it answered %02X)", reply.ack)};
    return ConfirmWrite(line, wanted);
}

Outcome ReadEdidIds(DeviceLine& line, QJsonArray& inputs)
{
    if (line.state().connection == Connection::Offline)
        return Offline(line);
    const int count = line.model().m_InputNumber;
    bool any = false;
    for (int input = 1; input <= count && !line.portLost(); ++input) {
        const LineReply reply = line.exchange(line.edidIdentityFrame(input));
        if (!reply.accepted() || !reply.whole || reply.body.size() < 5) {
            inputs.append(QJsonValue());
            continue;
        }
        any = true;
        const auto byte = [&](int k) { return static_cast<uint8_t>(reply.body[k]); };
        inputs.append(
            QJsonObject{{"input", input},
                        {"manufacturer", QString::fromStdString(xandrel::EdidManufacturerLetters(byte(1), byte(2)))},
                        {"product", QString::asprintf("%02X%02X", byte(4), byte(3))}});
    }
    if (line.state().connection == Connection::Offline)
        return Offline(line);
    line.noteAnswered(any, "no answer to the EDID probes");
    return any ? Outcome{} : Outcome{503, "no input answered"};
}

void Forward(DeviceLine& line, QByteArray frame, const std::set<int>& locked, const ReplySink& deliver)
{
    if (line.state().connection == Connection::Offline) {
        deliver({}, true);
        return;
    }
    if (!line.addressedToDevice(frame)) {
        deliver({}, true);
        return;
    }
    if (!locked.empty() && static_cast<uint8_t>(frame[6]) == Base::kWriteRouting)
        frame = KeepLockedOutputs(frame, line.state().routing, locked);
    const ExpectedReply expected = ReplyTo(*line.config().model, frame);
    const LineReply reply =
        line.forward(frame, [&](uint8_t ack) { deliver(QByteArray(1, static_cast<char>(ack)), false); });
    if (reply.ack < 0) {
        deliver({}, true);
        return;
    }
    const QByteArray ack(1, static_cast<char>(reply.ack));
    if (!reply.accepted() || expected.bodyBytes == 0)
        deliver(ack, true);
    else
        deliver(expected.bodyLater ? reply.body : ack + reply.body, true);
}

}  // namespace quellixd
