// SPDX-License-Identifier: GPL-3.0-or-later
// The HTTP API's handlers of presets and names: they live in the device's
// data folder, shared with the window and quellix-cli that use it.
#include <QJsonArray>

#include "DeviceFiles.h"
#include "DeviceLink.h"
#include "HttpApi.h"
#include "Log.h"
#include "RequestBodies.h"
#include "xandrel/custom/StringTableFile.h"
#include "xandrel/device/ModelCatalog.h"

namespace quellixd {

namespace {

QJsonObject PresetJson(const xandrel::Preset& preset)
{
    return PresetsJson({preset}).first().toObject();
}

}  // namespace

bool HttpApi::loadPresets(HttpCall& call, xandrel::PresetBook& book)
{
    QString error;
    if (LoadPresets(call.link->config(), book, error))
        return true;
    fail(call, 409, error + " (left as it is)");
    return false;
}

void HttpApi::listPresets(HttpCall& call)
{
    xandrel::PresetBook book;
    QString error;
    if (!LoadPresets(call.link->config(), book, error)) {
        fail(call, 409, error);
        return;
    }
    respond(call, 200, PresetsJson(book.of(PresetOwner(call.link->config()))));
}

void HttpApi::putPreset(HttpCall& call)
{
    const DeviceConfig& device = call.link->config();
    const QString name = call.parameters.value(1);
    QString error = PresetNameProblem(name);
    std::optional<std::vector<int>> routing;
    if (!error.isEmpty() || !ParsePresetBody(call.request.body(), *device.model, routing, error)) {
        fail(call, 400, error);
        return;
    }
    if (!routing && !call.link->state().routingKnown) {
        fail(call, 503, "the device's routing is not known yet");
        return;
    }
    xandrel::PresetBook book;
    if (!loadPresets(call, book))
        return;
    const xandrel::Preset preset{name.toStdString(), routing ? *routing : call.link->state().routing};
    const bool replaced = book.find(PresetOwner(device), preset.name) != nullptr;
    book.put(PresetOwner(device), preset);
    if (!SavePresets(device, book, error)) {
        fail(call, 409, error);
        return;
    }
    Log("device " + device.name + ": preset \"" + name + "\" " + (replaced ? "replaced" : "saved"));
    respond(call, replaced ? 200 : 201, PresetJson(preset));
    call.link->announce("presets");
}

void HttpApi::deletePreset(HttpCall& call)
{
    const DeviceConfig& device = call.link->config();
    const QString name = call.parameters.value(1);
    xandrel::PresetBook book;
    QString error;
    if (!loadPresets(call, book))
        return;
    if (!book.remove(PresetOwner(device), name.toStdString())) {
        fail(call, 404, "no preset \"" + name + "\" for " + device.name);
        return;
    }
    if (!SavePresets(device, book, error)) {
        fail(call, 409, error);
        return;
    }
    respond(call, 204);
    call.link->announce("presets");
}

void HttpApi::renamePreset(HttpCall& call)
{
    const DeviceConfig& device = call.link->config();
    const QString from = call.parameters.value(1);
    QString error;
    const QString to = ParseNewName(call.request.body(), error);
    if (to.isEmpty()) {
        fail(call, 400, error);
        return;
    }
    xandrel::PresetBook book;
    if (!loadPresets(call, book))
        return;
    const xandrel::Preset* preset = book.find(PresetOwner(device), from.toStdString());
    if (!preset) {
        fail(call, 404, "no preset \"" + from + "\" for " + device.name);
        return;
    }
    if (to != from && !book.rename(PresetOwner(device), from.toStdString(), to.toStdString())) {
        fail(call, 409, "there is a preset named \"" + to + "\" already");
        return;
    }
    if (!SavePresets(device, book, error)) {
        fail(call, 409, error);
        return;
    }
    respond(call, 200, PresetJson(*book.find(PresetOwner(device), to.toStdString())));
    call.link->announce("presets");
}

void HttpApi::recallPreset(HttpCall& call)
{
    const DeviceConfig& device = call.link->config();
    const QString name = call.parameters.value(1);
    xandrel::PresetBook book;
    QString error;
    LoadPresets(device, book, error);
    const xandrel::Preset* preset = book.find(PresetOwner(device), name.toStdString());
    if (!preset) {
        fail(call, 404, "no preset \"" + name + "\" for " + device.name + (error.isEmpty() ? "" : ": " + error));
        return;
    }
    const std::map<int, int> changes = RecallChanges(*preset, call.link->locks());
    Log("device " + device.name + ": recalling preset \"" + name + "\"");
    if (changes.empty()) {
        respond(call, 200, QJsonObject{{"routing", DeviceJson(*call.link, true)["routing"]}});
        return;
    }
    sendRouting(call, changes);
}

void HttpApi::putNames(HttpCall& call)
{
    const DeviceConfig& device = call.link->config();
    std::map<int, std::string> inputs, outputs;
    QString error;
    const size_t longest = xandrel::SectionInfo(xandrel::StringSection::Inputs).longestStored;
    if (!ParseNames(call.request.body(), *device.model, longest, inputs, outputs, error)) {
        fail(call, 400, error);
        return;
    }
    if (!WriteNames(device, inputs, outputs, error)) {
        fail(call, 409, error);
        return;
    }
    respond(call, 200, NamesJson(device));
    call.link->announce("names");
}

}  // namespace quellixd
