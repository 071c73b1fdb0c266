// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttConfig.h"

#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>

#include "Config.h"
#include "ConfigFields.h"

namespace quellixd {

namespace {

const QString kWhere = "mqtt";
constexpr qint64 kPasswordFileLimit = 4096;

bool Readable(const QString& path, const QString& key, QString& error)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        return true;
    error = kWhere + ": \"" + key + "\" " + path + ": " + file.errorString();
    return false;
}

// A topic the daemon publishes under: levels without wildcards.
bool TopicRoot(const QJsonObject& section, const QString& key, QString& value, QString& error)
{
    if (!Text(section, key, value, kWhere, error))
        return false;
    static const QRegularExpression kRoot("^[^/+#\\x00-\\x1f]+(/[^/+#\\x00-\\x1f]+)*$");
    if (value.size() > 128 || !kRoot.match(value).hasMatch()) {
        error =
            kWhere + ": \"" + key + "\" must be 1-128 characters of topic levels, without '+', '#' or an empty level";
        return false;
    }
    return true;
}

bool ReadPasswordFile(const QString& path, QString& password, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = kWhere + ": \"password_file\" " + path + ": " + file.errorString();
        return false;
    }
    const QByteArray text = file.read(kPasswordFileLimit);
    password = QString::fromUtf8(text.left(text.indexOf('\n') < 0 ? text.size() : text.indexOf('\n'))).trimmed();
    if (password.isEmpty()) {
        error = kWhere + ": \"password_file\" " + path + " holds no password on its first line";
        return false;
    }
    return true;
}

bool ParseLogin(const QJsonObject& section, MqttSettings& settings, QString& error)
{
    QString passwordFile;
    if (!Text(section, "username", settings.username, kWhere, error)
        || !Text(section, "password", settings.password, kWhere, error)
        || !Text(section, "password_file", passwordFile, kWhere, error))
        return false;
    if (!settings.password.isEmpty() && !passwordFile.isEmpty()) {
        error = kWhere + ": give \"password\" or \"password_file\", not both";
        return false;
    }
    if (!passwordFile.isEmpty() && !ReadPasswordFile(passwordFile, settings.password, error))
        return false;
    if (!settings.password.isEmpty() && settings.username.isEmpty()) {
        error = kWhere + ": a password needs a \"username\"";
        return false;
    }
    return true;
}

bool ParseTls(const QJsonValue& value, std::optional<MqttTls>& tls, QString& error)
{
    if (value.isUndefined())
        return true;
    const QString where = kWhere + ".tls";
    if (!value.isObject()) {
        error = where + " must be an object";
        return false;
    }
    const QJsonObject section = value.toObject();
    MqttTls files;
    if (!OnlyKnownKeys(section, {"ca_file", "cert_file", "key_file"}, where, error)
        || !Text(section, "ca_file", files.caFile, where, error)
        || !Text(section, "cert_file", files.certFile, where, error)
        || !Text(section, "key_file", files.keyFile, where, error))
        return false;
    if (files.certFile.isEmpty() != files.keyFile.isEmpty()) {
        error = where + ": \"cert_file\" and \"key_file\" go together";
        return false;
    }
    const std::pair<QString, QString> named[] = {
        {"ca_file", files.caFile}, {"cert_file", files.certFile}, {"key_file", files.keyFile}};
    for (const auto& [key, path] : named)
        if (!path.isEmpty() && !Readable(path, key, error))
            return false;
    tls = files;
    return true;
}

bool ParseProtocol(const QJsonObject& section, MqttProtocol& protocol, QString& error)
{
    QString text;
    if (!Text(section, "protocol", text, kWhere, error))
        return false;
    if (text.isEmpty() && !section.contains("protocol"))
        protocol = MqttProtocol::Auto;
    else if (text == "5")
        protocol = MqttProtocol::V5;
    else if (text == "3.1.1")
        protocol = MqttProtocol::V311;
    else {
        error = kWhere + ": \"protocol\" must be \"5\" or \"3.1.1\"";
        return false;
    }
    return true;
}

QString DefaultClientId()
{
    QString host = QSysInfo::machineHostName();
    host.replace(QRegularExpression("[^A-Za-z0-9_-]"), "_");
    return "quellixd-" + (host.isEmpty() ? QStringLiteral("host") : host.left(32));
}

}  // namespace

bool ParseMqttSettings(const QJsonValue& value, MqttSettings& settings, QString& error)
{
    if (!value.isObject()) {
        error = kWhere + " must be an object";
        return false;
    }
    const QJsonObject section = value.toObject();
    MqttSettings result;
    if (!OnlyKnownKeys(section,
                       {"host", "port", "username", "password", "password_file", "client_id", "base_topic",
                        "discovery_prefix", "protocol", "keepalive", "tls"},
                       kWhere, error)
        || !Text(section, "host", result.host, kWhere, error) || !ParseLogin(section, result, error)
        || !ParseTls(section.value("tls"), result.tls, error) || !ParseProtocol(section, result.protocol, error)
        || !TopicRoot(section, "base_topic", result.baseTopic, error)
        || !TopicRoot(section, "discovery_prefix", result.discoveryPrefix, error)
        || !Number(section, "port", 1, 65535, result.tls ? 8883 : 1883, result.port, kWhere, error)
        || !Number(section, "keepalive", 5, 65535, 60, result.keepalive, kWhere, error)
        || !Text(section, "client_id", result.clientId, kWhere, error))
        return false;
    static const QRegularExpression kHost("^[A-Za-z0-9_.:%-]{1,253}$");
    if (!kHost.match(result.host).hasMatch()) {
        error = kWhere + ": \"host\" " + (result.host.isEmpty() ? "is missing" : "is no host name or address");
        return false;
    }
    static const QRegularExpression kClientId("^[A-Za-z0-9_.-]{1,64}$");
    if (result.clientId.isEmpty() && !section.contains("client_id"))
        result.clientId = DefaultClientId();
    if (!kClientId.match(result.clientId).hasMatch()) {
        error = kWhere + ": \"client_id\" must be 1-64 letters, digits, '.', '_' or '-'";
        return false;
    }
    settings = result;
    return true;
}

bool CheckMqttNames(const std::vector<DeviceConfig>& devices, QString& error)
{
    QSet<QString> ids;
    for (const DeviceConfig& device : devices) {
        const QString id = MqttObjectId(device.name);
        if (ids.contains(id)) {
            error = "device " + device.name + ": its MQTT ID \"" + id + "\" is another device's too";
            return false;
        }
        ids.insert(id);
    }
    return true;
}

QString MqttObjectId(const QString& name)
{
    QString id = name;
    return id.replace('.', '_');
}

}  // namespace quellixd
