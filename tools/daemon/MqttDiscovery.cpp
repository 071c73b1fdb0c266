// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttDiscovery.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "MqttPayload.h"

namespace quellixd {

namespace {

const QString kOnline = "online";
const QString kOffline = "offline";

QByteArray Compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonArray Strings(const std::vector<std::string>& texts)
{
    QJsonArray array;
    for (const std::string& text : texts)
        array.append(QString::fromStdString(text));
    return array;
}

std::vector<std::string> Labels(const QJsonValue& names, const std::string& kind)
{
    std::vector<std::string> texts;
    for (const QJsonValue& name : names.toArray())
        texts.push_back(name.toString().toStdString());
    return DistinctLabels(texts, kind);
}

QString DaemonId(const MqttSettings& settings)
{
    return "quellixd_" + MqttObjectId(settings.clientId);
}

// "quellixd-HOST", the default client ID, or "quellixd (ID)".
QString DaemonName(const MqttSettings& settings)
{
    return settings.clientId.startsWith("quellixd") ? settings.clientId : "quellixd (" + settings.clientId + ")";
}

QString ConfigTopic(const MqttSettings& settings, const QString& component, const QString& id)
{
    return settings.discoveryPrefix + "/" + component + "/" + id + "/config";
}

QJsonObject Origin()
{
    return {{"name", "quellixd"}, {"sw_version", QUELLIX_VERSION}};
}

// The fields every entity of a device has: its name and ID, the device it
// belongs to, and when it is available.
QJsonObject Entity(const MqttSettings& settings, const QJsonObject& device, const QString& id, const QString& name)
{
    const QString deviceName = device["name"].toString();
    const QJsonObject block{{"identifiers", QJsonArray{"quellix_" + MqttObjectId(deviceName)}},
                            {"name", deviceName},
                            {"manufacturer", "Quellix"},
                            {"model", device["model_name"].toString() + " (" + device["model"].toString() + ")"},
                            {"via_device", DaemonId(settings)}};
    return {{"name", name},
            {"unique_id", id},
            {"availability_topic", DeviceTopicPrefix(settings, deviceName) + "availability"},
            {"payload_available", kOnline},
            {"payload_not_available", kOffline},
            {"device", block},
            {"origin", Origin()}};
}

QJsonObject Select(QJsonObject entity, const QString& topic, const std::vector<std::string>& options,
                   const QString& icon)
{
    entity["state_topic"] = topic;
    entity["command_topic"] = topic + "/set";
    entity["options"] = Strings(options);
    entity["qos"] = 1;
    entity["icon"] = icon;
    return entity;
}

void AddConfigs(const MqttSettings& settings, const QJsonObject& device, std::vector<MqttMessage>& messages)
{
    const QString prefix = DeviceTopicPrefix(settings, device["name"].toString());
    const QString id = "quellix_" + MqttObjectId(device["name"].toString());
    const std::vector<std::string> inputs = InputLabels(device);
    const std::vector<std::string> outputs = Labels(device["names"]["outputs"], "output");
    for (size_t k = 0; k < outputs.size(); ++k) {
        const QString n = QString::number(k + 1), entity = id + "_output_" + n;
        const QJsonObject config = Select(Entity(settings, device, entity, QString::fromStdString(outputs[k])),
                                          prefix + "output/" + n, inputs, "mdi:video-input-hdmi");
        messages.push_back({ConfigTopic(settings, "select", entity), Compact(config)});
    }
    for (size_t k = 0; k < inputs.size(); ++k) {
        const QString n = QString::number(k + 1), entity = id + "_input_" + n;
        QJsonObject config = Entity(settings, device, entity, QString::fromStdString(inputs[k]) + " signal");
        config["state_topic"] = prefix + "input/" + n + "/signal";
        config["device_class"] = "connectivity";
        messages.push_back({ConfigTopic(settings, "binary_sensor", entity), Compact(config)});
    }
    // A device without presets has no preset select: its configuration is
    // cleared.
    const std::vector<std::string> presets = PresetNames(device);
    const QJsonObject select =
        Select(Entity(settings, device, id + "_presets", "Preset"), prefix + "preset", presets, "mdi:playlist-play");
    messages.push_back({ConfigTopic(settings, "select", id + "_presets"), presets.empty() ? "" : Compact(select)});
}

// The preset whose routing is the device's now; "None" (Home Assistant's
// word for no option) when there is none.
QByteArray CurrentPreset(const QJsonObject& device)
{
    const QJsonValue routing = device["routing"];
    for (const QJsonValue& preset : device["presets"].toArray())
        if (routing.isArray() && preset["routing"] == routing)
            return preset["name"].toString().toUtf8();
    return "None";
}

void AddStates(const MqttSettings& settings, const QJsonObject& device, std::vector<MqttMessage>& messages)
{
    const QString prefix = DeviceTopicPrefix(settings, device["name"].toString());
    const std::vector<std::string> inputs = InputLabels(device);
    const QJsonArray routing = device["routing"].toArray();
    for (int k = 0; k < routing.size(); ++k) {
        const int input = routing[k].toInt();
        const bool named = input >= 1 && input <= static_cast<int>(inputs.size());
        messages.push_back({prefix + "output/" + QString::number(k + 1),
                            named ? QByteArray::fromStdString(inputs[input - 1]) : QByteArray::number(input)});
    }
    const QJsonArray signalList = device["signals"].toArray();
    for (int k = 0; k < signalList.size(); ++k)
        messages.push_back(
            {prefix + "input/" + QString::number(k + 1) + "/signal", signalList[k].toInt() ? "ON" : "OFF"});
    messages.push_back({prefix + "preset", CurrentPreset(device)});
    messages.push_back({prefix + "presets", QJsonDocument(device["presets"].toArray()).toJson(QJsonDocument::Compact)});
    messages.push_back({prefix + "state", Compact(device)});
    messages.push_back({prefix + "availability", (device["connection"] == "online" ? kOnline : kOffline).toUtf8()});
}

}  // namespace

QString DeviceTopicPrefix(const MqttSettings& settings, const QString& device)
{
    return settings.baseTopic + "/" + device + "/";
}

QString DaemonStatusTopic(const MqttSettings& settings)
{
    return settings.baseTopic + "/status";
}

QString HomeAssistantStatusTopic(const MqttSettings& settings)
{
    return settings.discoveryPrefix + "/status";
}

std::vector<MqttMessage> DeviceMessages(const MqttSettings& settings, const QJsonObject& device)
{
    std::vector<MqttMessage> messages;
    AddConfigs(settings, device, messages);
    AddStates(settings, device, messages);
    return messages;
}

std::vector<MqttMessage> DaemonMessages(const MqttSettings& settings)
{
    const QString id = DaemonId(settings);
    const QJsonObject config{{"name", "Connection"},
                             {"unique_id", id},
                             {"state_topic", DaemonStatusTopic(settings)},
                             {"payload_on", kOnline},
                             {"payload_off", kOffline},
                             {"device_class", "connectivity"},
                             {"entity_category", "diagnostic"},
                             {"device",
                              QJsonObject{{"identifiers", QJsonArray{id}},
                                          {"name", DaemonName(settings)},
                                          {"manufacturer", "Quellix"},
                                          {"model", "quellixd"},
                                          {"sw_version", QUELLIX_VERSION}}},
                             {"origin", Origin()}};
    return {{ConfigTopic(settings, "binary_sensor", id), Compact(config)},
            {DaemonStatusTopic(settings), kOnline.toUtf8()}};
}

std::vector<std::string> InputLabels(const QJsonObject& device)
{
    return Labels(device["names"]["inputs"], "input");
}

std::vector<std::string> PresetNames(const QJsonObject& device)
{
    std::vector<std::string> names;
    for (const QJsonValue& preset : device["presets"].toArray())
        names.push_back(preset["name"].toString().toStdString());
    return names;
}

}  // namespace quellixd
