// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The daemon's configuration: a JSON file naming the devices it owns and
// where it listens.
//
//   {
//     "listen": "127.0.0.1",         address of the HTTP API and the shared lines
//     "http_port": 8470,             0 picks a free port
//     "token": "a-secret-of-16-or-more", required when "listen" is not a loopback address
//     "token_file": "/run/credentials/quellixd.service/token",  or the token read from a file
//     "max_clients": 256,            connections at once, HTTP and shared lines together
//     "allowed_origins": ["https://panel.example"],  web pages (besides the daemon's own) that may use the API
//     "server_names": ["matrix.example"],  Host names (besides loopback and the listen address) the API answers to
//     "poll_ms": 2000,               how often each device's event messages are read
//     "devices": [
//       {"name": "studio", "port": "/dev/ttyUSB0", "model": "8x8", "id": 0,
//        "line_port": 8471, "data": "/var/lib/quellix"}
//     ]
//     "mqtt": {"host": "127.0.0.1"}   optional: see MqttConfig.h
//   }
//
// "id" defaults to the model's own (255, which every device answers);
// "data" is the folder whose ds.dat names inputs and outputs and whose
// presets.json holds the device's presets (optional). Keys starting with
// "_" are notes. A port path absent now is taken (the daemon waits for it).
#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

#include "MqttConfig.h"

namespace xandrel {
struct ModelSpec;
}

namespace quellixd {

struct DeviceConfig {
    QString name;
    std::string port;  // as written: a COM number, a path or tcp://host:port
    const xandrel::ModelSpec* model = nullptr;
    int id = 255;
    quint16 linePort = 0;
    QString dataFolder;

    bool operator==(const DeviceConfig&) const = default;
};

struct DaemonConfig {
    QHostAddress listen{QHostAddress::LocalHost};
    quint16 httpPort = 8470;
    QString token;
    int pollMs = 2000;
    int maxClients = 256;
    QStringList allowedOrigins;
    QStringList serverNames;
    std::vector<DeviceConfig> devices;
    // How long a request's head may take and a connection may idle; fixed
    // for the daemon, shorter in tests.
    int headTimeMs = 10000;
    int idleTimeMs = 60000;

    // True when `other` serves HTTP the same way (address, port, token,
    // limits): a reload keeps the server and its connections.
    bool sameHttp(const DaemonConfig& other) const
    {
        return listen == other.listen && httpPort == other.httpPort && token == other.token
            && maxClients == other.maxClients && allowedOrigins == other.allowedOrigins
            && serverNames == other.serverNames;
    }
    std::optional<MqttSettings> mqtt;
};

inline constexpr int kShortestToken = 16;

inline constexpr int kDefaultHttpPort = 8470;

// Reads and checks a whole configuration; false with a message naming the
// key at fault when it is not one the daemon can run with.
bool ParseConfig(const QByteArray& text, DaemonConfig& config, QString& error);
bool LoadConfig(const QString& path, DaemonConfig& config, QString& error);

// The file used without --config: ~/.config/quellix/quellixd.conf when it
// exists, else /etc/quellix/quellixd.conf.
QString DefaultConfigPath();

}  // namespace quellixd
