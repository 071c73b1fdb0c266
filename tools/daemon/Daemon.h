#pragma once
// The daemon's parts for one configuration: a link per device, its shared
// line, the HTTP API over all of them, and MQTT when configured.
#include <QObject>

#include <memory>
#include <vector>

#include "Config.h"

namespace quellixd {

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
    // Replaces the running configuration, keeping the devices whose
    // settings did not change; on failure the old one starts again.
    bool reload(const DaemonConfig& config, QString& error);

    quint16 httpPort() const;
    quint16 linePort(const QString& device) const;
    DeviceLink* link(const QString& device) const;

private:
    // Starts `config`, taking over the links (and their lines) given for
    // some of its devices, at the same index.
    bool build(const DaemonConfig& config, std::vector<std::unique_ptr<DeviceLink>> kept,
               std::vector<std::unique_ptr<SharedLine>> keptLines, QString& error);
    // Starts, follows or ends MQTT as `config` has it.
    void followMqtt(const DaemonConfig& config, const std::vector<DeviceLink*>& links);

    DaemonConfig config_;
    std::vector<std::unique_ptr<DeviceLink>> links_;
    std::vector<std::unique_ptr<SharedLine>> lines_;
    std::unique_ptr<HttpApi> http_;
    // Kept through a reload, so that devices that stay stay on the broker.
    std::unique_ptr<MqttBridge> mqtt_;
};

}  // namespace quellixd
