// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The daemon's parts for one configuration: a link per device, its shared
// line, the HTTP API over all of them, and MQTT when configured; reloaded in
// place, and ended without dropping an answer.
#include <QObject>

#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "Config.h"

namespace quellixd {

class ClientLimit;
class DeviceLink;
class SharedLine;
class HttpApi;
class MqttBridge;

class Daemon : public QObject {
    Q_OBJECT
public:
    explicit Daemon(QObject* parent = nullptr);
    ~Daemon() override;

    // Listens and starts every device; false with `error` when a port to
    // listen on cannot be had (nothing is left running then).
    bool start(const DaemonConfig& config, QString& error);
    void stop();
    // Takes `config` in place: the HTTP server, its connections and the
    // devices whose settings did not change stay as they are; a device that
    // changed or went ends off this thread. False with `error`, and nothing
    // changed, when the new configuration cannot run.
    bool reload(const DaemonConfig& config, QString& error);
    // Takes no new connection, lets the requests waiting for a device finish
    // for at most `graceMs`, answers what is left with 503, then calls `done`.
    void drain(int graceMs, std::function<void()> done);

    quint16 httpPort() const;
    quint16 linePort(const QString& device) const;
    DeviceLink* link(const QString& device) const;

private:
    struct Device {
        std::unique_ptr<DeviceLink> link;
        std::unique_ptr<SharedLine> line;
    };
    Device makeDevice(const DeviceConfig& device, const DaemonConfig& config);
    bool listenLine(Device& device, const DaemonConfig& config, QString& error);
    void startDevice(Device& device);
    void retire(Device& device);
    std::vector<DeviceLink*> links() const;
    bool restart(const DaemonConfig& config, QString& error);
    std::vector<int> keptDevices(const DaemonConfig& config) const;
    void takeOver(const DaemonConfig& config, const std::vector<int>& keptFrom, const std::set<quint16>& freedPorts);
    // Starts, follows or ends MQTT as `config` has it.
    void followMqtt(const DaemonConfig& config, const std::vector<DeviceLink*>& links);

    DaemonConfig config_;
    std::shared_ptr<ClientLimit> limit_;
    std::vector<Device> devices_;
    std::unique_ptr<HttpApi> http_;
    // Kept through a reload, so that devices that stay stay on the broker.
    std::unique_ptr<MqttBridge> mqtt_;
};

// What the HTTP gate takes from a configuration.
struct GatePolicy;
GatePolicy PolicyOf(const DaemonConfig& config);

}  // namespace quellixd
