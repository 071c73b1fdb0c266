// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The retained messages that show a device, and the daemon itself, on MQTT:
// the state topics under "<base_topic>/<device>/" and Home Assistant's
// discovery configurations under "<discovery_prefix>/<component>/<id>/config".
// Everything is made from the device's JSON as the HTTP API gives it, so
// both tell the same.
#include <QJsonObject>

#include <string>
#include <vector>

#include "MqttConfig.h"
#include "MqttSession.h"

namespace quellixd {

// "<base_topic>/<device>/"
QString DeviceTopicPrefix(const MqttSettings& settings, const QString& device);
// "<base_topic>/status": the daemon's "online", or its last will "offline".
QString DaemonStatusTopic(const MqttSettings& settings);
QString HomeAssistantStatusTopic(const MqttSettings& settings);

// Everything a device publishes, configurations first (Home Assistant
// subscribes to the state topics as it takes them). `device` is
// HttpApi::DeviceJson(link, true).
std::vector<MqttMessage> DeviceMessages(const MqttSettings& settings, const QJsonObject& device);
// The daemon's status and its entity, which the devices name as via_device.
std::vector<MqttMessage> DaemonMessages(const MqttSettings& settings);

// The inputs' labels, as the outputs' selects offer them.
std::vector<std::string> InputLabels(const QJsonObject& device);
// The presets' names.
std::vector<std::string> PresetNames(const QJsonObject& device);

}  // namespace quellixd
