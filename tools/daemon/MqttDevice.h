// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One device on MQTT: its state and Home Assistant's configurations,
// published again on every change, and the commands that route it.
//
//   <base>/<device>/availability        online / offline (and the will)
//   <base>/<device>/output/N            the input's label; .../output/N/set routes it
//   <base>/<device>/input/N/signal      ON / OFF
//   <base>/<device>/preset              the preset the routing is, or None
//   <base>/<device>/preset/set          a preset's name recalls it
//   <base>/<device>/presets             the presets (JSON)
//   <base>/<device>/state               the device as the HTTP API gives it
//
// Routes go through DeviceLink::writeRouting, so they are confirmed and
// respect the locks; a refused or unconfirmed one logs why and publishes
// the output's true state again. Commands that come while a route is on
// its way are merged into the next one, the last wish per output winning,
// so a flood of commands cannot queue up work on the line.
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "MqttConfig.h"
#include "MqttLogLimiter.h"
#include "MqttSession.h"

namespace quellixd {

class DeviceLink;

class MqttDevice : public QObject {
    Q_OBJECT
public:
    // Shows `link` through `session`, which it opens and closes. `leftovers`:
    // topics the device published under settings it had before (another
    // model), cleared when they are no longer its.
    MqttDevice(DeviceLink& link, const MqttSettings& settings, MqttSession* session, std::set<QString> leftovers = {});
    // The device shows offline and its session leaves the broker.
    ~MqttDevice() override;

    const QString& name() const { return name_; }
    DeviceLink* link() const { return link_; }
    // The topics published on the session's connection.
    std::set<QString> topics() const;
    // The device has left the configuration: every retained message it
    // published is cleared, Home Assistant's configurations with them, and
    // its session leaves.
    void retire();

private:
    void refresh();
    void offer(const MqttMessage& message);
    void onConnected();
    void onReceived(const QString& topic, const QByteArray& payload, bool retained);
    void route(int output, const QByteArray& payload);
    void recall(const QByteArray& payload);
    void want(const std::map<int, int>& changes);
    void writePending();
    void republish(const std::map<int, int>& changes);
    void refuse(const QString& why);
    void watchFolder();

    QPointer<DeviceLink> link_;
    QString name_;
    QString folder_;
    MqttSettings settings_;
    MqttSession* session_;  // lives on the MQTT thread; deletes itself when closed
    QString prefix_;        // "<base>/<device>/"
    std::map<QString, QByteArray> published_;
    std::set<QString> leftovers_;
    std::map<int, int> pending_;  // output -> input, not yet sent to the device
    bool writing_ = false;
    bool retired_ = false;
    MqttLogLimiter refusals_;
    QElapsedTimer clock_;
    QFileSystemWatcher folderWatcher_;
    QTimer folderSettled_;
};

}  // namespace quellixd
