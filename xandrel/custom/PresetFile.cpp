// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/PresetFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <filesystem>
#include <set>

#include "xandrel/custom/AtomicFile.h"
#include "xandrel/custom/JsonFields.h"
#include "xandrel/device/ModelCatalog.h"

namespace xandrel {
namespace {

// A presets file holds a few kilobytes; this is far beyond any real one.
constexpr size_t kReadLimit = 4u << 20;

const std::set<QString> kFields = {"model", "port", "id", "name", "routing"};

// An entry as an earlier version wrote it: the port and ID it was saved
// through, which no longer select.
struct SavedThrough {
    std::string port;
    int id = -1;

    bool operator==(const SavedThrough&) const = default;
};

// One entry of the file, or why it is none.
std::string ReadEntry(const QJsonValue& value, PresetDevice& device, Preset& preset, SavedThrough& through)
{
    if (!value.isObject())
        return "is not an object";
    const QJsonObject object = value.toObject();
    if (std::string unknown = json::UnknownField(object, kFields); !unknown.empty())
        return unknown;
    const ModelSpec* model = FindModel(object.value("model").toString().toStdString());
    if (!model)
        return "names no known model";
    if (object.contains("id") && (through.id = json::DeviceIdOf(object.value("id"))) < 0)
        return "has no device ID 0-255";
    if (object.contains("port") && !object.value("port").isString())
        return "has a port that is no text";
    if (!object.value("name").isString() || object.value("name").toString().trimmed().isEmpty())
        return "lacks its name";
    if (!object.value("routing").isArray())
        return "has no routing";
    preset.routing = json::RoutingOf(object.value("routing"));
    if (const std::string problem = RoutingProblem(preset.routing, *model); !problem.empty())
        return "has a routing that does not fit its model: " + problem;
    device = {model->className};
    through.port = object.value("port").toString().toStdString();
    preset.name = object.value("name").toString().toStdString();
    return {};
}

// A name not yet used for `device`: `name`, else "name (2)", "name (3)"...
std::string FreeName(const PresetBook& book, const PresetDevice& device, const std::string& name)
{
    std::string free = name;
    for (int number = 2; book.find(device, free); ++number)
        free = name + " (" + std::to_string(number) + ")";
    return free;
}

QJsonObject EntryObject(const PresetDevice& device, const Preset& preset)
{
    return QJsonObject{{"model", QString::fromStdString(device.model)},
                       {"name", QString::fromStdString(preset.name)},
                       {"routing", json::RoutingArray(preset.routing)}};
}

}  // namespace

std::string RoutingProblem(const std::vector<int>& routing, const ModelSpec& model)
{
    if (routing.size() != model.outputs)
        return std::to_string(routing.size()) + " outputs where the model has " + std::to_string(model.outputs);
    for (size_t output = 0; output < routing.size(); ++output)
        if (routing[output] < 1 || routing[output] > model.inputs)
            return "output " + std::to_string(output + 1) + ": input " + std::to_string(routing[output])
                + ", but the model has " + std::to_string(model.inputs) + " inputs";
    return {};
}

bool PresetBook::Load(const std::string& path, PresetBook& book, std::string& error)
{
    book.entries_.clear();
    std::error_code status;
    if (!std::filesystem::exists(path, status))
        return true;  // no presets saved yet
    std::string bytes;
    if (!ReadFileBytes(path, bytes, error, kReadLimit))
        return false;
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(bytes), &parse);
    if (parse.error != QJsonParseError::NoError || !document.isObject() || !document.object().value("presets").isArray()
        || document.object().size() != 1) {
        error = path + ": not a presets file ("
            + (parse.error != QJsonParseError::NoError ? parse.errorString().toStdString()
                                                       : std::string("one object with a \"presets\" list expected"))
            + ")";
        return false;
    }
    PresetBook read;
    std::vector<SavedThrough> throughs;
    int number = 0;
    for (const QJsonValue& value : document.object().value("presets").toArray()) {
        ++number;
        Entry entry;
        SavedThrough through;
        std::string problem = ReadEntry(value, entry.device, entry.preset, through);
        for (size_t k = 0; problem.empty() && k < read.entries_.size(); ++k)
            if (read.entries_[k].device == entry.device && read.entries_[k].preset.name == entry.preset.name
                && throughs[k] == through)
                problem = "repeats the name '" + entry.preset.name + "' of the same device";
        if (!problem.empty()) {
            error = path + ": preset " + std::to_string(number) + " " + problem;
            return false;
        }
        entry.preset.name = FreeName(read, entry.device, entry.preset.name);
        read.entries_.push_back(std::move(entry));
        throughs.push_back(through);
    }
    book = std::move(read);
    return true;
}

bool PresetBook::Save(const std::string& path, std::string& error) const
{
    QJsonArray presets;
    for (const Entry& entry : entries_)
        presets.append(EntryObject(entry.device, entry.preset));
    const QByteArray json = QJsonDocument(QJsonObject{{"presets", presets}}).toJson(QJsonDocument::Indented);
    std::error_code status;
    if (const auto folder = std::filesystem::path(path).parent_path(); !folder.empty())
        std::filesystem::create_directories(folder, status);  // a failure is told by the writer
    return WriteFileAtomically(path, std::string_view(json.constData(), static_cast<size_t>(json.size())), error);
}

std::vector<Preset> PresetBook::of(const PresetDevice& device) const
{
    std::vector<Preset> presets;
    for (const Entry& entry : entries_)
        if (entry.device == device)
            presets.push_back(entry.preset);
    return presets;
}

const Preset* PresetBook::find(const PresetDevice& device, const std::string& name) const
{
    for (const Entry& entry : entries_)
        if (entry.device == device && entry.preset.name == name)
            return &entry.preset;
    return nullptr;
}

void PresetBook::put(const PresetDevice& device, const Preset& preset)
{
    for (Entry& entry : entries_) {
        if (entry.device == device && entry.preset.name == preset.name) {
            entry.preset = preset;
            return;
        }
    }
    entries_.push_back(Entry{device, preset});
}

bool PresetBook::rename(const PresetDevice& device, const std::string& from, const std::string& to)
{
    if (find(device, to))
        return false;
    for (Entry& entry : entries_) {
        if (entry.device == device && entry.preset.name == from) {
            entry.preset.name = to;
            return true;
        }
    }
    return false;
}

bool PresetBook::remove(const PresetDevice& device, const std::string& name)
{
    const auto found = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) {
        return entry.device == device && entry.preset.name == name;
    });
    if (found == entries_.end())
        return false;
    entries_.erase(found);
    return true;
}

std::string PresetFilePath(const std::string& folder)
{
    return folder + "/presets.json";
}

}  // namespace xandrel
