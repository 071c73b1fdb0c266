// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttDevice.h"

#include <QDir>
#include <QRegularExpression>

#include "DeviceFiles.h"
#include "DeviceLink.h"
#include "HttpApi.h"
#include "Log.h"
#include "MqttDiscovery.h"
#include "MqttPayload.h"
#include "xandrel/device/ModelCatalog.h"

namespace quellixd {

namespace {

QString Outputs(const std::map<int, int>& changes)
{
    QStringList outputs;
    for (const auto& [output, input] : changes)
        outputs.append(QString::number(output));
    return (changes.size() == 1 ? "output " : "outputs ") + outputs.join(", ");
}

}  // namespace

MqttDevice::MqttDevice(DeviceLink& link, const MqttSettings& settings, MqttSession* session,
                       std::set<QString> leftovers)
    : link_(&link)
    , name_(link.config().name)
    , folder_(link.config().dataFolder)
    , settings_(settings)
    , session_(session)
    , prefix_(DeviceTopicPrefix(settings, name_))
    , leftovers_(std::move(leftovers))
{
    clock_.start();
    connect(&link, &DeviceLink::changed, this, &MqttDevice::refresh);
    connect(session_, &MqttSession::connected, this, &MqttDevice::onConnected);
    connect(session_, &MqttSession::received, this, &MqttDevice::onReceived);
    watchFolder();
    session_->subscribe(prefix_ + "output/+/set");
    session_->subscribe(prefix_ + "preset/set");
    session_->subscribe(HomeAssistantStatusTopic(settings_));
    session_->open();
}

MqttDevice::~MqttDevice()
{
    if (!retired_)
        session_->close({{prefix_ + "availability", "offline"}});
}

std::set<QString> MqttDevice::topics() const
{
    std::set<QString> topics;
    for (const auto& [topic, payload] : published_)
        topics.insert(topic);
    return topics;
}

void MqttDevice::retire()
{
    retired_ = true;
    std::vector<MqttMessage> clears;
    for (const auto& [topic, payload] : published_)
        clears.push_back({topic, {}});
    session_->close(std::move(clears));
    Log("device " + name_ + ": MQTT topics and Home Assistant entities cleared");
}

// ---- publishing ----

// Publishes every message whose payload differs from the one last
// published on this connection.
void MqttDevice::refresh()
{
    if (!link_ || retired_)
        return;
    for (const MqttMessage& message : DeviceMessages(settings_, HttpApi::DeviceJson(*link_, true)))
        offer(message);
}

void MqttDevice::offer(const MqttMessage& message)
{
    const auto known = published_.find(message.topic);
    if (known != published_.end() && known->second == message.payload)
        return;
    published_[message.topic] = message.payload;
    session_->publish(message.topic, message.payload);
}

void MqttDevice::onConnected()
{
    published_.clear();
    refresh();
    for (const QString& topic : leftovers_)
        if (!published_.count(topic))
            offer({topic, {}});
    leftovers_.clear();
}

// Names and presets the window or quellix-cli change in the data folder.
void MqttDevice::watchFolder()
{
    folderSettled_.setSingleShot(true);
    folderSettled_.setInterval(100);  // a file is saved as a temporary one, then renamed
    connect(&folderSettled_, &QTimer::timeout, this, &MqttDevice::refresh);
    connect(&folderWatcher_, &QFileSystemWatcher::directoryChanged, &folderSettled_, qOverload<>(&QTimer::start));
    if (!folder_.isEmpty() && QDir(folder_).exists())
        folderWatcher_.addPath(folder_);
}

// ---- commands ----

void MqttDevice::onReceived(const QString& topic, const QByteArray& payload, bool retained)
{
    if (topic == HomeAssistantStatusTopic(settings_)) {
        // Home Assistant started again: it wants the configurations anew.
        if (payload == "online" && !retained) {
            published_.clear();
            refresh();
        }
        return;
    }
    // A retained command would route again on every connection.
    if (retained) {
        refuse("ignored a retained command on " + topic + " (send commands without retain)");
        return;
    }
    static const QRegularExpression kOutput("^output/(\\d{1,3})/set$");
    const QString rest = topic.mid(prefix_.size());
    const QRegularExpressionMatch output = kOutput.match(rest);
    if (rest == "preset/set")
        recall(payload);
    else if (output.hasMatch())
        route(output.captured(1).toInt(), payload);
}

void MqttDevice::route(int output, const QByteArray& payload)
{
    if (!link_)
        return;
    const QString where = prefix_ + "output/" + QString::number(output) + "/set";
    if (output < 1 || output > link_->config().model->outputs) {
        refuse(where + ": no such output");
        return;
    }
    const MqttChoice input = ParseChoice(payload.toStdString(), InputLabels(HttpApi::DeviceJson(*link_, true)), true);
    if (input.index == 0) {
        refuse(where + ": \"" + QString::fromStdString(PayloadPreview(payload.toStdString()))
               + "\" names no input: " + QString::fromStdString(input.error));
        republish({{output, 0}});
        return;
    }
    if (link_->locks().count(output)) {
        refuse(where + ": output " + QString::number(output) + " is locked");
        republish({{output, 0}});
        return;
    }
    want({{output, input.index}});
}

void MqttDevice::recall(const QByteArray& payload)
{
    if (!link_)
        return;
    const DeviceConfig& device = link_->config();
    xandrel::PresetBook book;
    QString problem;
    LoadPresets(device, book, problem);
    const std::vector<xandrel::Preset> presets = book.of(PresetOwner(device));
    std::vector<std::string> names;
    for (const xandrel::Preset& preset : presets)
        names.push_back(preset.name);
    const MqttChoice choice = ParseChoice(payload.toStdString(), names, false);
    if (choice.index == 0) {
        refuse(prefix_ + "preset/set: \"" + QString::fromStdString(PayloadPreview(payload.toStdString()))
               + "\" names no preset: " + QString::fromStdString(choice.error));
        published_.erase(prefix_ + "preset");  // Home Assistant's select shows the true preset again
        refresh();
        return;
    }
    Log("device " + name_ + ": recalling preset \"" + QString::fromStdString(names[choice.index - 1]) + "\" (MQTT)");
    want(RecallChanges(presets[choice.index - 1], link_->locks()));
}

void MqttDevice::want(const std::map<int, int>& changes)
{
    for (const auto& [output, input] : changes)
        pending_[output] = input;
    writePending();
}

// Sends what is pending as one routing job; what comes meanwhile waits for
// its end.
void MqttDevice::writePending()
{
    if (writing_ || pending_.empty() || !link_)
        return;
    writing_ = true;
    const std::map<int, int> changes = std::exchange(pending_, {});
    link_->writeRouting(changes, this, [this, changes](Outcome outcome) {
        writing_ = false;
        if (outcome.status != 200)
            refuse("MQTT route of " + Outputs(changes) + " not done: " + outcome.error);
        republish(changes);
        writePending();
    });
}

// Publishes the outputs' states even when unchanged, so that a select
// that showed a refused wish shows the truth again.
void MqttDevice::republish(const std::map<int, int>& changes)
{
    for (const auto& [output, input] : changes)
        published_.erase(prefix_ + "output/" + QString::number(output));
    refresh();
}

void MqttDevice::refuse(const QString& why)
{
    const QString line = refusals_.pass("device " + name_ + ": " + why, clock_.elapsed());
    if (!line.isEmpty())
        Log(line);
}

}  // namespace quellixd
