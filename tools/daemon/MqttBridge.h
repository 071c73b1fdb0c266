// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The daemon on MQTT: a connection for the daemon itself (its status and
// last will under "<base>/status", the via_device of every device in Home
// Assistant) and one per device, whose last will sets the device's
// availability "offline" should the daemon die. The connections live on a
// thread of their own (see MqttSession).
#include <QObject>
#include <QThread>

#include <memory>
#include <vector>

#include "MqttConfig.h"

namespace quellixd {

class DeviceLink;
class MqttDevice;
class MqttSession;

class MqttBridge : public QObject {
    Q_OBJECT
public:
    explicit MqttBridge(const MqttSettings& settings, QObject* parent = nullptr);
    // Every device and the daemon show offline; the connections leave.
    ~MqttBridge() override;

    const MqttSettings& settings() const { return settings_; }

    // Follows the daemon's devices after it started or read its
    // configuration again: a device that left the configuration clears
    // what it published, a new one appears, an unchanged one carries on.
    void follow(const std::vector<DeviceLink*>& links);

private:
    MqttSession* openSession(const QString& clientId, const QString& willTopic, bool reportsBroker);

    MqttSettings settings_;
    QThread thread_;
    QObject onThread_;  // lives on thread_: the bridge tells the thread to quit through it
    MqttSession* daemonSession_ = nullptr;
    std::vector<std::unique_ptr<MqttDevice>> devices_;
};

}  // namespace quellixd
