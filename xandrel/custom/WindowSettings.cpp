// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/WindowSettings.h"

#include "xandrel/custom/JsonFields.h"
#include "xandrel/device/ModelCatalog.h"

namespace xandrel {
namespace {

// A settings file holds a few lines; this is far beyond any real one.
constexpr size_t kReadLimit = 64u << 10;

// The settings of `object`, or why it holds none.
std::string ReadFields(const QJsonObject& object, WindowSettings& settings)
{
    if (std::string unknown = json::UnknownField(object, {"model", "port", "id", "take_mode", "check_device"});
        !unknown.empty())
        return "it " + unknown;
    if (object.contains("model")) {
        const ModelSpec* model = FindModel(object.value("model").toString().toStdString());
        if (!model)
            return "\"model\" names no known model";
        settings.model = model->className;
    }
    if (object.contains("port")) {
        if (!object.value("port").isString())
            return "\"port\" is no port name";
        settings.port = object.value("port").toString().toStdString();
    }
    if (object.contains("id")) {
        const int id = json::DeviceIdOf(object.value("id"));
        if (id < 0)
            return "\"id\" is no device ID 0-255";
        settings.id = id;
    }
    for (auto [field, flag] : {std::pair{"take_mode", &settings.takeMode}, {"check_device", &settings.checkDevice}}) {
        if (!object.contains(field))
            continue;
        if (!object.value(field).isBool())
            return std::string("\"") + field + "\" is neither true nor false";
        *flag = object.value(field).toBool();
    }
    return {};
}

}  // namespace

bool WindowSettings::Load(const std::string& path, WindowSettings& settings, std::string& error)
{
    settings = WindowSettings{};
    QJsonObject object;
    switch (json::ReadObjectFile(path, kReadLimit, "window settings file", object, error)) {
    case json::FileRead::Missing: return true;
    case json::FileRead::Bad: return false;
    case json::FileRead::Read: break;
    }
    WindowSettings read;
    if (const std::string problem = ReadFields(object, read); !problem.empty()) {
        error = path + ": not a window settings file (" + problem + ")";
        return false;
    }
    settings = read;
    return true;
}

bool WindowSettings::Save(const std::string& path, std::string& error) const
{
    QJsonObject object{{"take_mode", takeMode}, {"check_device", checkDevice}};
    if (!model.empty())
        object.insert("model", QString::fromStdString(model));
    if (!port.empty())
        object.insert("port", QString::fromStdString(port));
    if (id)
        object.insert("id", *id);
    return json::WriteObjectFile(path, object, error);
}

std::string WindowSettingsPath(const std::string& folder)
{
    return folder + "/window.json";
}

}  // namespace xandrel
