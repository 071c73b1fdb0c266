// SPDX-License-Identifier: GPL-3.0-or-later
#include "Daemon.h"

#include <QTimer>

#include <algorithm>
#include <set>

#if defined(Q_OS_UNIX)
#include <sys/resource.h>
#endif

#include "DeviceLink.h"
#include "GuardedServer.h"
#include "HttpApi.h"
#include "Log.h"
#include "MqttBridge.h"
#include "SharedLine.h"
#include "xandrel/device/ModelCatalog.h"

namespace quellixd {

namespace {

// Descriptors kept for the daemon's own use (ports, files, the log) beside
// its clients: a client beyond the rest is refused, never left to exhaust
// them, which would stop every listener.
constexpr int kReservedDescriptors = 24;

// The clients the descriptor limit allows: the limit is raised as far as
// the system lets this process first.
int ClientsTheDescriptorsAllow(int wanted)
{
#if defined(Q_OS_UNIX)
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0)
        return wanted;
    if (files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
        getrlimit(RLIMIT_NOFILE, &files);
    }
    const auto room = static_cast<long long>(files.rlim_cur) - kReservedDescriptors;
    if (room < wanted) {
        Log("at most " + QString::number(std::max(1LL, room)) + " clients: the descriptor limit is "
            + QString::number(files.rlim_cur) + " (the service's LimitNOFILE)");
        return static_cast<int>(std::max(1LL, room));
    }
#endif
    return wanted;
}

// While draining, how often the requests still waiting are counted.
constexpr int kDrainLookMs = 20;

}  // namespace

GatePolicy PolicyOf(const DaemonConfig& config)
{
    GatePolicy policy;
    policy.token = config.token;
    policy.listen = config.listen;
    policy.allowedOrigins = config.allowedOrigins;
    policy.serverNames = config.serverNames;
    policy.bodyLimit = HttpApi::kBodyLimit;
    policy.headTimeMs = config.headTimeMs;
    policy.idleTimeMs = config.idleTimeMs;
    return policy;
}

Daemon::Daemon(QObject* parent)
    : QObject(parent)
{
}

Daemon::~Daemon()
{
    stop();
}

Daemon::Device Daemon::makeDevice(const DeviceConfig& device, const DaemonConfig& config)
{
    Device made;
    made.link = std::make_unique<DeviceLink>(device, config.pollMs);
    made.line = std::make_unique<SharedLine>(*made.link, config.token, limit_, config.idleTimeMs);
    return made;
}

bool Daemon::listenLine(Device& device, const DaemonConfig& config, QString& error)
{
    if (!device.line->listen(config.listen, device.link->config().linePort, error))
        return false;
    device.link->setLinePort(device.line->port());
    return true;
}

void Daemon::startDevice(Device& device)
{
    const DeviceConfig& config = device.link->config();
    Log("device " + config.name + ": " + config.model->className + " on "
        + QString::fromStdString(device.link->address()) + ", shared line on port "
        + QString::number(device.line->port()));
    device.link->start();
}

void Daemon::retire(Device& device)
{
    Log("device " + device.link->config().name + ": ended by the new configuration");
    device.line.reset();
    device.link.release()->retire();  // deletes itself once its worker has ended
}

std::vector<DeviceLink*> Daemon::links() const
{
    std::vector<DeviceLink*> links;
    for (const Device& device : devices_)
        links.push_back(device.link.get());
    return links;
}

bool Daemon::start(const DaemonConfig& config, QString& error)
{
    stop();
    limit_ = std::make_shared<ClientLimit>(ClientsTheDescriptorsAllow(config.maxClients));
    for (const DeviceConfig& device : config.devices) {
        devices_.push_back(makeDevice(device, config));
        if (!listenLine(devices_.back(), config, error)) {
            stop();
            return false;
        }
    }
    http_ = std::make_unique<HttpApi>(links(), PolicyOf(config), limit_);
    if (http_->listen(config.listen, config.httpPort) == 0) {
        error = "HTTP API on " + config.listen.toString() + ":" + QString::number(config.httpPort)
            + ": cannot listen (in use?)";
        stop();
        return false;
    }
    config_ = config;
    Log("HTTP API on http://" + config.listen.toString() + ":" + QString::number(httpPort()) + "/"
        + (config.token.isEmpty() ? "" : " (token required)"));
    for (Device& device : devices_)
        startDevice(device);
    followMqtt(config, links());
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
    devices_.clear();
}

