// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttBridge.h"

#include <algorithm>
#include <map>
#include <mosquitto.h>
#include <mutex>
#include <set>

#include "DeviceLink.h"
#include "MqttDevice.h"
#include "MqttDiscovery.h"
#include "MqttSession.h"

namespace quellixd {

MqttBridge::MqttBridge(const MqttSettings& settings, QObject* parent)
    : QObject(parent)
    , settings_(settings)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { mosquitto_lib_init(); });
    thread_.setObjectName("mqtt");
    onThread_.moveToThread(&thread_);
    thread_.start();

    daemonSession_ = openSession(settings_.clientId, DaemonStatusTopic(settings_), true);
    const auto announce = [this] {
        for (const MqttMessage& message : DaemonMessages(settings_))
            daemonSession_->publish(message.topic, message.payload);
    };
    connect(daemonSession_, &MqttSession::connected, this, announce);
    connect(daemonSession_, &MqttSession::received, this,
            [this, announce](const QString& topic, const QByteArray& payload, bool retained) {
                if (topic == HomeAssistantStatusTopic(settings_) && payload == "online" && !retained)
                    announce();
            });
    daemonSession_->subscribe(HomeAssistantStatusTopic(settings_));
    daemonSession_->open();
}

MqttBridge::~MqttBridge()
{
    devices_.clear();
    daemonSession_->close({{DaemonStatusTopic(settings_), "offline"}});
    // Queued behind the closes, so that every session leaves first. Not
    // through a session: a closed one may be gone already.
    QMetaObject::invokeMethod(
        &onThread_, [this] { thread_.quit(); }, Qt::QueuedConnection);
    thread_.wait();
}

MqttSession* MqttBridge::openSession(const QString& clientId, const QString& willTopic, bool reportsBroker)
{
    auto* session = new MqttSession(settings_, clientId, {willTopic, "offline"}, reportsBroker);
    session->moveToThread(&thread_);
    return session;
}

void MqttBridge::follow(const std::vector<DeviceLink*>& links)
{
    std::vector<std::unique_ptr<MqttDevice>> kept;
    std::map<QString, std::set<QString>> leftovers;
    for (std::unique_ptr<MqttDevice>& device : devices_) {
        const auto same = std::find_if(links.begin(), links.end(),
                                       [&](DeviceLink* link) { return link->config().name == device->name(); });
        if (same == links.end())
            device->retire();
        else if (*same == device->link())
            kept.push_back(std::move(device));
        else  // its settings changed: what it published and no longer has is cleared
            leftovers[device->name()] = device->topics();
    }
    // Those that went close their sessions before the new ones open.
    devices_ = std::move(kept);
    for (DeviceLink* link : links) {
        if (std::any_of(devices_.begin(), devices_.end(), [&](const auto& device) { return device->link() == link; }))
            continue;
        const QString& name = link->config().name;
        MqttSession* session = openSession(settings_.clientId + "-" + MqttObjectId(name),
                                           DeviceTopicPrefix(settings_, name) + "availability", false);
        devices_.push_back(std::make_unique<MqttDevice>(*link, settings_, session, leftovers[name]));
    }
}

}  // namespace quellixd
