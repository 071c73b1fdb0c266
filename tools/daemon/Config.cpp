// SPDX-License-Identifier: GPL-3.0-or-later
#include "Config.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

#include "ConfigFields.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/ModelCatalog.h"

namespace quellixd {

namespace {

constexpr qint64 kConfigLimit = 1024 * 1024;

// True when two ports as written name the same line: the same text, or the
// same port of the table.
bool SamePort(const std::string& first, const std::string& second)
{
    if (first == second)
        return true;
    std::string problem;
    const int a = tavrik::ResolvePort(first, problem), b = tavrik::ResolvePort(second, problem);
    return a != 0 && a == b;
}

// A list of strings at `key`, empty when absent.
bool Texts(const QJsonObject& object, const QString& key, QStringList& values, QString& error)
{
    const QJsonValue field = object.value(key);
    if (field.isUndefined())
        return true;
    const QJsonArray list = field.toArray();
    if (!field.isArray() || std::any_of(list.begin(), list.end(), [](const QJsonValue& v) { return !v.isString(); })) {
        error = "\"" + key + "\" must be a list of strings";
        return false;
    }
    for (const QJsonValue& value : list)
        values.append(value.toString());
    return true;
}

// The token of "token" or "token_file": at least kShortestToken characters,
// no blanks or control characters.
bool Token(const QJsonObject& top, QString& token, QString& error)
{
    QString file;
    if (!Text(top, "token", token, "configuration", error) || !Text(top, "token_file", file, "configuration", error))
        return false;
    if (!token.isEmpty() && !file.isEmpty()) {
        error = "give \"token\" or \"token_file\", not both";
        return false;
    }
    if (!file.isEmpty()) {
        QFile source(file);
        if (!source.open(QIODevice::ReadOnly) || source.size() > 4096) {
            error = "\"token_file\": " + file + ": " + (source.isOpen() ? "larger than 4 KiB" : source.errorString());
            return false;
        }
        token = QString::fromUtf8(source.readAll()).trimmed();
    }
    if (token.isEmpty())
        return true;
    if (token.size() < kShortestToken) {
        error = "\"token\" must have at least " + QString::number(kShortestToken) + " characters";
        return false;
    }
    if (token.contains(QRegularExpression("[\\s\\x00-\\x1f]"))) {
        error = "\"token\" must not contain blanks or control characters";
        return false;
    }
    return true;
}

bool ParseDevice(const QJsonObject& object, int index, DeviceConfig& device, QString& error)
{
    QString where = "devices[" + QString::number(index) + "]";
    if (!OnlyKnownKeys(object, {"name", "port", "model", "id", "line_port", "data"}, where, error))
        return false;
    if (!Text(object, "name", device.name, where, error))
        return false;
    static const QRegularExpression kName("^[A-Za-z0-9_.-]{1,64}$");
    if (!kName.match(device.name).hasMatch()) {
        error = where + ": \"name\" must be 1-64 letters, digits, '.', '_' or '-'";
        return false;
    }
    where = "device " + device.name;
    QString port, model;
    if (!Text(object, "port", port, where, error) || !Text(object, "model", model, where, error))
        return false;
    if (port.isEmpty()) {
        error = where + ": \"port\" is missing (a COM number, a path such as /dev/ttyUSB0, or tcp://host:port)";
        return false;
    }
    std::string problem;
    // A path that is absent now (an adapter unplugged) is taken: the daemon
    // tries it until it appears.
    if (!port.startsWith('/') && tavrik::ResolvePort(port.toStdString(), problem) == 0) {
        error = where + ": " + QString::fromStdString(problem);
        return false;
    }
    device.port = port.toStdString();
    device.model = xandrel::FindModelByAnyName(model.toStdString());
    if (!device.model) {
        error = where + ": \"model\" " + (model.isEmpty() ? "is missing" : "\"" + model + "\" is no known model")
            + " ('quellix-cli models' lists them)";
        return false;
    }
    int id = 0, linePort = 0;
    if (!Number(object, "id", 0, 255, 255, id, where, error)
        || !Number(object, "line_port", 0, 65535, -1, linePort, where, error))
        return false;
    if (linePort < 0) {
        error = where + ": \"line_port\" is missing (the TCP port of the shared line)";
        return false;
    }
    device.id = id;
    device.linePort = static_cast<quint16>(linePort);
    return Text(object, "data", device.dataFolder, where, error);
}

}  // namespace

namespace {

// The settings of the whole daemon: where and how it listens.
bool ParseTop(const QJsonObject& top, DaemonConfig& result, QString& error)
{
    if (!OnlyKnownKeys(top,
                       {"listen", "http_port", "token", "token_file", "poll_ms", "max_clients", "allowed_origins",
                        "server_names", "devices", "mqtt"},
                       "configuration", error))
        return false;
    QString listen = "127.0.0.1";
    int httpPort = 0, pollMs = 0, maxClients = 0;
    if (!Text(top, "listen", listen, "configuration", error) || !Token(top, result.token, error)
        || !Number(top, "http_port", 0, 65535, kDefaultHttpPort, httpPort, "configuration", error)
        || !Number(top, "poll_ms", 50, 60000, 2000, pollMs, "configuration", error)
        || !Number(top, "max_clients", 1, 10000, 256, maxClients, "configuration", error)
        || !Texts(top, "allowed_origins", result.allowedOrigins, error)
        || !Texts(top, "server_names", result.serverNames, error))
        return false;
    if (!result.listen.setAddress(listen)) {
        error = "\"listen\": \"" + listen + "\" is not an IP address";
        return false;
    }
    if (!result.listen.isLoopback() && result.token.isEmpty()) {
        error = "\"listen\" is " + listen + ", not a loopback address: a \"token\" is required";
        return false;
    }
    result.maxClients = maxClients;
    result.httpPort = static_cast<quint16>(httpPort);
    result.pollMs = pollMs;
    return true;
}

// Why `device` cannot join the devices read before it: a name, a serial
// line or a TCP port taken already; empty when it can.
QString Clash(const DeviceConfig& device, const DaemonConfig& result)
{
    for (const DeviceConfig& other : result.devices) {
        if (other.name == device.name)
            return "device " + device.name + ": the name is used twice";
        if (SamePort(other.port, device.port))
            return "device " + device.name + ": port " + QString::fromStdString(device.port) + " is device "
                + other.name + "'s already (one owner per line)";
        if (device.linePort != 0 && other.linePort == device.linePort)
            return "device " + device.name + ": \"line_port\" " + QString::number(device.linePort) + " is used twice";
    }
    if (device.linePort != 0 && device.linePort == result.httpPort)
        return "device " + device.name + ": \"line_port\" " + QString::number(device.linePort) + " is used twice";
    return {};
}

bool ParseDevices(const QJsonValue& devices, DaemonConfig& result, QString& error)
{
    if (!devices.isArray() || devices.toArray().isEmpty()) {
        error = "\"devices\" must be a list of at least one device";
        return false;
    }
    int index = 0;
    for (const QJsonValue& entry : devices.toArray()) {
        DeviceConfig device;
        if (!entry.isObject()) {
            error = "devices[" + QString::number(index) + "] is not an object";
            return false;
        }
        if (!ParseDevice(entry.toObject(), index++, device, error))
            return false;
        if (!(error = Clash(device, result)).isEmpty())
            return false;
        result.devices.push_back(device);
    }
    return true;
}

}  // namespace

bool ParseConfig(const QByteArray& text, DaemonConfig& config, QString& error)
{
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &parse);
    if (parse.error != QJsonParseError::NoError) {
        error = "not JSON: " + parse.errorString() + " at byte " + QString::number(parse.offset);
        return false;
    }
    if (!document.isObject()) {
        error = "not a JSON object";
        return false;
    }
    const QJsonObject top = document.object();
    DaemonConfig result;
    if (!ParseTop(top, result, error) || !ParseDevices(top.value("devices"), result, error))
        return false;
    if (top.contains("mqtt")) {
        MqttSettings mqtt;
        if (!ParseMqttSettings(top.value("mqtt"), mqtt, error) || !CheckMqttNames(result.devices, error))
            return false;
        result.mqtt = mqtt;
    }
    config = result;
    return true;
}

bool LoadConfig(const QString& path, DaemonConfig& config, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = path + ": " + file.errorString();
        return false;
    }
    if (file.size() > kConfigLimit) {
        error = path + ": larger than 1 MiB";
        return false;
    }
    if (!ParseConfig(file.readAll(), config, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

QString DefaultConfigPath()
{
    const QString user = QDir::homePath() + "/.config/quellix/quellixd.conf";
    return QFile::exists(user) ? user : QStringLiteral("/etc/quellix/quellixd.conf");
}

}  // namespace quellixd
