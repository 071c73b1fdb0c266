#include "Daemon.h"

#include <QTcpServer>

#include "DeviceLink.h"
#include "HttpApi.h"
#include "Log.h"
#include "MqttBridge.h"
#include "SharedLine.h"
#include "xandrel/device/ModelCatalog.h"

namespace quellixd {

Daemon::Daemon(QObject* parent)
    : QObject(parent)
{
}

Daemon::~Daemon()
{
    stop();
}

bool Daemon::start(const DaemonConfig& config, QString& error)
{
    stop();
    return build(config, {}, {}, error);
}

bool Daemon::build(const DaemonConfig& config, std::vector<std::unique_ptr<DeviceLink>> kept,
                   std::vector<std::unique_ptr<SharedLine>> keptLines, QString& error)
{
    kept.resize(config.devices.size());
    keptLines.resize(config.devices.size());
    std::vector<bool> fresh(config.devices.size(), false);
    for (size_t k = 0; k < config.devices.size(); ++k) {
        const DeviceConfig& device = config.devices[k];
        if (!kept[k]) {
            fresh[k] = true;
            kept[k] = std::make_unique<DeviceLink>(device, config.pollMs);
            keptLines[k] = std::make_unique<SharedLine>(*kept[k], config.token);
        }
        links_.push_back(std::move(kept[k]));
        lines_.push_back(std::move(keptLines[k]));
        if (fresh[k] && !lines_.back()->listen(config.listen, device.linePort, error)) {
            stop();
            return false;
        }
        links_.back()->setLinePort(lines_.back()->port());
    }
    std::vector<DeviceLink*> links;
    for (const auto& link : links_)
        links.push_back(link.get());
    http_ = std::make_unique<HttpApi>(links, config.token);
    if (http_->listen(config.listen, config.httpPort) == 0) {
        error = "HTTP API on " + config.listen.toString() + ":" + QString::number(config.httpPort)
            + ": cannot listen (in use?)";
        stop();
        return false;
    }
    config_ = config;
    Log("HTTP API on http://" + config.listen.toString() + ":" + QString::number(httpPort()) + "/"
        + (config.token.isEmpty() ? "" : " (token required)"));
    for (size_t k = 0; k < links_.size(); ++k) {
        if (!fresh[k])
            continue;
        Log("device " + config.devices[k].name + ": " + config.devices[k].model->className + " on "
            + QString::fromStdString(links_[k]->address()) + ", shared line on port "
            + QString::number(lines_[k]->port()));
        links_[k]->start();
    }
    followMqtt(config, links);
    return true;
}

void Daemon::followMqtt(const DaemonConfig& config, const std::vector<DeviceLink*>& links)
{
    if (mqtt_ && (!config.mqtt || !(mqtt_->settings() == *config.mqtt)))
        mqtt_.reset();
    if (!config.mqtt)
        return;
    if (!mqtt_)
        mqtt_ = std::make_unique<MqttBridge>(*config.mqtt);
    mqtt_->follow(links);
}

void Daemon::stop()
{
    http_.reset();
    lines_.clear();
    links_.clear();
}

bool Daemon::reload(const DaemonConfig& config, QString& error)
{
    const DaemonConfig previous = config_;
    // A device whose settings are all as they were keeps its port, its state
    // and the clients of its shared line.
    const bool sameLines =
        config.listen == previous.listen && config.token == previous.token && config.pollMs == previous.pollMs;
    std::vector<std::unique_ptr<DeviceLink>> kept(config.devices.size());
    std::vector<std::unique_ptr<SharedLine>> keptLines(config.devices.size());
    for (size_t k = 0; k < config.devices.size() && sameLines; ++k) {
        for (size_t old = 0; old < links_.size(); ++old) {
            if (links_[old] && links_[old]->config() == config.devices[k]) {
                kept[k] = std::move(links_[old]);
                keptLines[k] = std::move(lines_[old]);
                Log("device " + config.devices[k].name + ": unchanged");
                break;
            }
        }
    }
    // The rest goes first, freeing its serial and TCP ports for the new ones.
    stop();
    if (build(config, std::move(kept), std::move(keptLines), error))
        return true;
    QString again;
    if (!start(previous, again))
        Log("the previous configuration cannot run either: " + again);
    return false;
}

quint16 Daemon::httpPort() const
{
    if (!http_)
        return 0;
    const QList<quint16> ports = http_->serverPorts();
    return ports.isEmpty() ? 0 : ports.first();
}

quint16 Daemon::linePort(const QString& device) const
{
    for (size_t k = 0; k < links_.size(); ++k)
        if (links_[k]->config().name == device)
            return lines_[k]->port();
    return 0;
}

DeviceLink* Daemon::link(const QString& device) const
{
    for (const auto& link : links_)
        if (link->config().name == device)
            return link.get();
    return nullptr;
}

}  // namespace quellixd
