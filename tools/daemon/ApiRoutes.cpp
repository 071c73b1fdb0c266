// SPDX-License-Identifier: GPL-3.0-or-later
// The HTTP API's routes, in one table that drives both the dispatch and the
// OpenAPI description, and the handlers of the device, routing, lock and
// EDID routes (presets and names: PresetHandlers.cpp).
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>

#include "DeviceLink.h"
#include "HttpApi.h"
#include "HttpReply.h"
#include "RequestBodies.h"
#include "xandrel/device/ModelCatalog.h"

namespace quellixd {

namespace {

using Method = QHttpServerRequest::Method;

QJsonObject Schema(const char* type)
{
    return {{"type", type}};
}

QJsonObject ObjectOf(const QJsonObject& values)
{
    return {{"type", "object"}, {"additionalProperties", values}};
}

QJsonObject RoutingSchema()
{
    return {{"oneOf",
             QJsonArray{ObjectOf(Schema("integer")), QJsonObject{{"type", "array"}, {"items", Schema("integer")}}}}};
}

QJsonObject PresetSchema()
{
    return {{"type", "object"},
            {"properties", QJsonObject{{"routing", QJsonObject{{"type", "array"}, {"items", Schema("integer")}}}}}};
}

QJsonObject RenameSchema()
{
    return {
        {"type", "object"}, {"required", QJsonArray{"name"}}, {"properties", QJsonObject{{"name", Schema("string")}}}};
}

QJsonObject NamesSchema()
{
    return {
        {"type", "object"},
        {"properties", QJsonObject{{"inputs", ObjectOf(Schema("string"))}, {"outputs", ObjectOf(Schema("string"))}}}};
}

}  // namespace

const std::vector<HttpRoute>& HttpApi::Routes()
{
    static const std::vector<HttpRoute> routes = {
        {Method::Get, "/", &HttpApi::panel, "the web panel", {}, {{200, "the page"}}},
        {Method::Get, "/api/openapi.json", &HttpApi::openApi, "this description", {}, {{200, "OpenAPI 3.0"}}},
        {Method::Get,
         "/api/events",
         &HttpApi::events,
         "WebSocket: {device, type: routing|signals|connection|locks|presets|names, ...} for every change",
         {},
         {{101, "switching to WebSocket"}, {400, "not a WebSocket request"}}},
        {Method::Get,
         "/api/devices",
         &HttpApi::listDevices,
         "every device: name, model, ID, port, shared line port, connection",
         {},
         {{200, "list of devices"}, {401, "no valid token"}}},
        {Method::Get,
         "/api/devices/{name}",
         &HttpApi::getDevice,
         "one device: model, ID, routing, signals, locks, names, presets, connection",
         {},
         {{200, "the device"}, {401, "no valid token"}, {404, "no such device"}}},
        {Method::Put,
         "/api/devices/{name}/routing",
         &HttpApi::putRouting,
         "route: {\"3\": 5} puts input 5 on output 3; a list gives every output's input; "
         "read, merged, sent and read back as one job",
         RoutingSchema(),
         {{200, "the routing the device reports"},
          {400, "not a routing of this model"},
          {401, "no valid token"},
          {404, "no such device"},
          {409, "the device did not follow"},
          {413, "body too large"},
          {423, "a locked output would change"},
          {502, "sent, but not confirmed: the outcome is unknown"},
          {503, "the device is offline or did not answer"}}},
        {Method::Put,
         "/api/devices/{name}/locks",
         &HttpApi::putLocks,
         "lock or free outputs: {\"3\": true, \"4\": false}; no client may change a locked output",
         ObjectOf(Schema("boolean")),
         {{200, "the locked outputs"},
          {400, "not outputs of this model"},
          {401, "no valid token"},
          {404, "no such device"}}},
        {Method::Get,
         "/api/devices/{name}/presets",
         &HttpApi::listPresets,
         "the presets of the device's data folder",
         {},
         {{200, "the presets"},
          {401, "no valid token"},
          {404, "no such device"},
          {409, "the presets file is not usable"}}},
        {Method::Put,
         "/api/devices/{name}/presets/{preset}",
         &HttpApi::putPreset,
         "save a preset: {\"routing\": [...]}, or no body for the routing now",
         PresetSchema(),
         {{200, "replaced"},
          {201, "saved"},
          {400, "not a preset name or routing"},
          {401, "no valid token"},
          {404, "no such device"},
          {409, "the presets file is not usable or the device has no data folder"},
          {503, "the routing is not known yet"}}},
        {Method::Delete,
         "/api/devices/{name}/presets/{preset}",
         &HttpApi::deletePreset,
         "delete a preset",
         {},
         {{204, "deleted"},
          {401, "no valid token"},
          {404, "no such device or preset"},
          {409, "the presets file is not usable"}}},
        {Method::Post,
         "/api/devices/{name}/presets/{preset}/rename",
         &HttpApi::renamePreset,
         "rename a preset: {\"name\": \"new name\"}",
         RenameSchema(),
         {{200, "renamed"},
          {400, "not a preset name"},
          {401, "no valid token"},
          {404, "no such device or preset"},
          {409, "the new name is taken, or the presets file is not usable"}}},
        {Method::Post,
         "/api/devices/{name}/presets/{preset}/recall",
         &HttpApi::recallPreset,
         "send a preset's routing (locked outputs keep theirs), then read it back",
         {},
         {{200, "the routing the device reports"},
          {401, "no valid token"},
          {404, "no such device or preset"},
          {409, "the device did not follow"},
          {502, "sent, but not confirmed: the outcome is unknown"},
          {503, "the device is offline or did not answer"}}},
        {Method::Put,
         "/api/devices/{name}/names",
         &HttpApi::putNames,
         "name inputs and outputs: {\"inputs\": {\"2\": \"Laptop\"}, \"outputs\": {\"3\": \"Projector\"}}",
         NamesSchema(),
         {{200, "the names"},
          {400, "not names of this model"},
          {401, "no valid token"},
          {404, "no such device"},
          {409, "the device has no data folder, or ds.dat cannot be written"}}},
        {Method::Get,
         "/api/devices/{name}/edid/inputs",
         &HttpApi::edidInputs,
         "manufacturer ID and product code of each input's EDID",
         {},
         {{200, "one entry per input, null where none answered"},
          {401, "no valid token"},
          {404, "no such device"},
          {503, "the device is offline or no input answered"}}},
    };
    return routes;
}

void HttpApi::panel(HttpCall& call)
{
    QFile page(QStringLiteral(":/quellixd/panel/index.html"));
    if (!page.open(QIODevice::ReadOnly)) {
        fail(call, 404, "the panel is not built in");
        return;
    }
    SendReply(call.socket, 200, "text/html; charset=utf-8", page.readAll(), call.headOnly,
              {{"Content-Security-Policy",
                "default-src 'self'; img-src 'self' data:; style-src 'self' 'unsafe-inline'; "
                "script-src 'self' 'unsafe-inline'; connect-src 'self'; frame-ancestors 'none'"}});
}

void HttpApi::openApi(HttpCall& call)
{
    respond(call, 200, OpenApiDocument(Routes()));
}

void HttpApi::events(HttpCall& call)
{
    fail(call, 400, "/api/events is a WebSocket");
}

void HttpApi::listDevices(HttpCall& call)
{
    QJsonArray devices;
    for (DeviceLink* link : links_)
        devices.append(DeviceJson(*link, false));
    respond(call, 200, devices);
}

void HttpApi::getDevice(HttpCall& call)
{
    respond(call, 200, DeviceJson(*call.link, true));
}

void HttpApi::putRouting(HttpCall& call)
{
    QString error;
    const std::map<int, int> changes = ParseRouting(call.request.body(), *call.link->config().model, error);
    if (changes.empty()) {
        fail(call, 400, error);
        return;
    }
    sendRouting(call, changes);
}

void HttpApi::putLocks(HttpCall& call)
{
    QString error;
    const std::map<int, bool> wanted = ParseLocks(call.request.body(), *call.link->config().model, error);
    if (wanted.empty()) {
        fail(call, 400, error);
        return;
    }
    std::set<int> locks = call.link->locks();
    for (const auto& [output, locked] : wanted)
        locked ? void(locks.insert(output)) : void(locks.erase(output));
    call.link->setLocks(locks);
    respond(call, 200, QJsonObject{{"locks", NumberArray(std::vector<int>(locks.begin(), locks.end()))}});
}

void HttpApi::edidInputs(HttpCall& call)
{
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    const quint64 ticket = park(call, cancel);
    QPointer<HttpApi> self(this);
    call.link->readEdidIds(
        call.socket,
        [self, ticket](Outcome outcome, QJsonArray inputs) {
            if (self)
                self->answerParked(ticket, outcome.status,
                                   outcome.status == 200 ? QJsonObject{{"inputs", inputs}} : ErrorBody(outcome.error));
        },
        cancel);
}

}  // namespace quellixd