// Another address to listen on: everything starts afresh, and the running
// configuration again when the new one cannot run.
bool Daemon::restart(const DaemonConfig& config, QString& error)
{
    const DaemonConfig previous = config_;
    if (start(config, error))
        return true;
    QString again;
    if (!start(previous, again))
        Log("the previous configuration cannot run either: " + again);
    return false;
}

// For each wanted device, the running one it is when its settings are all
// as they were (-1 for none): it keeps its port, its state and its clients.
std::vector<int> Daemon::keptDevices(const DaemonConfig& config) const
{
    std::vector<int> keptFrom(config.devices.size(), -1);
    std::vector<bool> taken(devices_.size(), false);
    for (size_t k = 0; k < config.devices.size(); ++k)
        for (size_t old = 0; old < devices_.size() && keptFrom[k] < 0; ++old)
            if (!taken[old] && devices_[old].link->config() == config.devices[k])
                keptFrom[k] = static_cast<int>(old), taken[old] = true;
    return keptFrom;
}

bool Daemon::reload(const DaemonConfig& config, QString& error)
{
    if (config.listen != config_.listen || config.httpPort != config_.httpPort)
        return restart(config, error);
    const std::vector<int> keptFrom = keptDevices(config);
    std::set<quint16> leavingPorts;
    for (size_t old = 0; old < devices_.size(); ++old)
        if (std::find(keptFrom.begin(), keptFrom.end(), static_cast<int>(old)) == keptFrom.end())
            leavingPorts.insert(devices_[old].line->port());
    // The new devices listen first, but on a port a leaving device holds:
    // nothing changes when one of them cannot.
    std::vector<Device> next(config.devices.size());
    for (size_t k = 0; k < config.devices.size(); ++k) {
        if (keptFrom[k] >= 0)
            continue;
        next[k] = makeDevice(config.devices[k], config);
        if (!leavingPorts.count(config.devices[k].linePort) && !listenLine(next[k], config, error))
            return false;
    }
    for (size_t k = 0; k < config.devices.size(); ++k)
        if (keptFrom[k] >= 0)
            std::swap(next[k], devices_[static_cast<size_t>(keptFrom[k])]);
    for (Device& leaving : devices_)
        if (leaving.link)
            retire(leaving);
    devices_ = std::move(next);
    takeOver(config, keptFrom, leavingPorts);
    return true;
}

// After a reload: the kept devices take the new settings, the new ones
// listen on ports freed meanwhile and start, the server follows them all.
void Daemon::takeOver(const DaemonConfig& config, const std::vector<int>& keptFrom, const std::set<quint16>& freedPorts)
{
    for (size_t k = 0; k < devices_.size(); ++k) {
        Device& device = devices_[k];
        if (keptFrom[k] >= 0) {
            device.link->setPollInterval(config.pollMs);
            device.line->setToken(config.token);
            Log("device " + config.devices[k].name + ": unchanged");
            continue;
        }
        QString why;
        if (freedPorts.count(config.devices[k].linePort) && !listenLine(device, config, why))
            Log(why);
        startDevice(device);
    }
    limit_->setMaximum(ClientsTheDescriptorsAllow(config.maxClients));
    http_->setPolicy(PolicyOf(config));
    http_->setLinks(links());
    followMqtt(config, links());
    config_ = config;
}

quint16 Daemon::httpPort() const
{
    return http_ ? http_->port() : 0;
}

quint16 Daemon::linePort(const QString& device) const
{
    for (const Device& one : devices_)
        if (one.link->config().name == device)
            return one.line->port();
    return 0;
}

DeviceLink* Daemon::link(const QString& device) const
{
    for (const Device& one : devices_)
        if (one.link->config().name == device)
            return one.link.get();
    return nullptr;
}

void Daemon::drain(int graceMs, std::function<void()> done)
{
    if (http_)
        http_->stopListening();
    for (Device& device : devices_)
        device.line->stopListening();
    auto* look = new QTimer(this);
    auto waited = std::make_shared<int>(0);
    connect(look, &QTimer::timeout, this, [this, look, waited, graceMs, done] {
        *waited += kDrainLookMs;
        if (http_ && http_->waiting() > 0 && *waited < graceMs)
            return;
        if (http_)
            http_->answerWaiting("the daemon is ending");
        look->deleteLater();
        done();
    });
    look->start(kDrainLookMs);
}

}  // namespace quellixd
