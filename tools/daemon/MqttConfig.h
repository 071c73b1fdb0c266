// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "mqtt" section of the daemon's configuration: the broker, how to log
// in, and the topics the devices appear under.
//
//   "mqtt": {
//     "host": "127.0.0.1",               the broker (required)
//     "port": 1883,                      8883 with "tls"
//     "username": "quellix",
//     "password": "...",                 or "password_file": its first line
//     "client_id": "quellixd-HOST",      each device's connection adds "-DEVICE"
//     "base_topic": "quellix",
//     "discovery_prefix": "homeassistant",
//     "protocol": "5",                   "5" or "3.1.1"; absent: 5, else 3.1.1
//     "keepalive": 60,                   seconds
//     "tls": {"ca_file": ..., "cert_file": ..., "key_file": ...}
//   }
//
// Files named are read when the configuration is: one that cannot be is a
// configuration that is not valid.
#include <QJsonValue>
#include <QString>

#include <optional>
#include <vector>

namespace quellixd {

struct DeviceConfig;

struct MqttTls {
    QString caFile;  // empty: the system's certificate authorities
    QString certFile;
    QString keyFile;

    bool operator==(const MqttTls&) const = default;
};

enum class MqttProtocol {
    Auto,  // 5, or 3.1.1 with a broker that refuses 5
    V311,
    V5
};

struct MqttSettings {
    QString host;
    int port = 1883;
    QString username;
    QString password;
    QString clientId;
    QString baseTopic = "quellix";
    QString discoveryPrefix = "homeassistant";
    MqttProtocol protocol = MqttProtocol::Auto;
    int keepalive = 60;
    std::optional<MqttTls> tls;

    bool operator==(const MqttSettings&) const = default;
};

// Reads the "mqtt" section; false with a message naming the key at fault.
bool ParseMqttSettings(const QJsonValue& section, MqttSettings& settings, QString& error);

// Checks that the devices' names stay apart where MQTT uses them
// (MqttObjectId).
bool CheckMqttNames(const std::vector<DeviceConfig>& devices, QString& error);

// A name as Home Assistant takes it in a discovery topic and an ID:
// letters, digits, '_' and '-' ('.' becomes '_').
QString MqttObjectId(const QString& name);

}  // namespace quellixd
