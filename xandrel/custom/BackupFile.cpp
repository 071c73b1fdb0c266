// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/BackupFile.h"

#include <QJsonDocument>
#include <algorithm>
#include <set>

#include "xandrel/custom/JsonFields.h"
#include "xandrel/device/ModelCatalog.h"

namespace xandrel {
namespace {

const std::set<QString> kFields = {"backup", "version", "model", "id", "routing", "inputs", "outputs", "presets"};
const std::set<QString> kPresetFields = {"name", "routing"};

QJsonArray NamesArray(const std::vector<std::string>& names)
{
    QJsonArray array;
    for (const std::string& name : names)
        array.append(QString::fromStdString(name));
    return array;
}

// The names of a list of `count` strings, or why they are none.
std::string ReadNames(const QJsonValue& value, size_t count, const char* what, std::vector<std::string>& names)
{
    const QJsonArray array = value.toArray();
    if (!value.isArray() || static_cast<size_t>(array.size()) != count)
        return std::string("\"") + what + "\" is not a list of " + std::to_string(count) + " names";
    for (const QJsonValue& name : array) {
        if (!name.isString())
            return std::string("\"") + what + "\" holds something that is no name";
        names.push_back(name.toString().toStdString());
    }
    return {};
}

std::string ReadPresets(const QJsonValue& value, const ModelSpec& model, std::vector<Preset>& presets)
{
    if (!value.isArray())
        return "\"presets\" is not a list";
    std::set<std::string> seen;
    int number = 0;
    for (const QJsonValue& entry : value.toArray()) {
        const std::string where = "preset " + std::to_string(++number) + " ";
        const QJsonObject object = entry.toObject();
        if (!entry.isObject())
            return where + "is not an object";
        if (std::string unknown = json::UnknownField(object, kPresetFields); !unknown.empty())
            return where + unknown;
        Preset preset{object.value("name").toString().toStdString(), json::RoutingOf(object.value("routing"))};
        if (!object.value("name").isString() || preset.name.empty())
            return where + "has no name";
        if (!seen.insert(preset.name).second)
            return where + "repeats the name '" + preset.name + "'";
        if (std::string problem = RoutingProblem(preset.routing, model); !problem.empty())
            return where + "has a routing that does not fit the model: " + problem;
        presets.push_back(std::move(preset));
    }
    return {};
}

std::string ReadBackup(const QJsonObject& object, DeviceBackup& backup)
{
    if (object.value("backup").toString() != "quellix" || object.value("version").toInt() != 1)
        return "it is no Quellix backup of version 1";
    if (std::string unknown = json::UnknownField(object, kFields); !unknown.empty())
        return "it " + unknown;
    const ModelSpec* model = FindModel(object.value("model").toString().toStdString());
    if (!model)
        return "\"model\" names no known model";
    backup.model = model->className;
    backup.id = json::DeviceIdOf(object.value("id"));
    if (backup.id < 0)
        return "\"id\" is no device ID 0-255";
    backup.routing = json::RoutingOf(object.value("routing"));
    if (std::string problem = RoutingProblem(backup.routing, *model); !problem.empty())
        return "\"routing\" does not fit the model: " + problem;
    if (std::string problem = ReadNames(object.value("inputs"), model->inputs, "inputs", backup.inputNames);
        !problem.empty())
        return problem;
    if (std::string problem = ReadNames(object.value("outputs"), model->outputs, "outputs", backup.outputNames);
        !problem.empty())
        return problem;
    return ReadPresets(object.value("presets"), *model, backup.presets);
}

void NameChanges(const std::vector<std::string>& from, const std::vector<std::string>& to, const char* what,
                 std::vector<std::string>& changes)
{
    for (size_t k = 0; k < to.size(); ++k)
        if (k >= from.size() || from[k] != to[k])
            changes.push_back(std::string(what) + " " + std::to_string(k + 1) + " name: \""
                              + (k < from.size() ? from[k] : "") + "\" -> \"" + to[k] + "\"");
}

}  // namespace

std::string FormatBackup(const DeviceBackup& backup)
{
    QJsonArray presets;
    for (const Preset& preset : backup.presets)
        presets.append(QJsonObject{{"name", QString::fromStdString(preset.name)},
                                   {"routing", json::RoutingArray(preset.routing)}});
    const QJsonObject object{{"backup", "quellix"},
                             {"version", 1},
                             {"model", QString::fromStdString(backup.model)},
                             {"id", backup.id},
                             {"routing", json::RoutingArray(backup.routing)},
                             {"inputs", NamesArray(backup.inputNames)},
                             {"outputs", NamesArray(backup.outputNames)},
                             {"presets", presets}};
    return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

bool ParseBackup(std::string_view bytes, const std::string& file, DeviceBackup& backup, std::string& error)
{
    QJsonParseError parse{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), &parse);
    std::string problem;
    if (parse.error != QJsonParseError::NoError)
        problem = "it is not JSON (" + parse.errorString().toStdString() + ")";
    else if (!document.isObject())
        problem = "it is no JSON object";
    DeviceBackup read;
    if (problem.empty())
        problem = ReadBackup(document.object(), read);
    if (!problem.empty()) {
        error = file + ": " + problem;
        return false;
    }
    backup = std::move(read);
    return true;
}

std::vector<std::string> BackupChanges(const DeviceBackup& from, const DeviceBackup& to)
{
    std::vector<std::string> changes;
    for (size_t output = 0; output < to.routing.size(); ++output) {
        const int before = output < from.routing.size() ? from.routing[output] : 0;
        if (before != to.routing[output])
            changes.push_back("output " + std::to_string(output + 1) + ": input " + std::to_string(before) + " -> "
                              + std::to_string(to.routing[output]));
    }
    NameChanges(from.inputNames, to.inputNames, "input", changes);
    NameChanges(from.outputNames, to.outputNames, "output", changes);
    for (const Preset& preset : to.presets) {
        const auto same = std::find_if(from.presets.begin(), from.presets.end(),
                                       [&](const Preset& old) { return old.name == preset.name; });
        if (same == from.presets.end())
            changes.push_back("preset \"" + preset.name + "\" added");
        else if (same->routing != preset.routing)
            changes.push_back("preset \"" + preset.name + "\" replaced");
    }
    return changes;
}

}  // namespace xandrel
