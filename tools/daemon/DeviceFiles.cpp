// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceFiles.h"
#include "HttpReply.h"

#include <QDir>

#include "xandrel/custom/OutputLocks.h"
#include "xandrel/custom/StringTableFile.h"
#include "xandrel/device/ModelCatalog.h"

namespace quellixd {

namespace {

std::string Folder(const DeviceConfig& device)
{
    return device.dataFolder.toStdString();
}

QJsonArray NameList(const std::array<std::string, 8>& names, int count)
{
    QJsonArray list;
    for (int k = 0; k < count; ++k)
        list.append(k < static_cast<int>(names.size()) ? QString::fromStdString(names[k]) : QString::number(k + 1));
    return list;
}

}  // namespace

QJsonObject NamesJson(const DeviceConfig& device)
{
    xandrel::StringTable table = xandrel::DefaultStringTable();
    if (!device.dataFolder.isEmpty())
        xandrel::ReadStringTableFile(xandrel::StringTableReader::MatrixView, table, Folder(device));
    return {{"inputs", NameList(table.inputs, device.model->inputs)},
            {"outputs", NameList(table.outputs, device.model->outputs)}};
}

bool WriteNames(const DeviceConfig& device, const std::map<int, std::string>& inputs,
                const std::map<int, std::string>& outputs, QString& error)
{
    if (device.dataFolder.isEmpty()) {
        error = "device " + device.name + " has no data folder (\"data\" in the configuration)";
        return false;
    }
    // Every section as it is, so the captions and titles stay.
    xandrel::StringTable table = xandrel::DefaultStringTable();
    std::string why;
    if (!xandrel::ReadStringTableFile(xandrel::StringTableReader::GuiConfig, table, Folder(device), &why)
        && !why.empty()) {
        error = QString::fromStdString(why);
        return false;
    }
    for (const auto& [input, name] : inputs)
        table.inputs[input - 1] = name;
    for (const auto& [output, name] : outputs)
        table.outputs[output - 1] = name;
    QDir().mkpath(device.dataFolder);
    if (xandrel::WriteStringTableFile(table, why, Folder(device)))
        return true;
    error = QString::fromStdString(why);
    return false;
}

bool LoadPresets(const DeviceConfig& device, xandrel::PresetBook& book, QString& error)
{
    if (device.dataFolder.isEmpty())
        return true;
    std::string why;
    if (xandrel::PresetBook::Load(xandrel::PresetFilePath(Folder(device)), book, why))
        return true;
    error = QString::fromStdString(why);
    return false;
}

bool SavePresets(const DeviceConfig& device, const xandrel::PresetBook& book, QString& error)
{
    if (device.dataFolder.isEmpty()) {
        error = "device " + device.name + " has no data folder (\"data\" in the configuration)";
        return false;
    }
    std::string why;
    if (book.Save(xandrel::PresetFilePath(Folder(device)), why))
        return true;
    error = QString::fromStdString(why);
    return false;
}

std::set<int> LoadLocks(const DeviceConfig& device, QString& error)
{
    xandrel::OutputLocks locks;
    std::string why;
    if (!device.dataFolder.isEmpty() && !xandrel::OutputLocks::Load(xandrel::LocksFilePath(Folder(device)), locks, why))
        error = QString::fromStdString(why);
    std::set<int> outputs;
    for (int output : locks.locked())
        if (output <= device.model->outputs)
            outputs.insert(output);
    return outputs;
}

bool SaveLocks(const DeviceConfig& device, const std::set<int>& locks, QString& error)
{
    if (device.dataFolder.isEmpty())
        return true;  // kept while the daemon runs
    xandrel::OutputLocks file;
    for (int output : locks)
        file.set(output, true);
    std::string why;
    QDir().mkpath(device.dataFolder);
    if (file.Save(xandrel::LocksFilePath(Folder(device)), why))
        return true;
    error = QString::fromStdString(why);
    return false;
}

xandrel::PresetDevice PresetOwner(const DeviceConfig& device)
{
    return {device.model->className};
}

std::map<int, int> RecallChanges(const xandrel::Preset& preset, const std::set<int>& locks)
{
    std::map<int, int> changes;
    for (size_t k = 0; k < preset.routing.size(); ++k)
        if (!locks.count(static_cast<int>(k + 1)))
            changes[static_cast<int>(k + 1)] = preset.routing[k];
    return changes;
}

QJsonArray PresetsJson(const std::vector<xandrel::Preset>& presets)
{
    QJsonArray list;
    for (const xandrel::Preset& preset : presets)
        list.append(
            QJsonObject{{"name", QString::fromStdString(preset.name)}, {"routing", NumberArray(preset.routing)}});
    return list;
}

}  // namespace quellixd
