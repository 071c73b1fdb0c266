#include "HttpApi.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>

#include "DeviceLink.h"
#include "Log.h"
#include "RoutingBody.h"
#include "xandrel/custom/PresetFile.h"
#include "xandrel/custom/StringTableFile.h"
#include "xandrel/device/ModelCatalog.h"

// The panel's resource lives in a static library: it is registered by hand.
static void InitPanelResource()
{
    Q_INIT_RESOURCE(panel);
}

namespace quellixd {

namespace {

using Status = QHttpServerResponder::StatusCode;

void Reply(QHttpServerResponder& responder, const QJsonValue& value, Status status = Status::Ok)
{
    const QJsonDocument document = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    responder.write(document.toJson(QJsonDocument::Compact), "application/json", status);
}

void Error(QHttpServerResponder& responder, Status status, const QString& message)
{
    const QByteArray body = QJsonDocument(QJsonObject{{"error", message}}).toJson(QJsonDocument::Compact);
    if (status == Status::Unauthorized)
        responder.write(body, {{"Content-Type", "application/json"}, {"WWW-Authenticate", "Bearer"}}, status);
    else
        responder.write(body, "application/json", status);
}

QJsonArray Numbers(const std::vector<int>& values)
{
    QJsonArray array;
    for (int value : values)
        array.append(value);
    return array;
}

QJsonObject Names(const DeviceLink& link)
{
    xandrel::StringTable table = xandrel::DefaultStringTable();
    if (!link.config().dataFolder.isEmpty())
        xandrel::ReadStringTableFile(xandrel::StringTableReader::MatrixView, table,
                                     link.config().dataFolder.toStdString());
    const auto take = [](const auto& names, int count) {
        QJsonArray array;
        for (int k = 0; k < count; ++k)
            array.append(k < static_cast<int>(names.size()) ? QString::fromStdString(names[k])
                                                            : QString("%1").arg(k + 1));
        return array;
    };
    return {{"inputs", take(table.inputs, link.config().model->inputs)},
            {"outputs", take(table.outputs, link.config().model->outputs)}};
}

std::vector<xandrel::Preset> Presets(const DeviceLink& link, QString* error = nullptr)
{
    if (link.config().dataFolder.isEmpty())
        return {};
    xandrel::PresetBook book;
    std::string why;
    if (!xandrel::PresetBook::Load(xandrel::PresetFilePath(link.config().dataFolder.toStdString()), book, why)) {
        if (error)
            *error = QString::fromStdString(why);
        return {};
    }
    return book.of({link.config().model->className, link.address(), link.config().id});
}

Status StatusOf(int code)
{
    return static_cast<Status>(code);
}

}  // namespace

QJsonObject ChangeMessage(const DeviceLink& link, const QString& what)
{
    const DeviceState& state = link.state();
    QJsonObject message{{"device", link.config().name}, {"type", what}};
    if (what == "routing")
        message["routing"] = Numbers(state.routing);
    else if (what == "signals")
        message["signals"] = Numbers(state.signals);
    else {
        message["connection"] = ConnectionName(state.connection);
        message["problem"] = state.problem;
    }
    return message;
}

HttpApi::HttpApi(std::vector<DeviceLink*> links, QString token, QObject* parent)
    : QAbstractHttpServer(parent)
    , links_(std::move(links))
    , token_(std::move(token))
{
    InitPanelResource();
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &HttpApi::acceptWebSocket);
    for (DeviceLink* link : links_)
        connect(link, &DeviceLink::changed, this, [this, link](const QString& what) { onChanged(*link, what); });
}

HttpApi::~HttpApi()
{
    for (QWebSocket* socket : sockets_) {
        socket->disconnect(this);
        delete socket;
    }
}

QJsonObject HttpApi::DeviceJson(const DeviceLink& link, bool whole)
{
    const DeviceConfig& config = link.config();
    const DeviceState& state = link.state();
    QJsonObject device{{"name", config.name},
                       {"model", config.model->className},
                       {"model_name", config.model->shortName},
                       {"inputs", config.model->inputs},
                       {"outputs", config.model->outputs},
                       {"id", config.id},
                       {"port", QString::fromStdString(link.address())},
                       {"line_port", link.linePort()},
                       {"connection", ConnectionName(state.connection)}};
    if (!state.problem.isEmpty())
        device["problem"] = state.problem;
    if (!whole)
        return device;
    device["routing"] = state.routingKnown ? QJsonValue(Numbers(state.routing)) : QJsonValue();
    device["signals"] = state.signalsKnown ? QJsonValue(Numbers(state.signals)) : QJsonValue();
    device["names"] = Names(link);
    QJsonArray presets;
    QString presetProblem;
    for (const xandrel::Preset& preset : Presets(link, &presetProblem))
        presets.append(
            QJsonObject{{"name", QString::fromStdString(preset.name)}, {"routing", Numbers(preset.routing)}});
    device["presets"] = presets;
    if (!presetProblem.isEmpty())
        device["presets_problem"] = presetProblem;
    if (link.retryDelay() > 0)
        device["retry_ms"] = link.retryDelay();
    return device;
}

bool HttpApi::authorized(const QHttpServerRequest& request) const
{
    if (token_.isEmpty())
        return true;
    if (request.value("authorization") == "Bearer " + token_.toUtf8())
        return true;
    return request.query().queryItemValue("token") == token_;
}

DeviceLink* HttpApi::find(const QString& name) const
{
    for (DeviceLink* link : links_)
        if (link->config().name == name)
            return link;
    return nullptr;
}

quint64 HttpApi::park(const QHttpServerRequest& request, QTcpSocket* socket)
{
    const quint64 ticket = ++nextTicket_;
    parked_[ticket] = std::make_unique<QHttpServerResponder>(makeResponder(request, socket));
    // A client gone before the answer: its responder goes with its socket.
    connect(socket, &QObject::destroyed, this, [this, ticket] { unpark(ticket); });
    return ticket;
}

std::unique_ptr<QHttpServerResponder> HttpApi::unpark(quint64 ticket)
{
    const auto at = parked_.find(ticket);
    if (at == parked_.end())
        return nullptr;
    std::unique_ptr<QHttpServerResponder> responder = std::move(at->second);
    parked_.erase(at);
    return responder;
}

bool HttpApi::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    using Method = QHttpServerRequest::Method;
    const QString path = request.url().path();
    const Method method = request.method();
    const auto respond = [&] { return makeResponder(request, socket); };

    // A WebSocket upgrade the server carries out when this returns true;
    // acceptWebSocket() checks the token.
    if (request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0)
        return path == "/api/events";
    if (request.value("content-length").toLongLong() > kBodyLimit || request.body().size() > kBodyLimit) {
        auto responder = respond();
        Error(responder, Status::PayloadTooLarge, "the body is larger than 64 KiB");
        return true;
    }
    // The web panel: a static page, which asks for its data with the token
    // it was opened with (?token=...).
    if (path == "/" || path == "/index.html") {
        QFile page(QStringLiteral(":/quellixd/panel/index.html"));
        auto responder = respond();
        if (!page.open(QIODevice::ReadOnly))
            Error(responder, Status::NotFound, "the panel is not built in");
        else
            responder.write(page.readAll(), "text/html; charset=utf-8");
        return true;
    }
    if (!authorized(request)) {
        auto responder = respond();
        Error(responder, Status::Unauthorized, "this daemon wants Authorization: Bearer <token>");
        return true;
    }
    const QStringList parts = path.split('/', Qt::SkipEmptyParts);
    const auto only = [&](Method allowed) {
        if (method == allowed)
            return true;
        auto responder = respond();
        Error(responder, Status::MethodNotAllowed, "method not allowed here");
        return false;
    };
    if (parts.size() < 2 || parts[0] != "api")
        return false;
    if (path == "/api/events") {
        auto responder = respond();
        Error(responder, Status::BadRequest, "/api/events is a WebSocket");
        return true;
    }
    if (parts.size() == 2 && parts[1] == "openapi.json") {
        if (only(Method::Get)) {
            auto responder = respond();
            Reply(responder, OpenApi());
        }
        return true;
    }
    if (parts[1] != "devices")
        return false;
    if (parts.size() == 2) {
        if (only(Method::Get)) {
            QJsonArray devices;
            for (DeviceLink* link : links_)
                devices.append(DeviceJson(*link, false));
            auto responder = respond();
            Reply(responder, devices);
        }
        return true;
    }
    DeviceLink* link = find(parts[2]);
    if (!link) {
        auto responder = respond();
        Error(responder, Status::NotFound, "no device named \"" + parts[2] + "\"");
        return true;
    }
    if (parts.size() == 3) {
        if (only(Method::Get)) {
            auto responder = respond();
            Reply(responder, DeviceJson(*link, true));
        }
        return true;
    }
    if (parts.size() == 4 && parts[3] == "routing") {
        if (only(Method::Put))
            routing(*link, request.body(), request, socket);
        return true;
    }
    if (parts.size() == 6 && parts[3] == "presets" && parts[5] == "recall") {
        if (only(Method::Post))
            recall(*link, parts[4], request, socket);
        return true;
    }
    if (parts.size() == 5 && parts[3] == "edid" && parts[4] == "inputs") {
        if (only(Method::Get))
            edidInputs(*link, request, socket);
        return true;
    }
    return false;
}

void HttpApi::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    auto responder = makeResponder(request, socket);
    Error(responder, Status::NotFound, "no such resource: " + request.url().path());
}

void HttpApi::routing(DeviceLink& link, const QByteArray& body, const QHttpServerRequest& request, QTcpSocket* socket)
{
    QString error;
    const std::map<int, int> changes = ParseRouting(body, *link.config().model, error);
    if (changes.empty()) {
        auto responder = makeResponder(request, socket);
        Error(responder, Status::BadRequest, error);
        return;
    }
    sendRouting(link, changes, request, socket);
}

void HttpApi::recall(DeviceLink& link, const QString& preset, const QHttpServerRequest& request, QTcpSocket* socket)
{
    QString problem;
    const std::vector<xandrel::Preset> presets = Presets(link, &problem);
    const auto found = std::find_if(presets.begin(), presets.end(),
                                    [&](const xandrel::Preset& p) { return QString::fromStdString(p.name) == preset; });
    if (found == presets.end() || found->routing.size() != link.config().model->outputs) {
        auto responder = makeResponder(request, socket);
        Error(responder, Status::NotFound,
              "no preset \"" + preset + "\" for " + link.config().name + (problem.isEmpty() ? "" : ": " + problem));
        return;
    }
    std::map<int, int> changes;
    for (size_t k = 0; k < found->routing.size(); ++k)
        changes[static_cast<int>(k + 1)] = found->routing[k];
    Log("device " + link.config().name + ": recalling preset \"" + preset + "\"");
    sendRouting(link, changes, request, socket);
}

void HttpApi::sendRouting(DeviceLink& link, const std::map<int, int>& changes, const QHttpServerRequest& request,
                          QTcpSocket* socket)
{
    const quint64 ticket = park(request, socket);
    QPointer<HttpApi> self(this);  // a reload may end this server before the device answers
    link.writeRouting(changes, socket, [self, ticket, &link](Outcome outcome) {
        std::unique_ptr<QHttpServerResponder> responder = self ? self->unpark(ticket) : nullptr;
        if (!responder)
            return;
        if (outcome.status != 200) {
            Log("device " + link.config().name + ": routing: " + outcome.error);
            Error(*responder, StatusOf(outcome.status), outcome.error);
            return;
        }
        Reply(*responder, QJsonObject{{"routing", Numbers(link.state().routing)}});
    });
}

void HttpApi::edidInputs(DeviceLink& link, const QHttpServerRequest& request, QTcpSocket* socket)
{
    const quint64 ticket = park(request, socket);
    QPointer<HttpApi> self(this);
    link.readEdidIds(socket, [self, ticket](Outcome outcome, QJsonArray inputs) {
        std::unique_ptr<QHttpServerResponder> responder = self ? self->unpark(ticket) : nullptr;
        if (!responder)
            return;
        if (outcome.status != 200)
            Error(*responder, StatusOf(outcome.status), outcome.error);
        else
            Reply(*responder, QJsonObject{{"inputs", inputs}});
    });
}

void HttpApi::acceptWebSocket()
{
    while (hasPendingWebSocketConnections()) {
        QWebSocket* socket = nextPendingWebSocketConnection().release();
        const QUrl url = socket->requestUrl();
        const bool tokenGood = token_.isEmpty() || QUrlQuery(url).queryItemValue("token") == token_
            || socket->request().rawHeader("Authorization") == "Bearer " + token_.toUtf8();
        if (url.path() != "/api/events" || !tokenGood) {
            Log("event socket from " + socket->peerAddress().toString()
                + " refused: " + (tokenGood ? "no such resource " + url.path() : QStringLiteral("no valid token")));
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, tokenGood ? "no such resource" : "unauthorized");
            socket->deleteLater();
            continue;
        }
        sockets_.push_back(socket);
        connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            sockets_.erase(std::remove(sockets_.begin(), sockets_.end(), socket), sockets_.end());
            socket->deleteLater();
        });
        // Where every device stands now, then the changes as they come.
        for (DeviceLink* link : links_)
            for (const char* what : {"connection", "routing", "signals"})
                socket->sendTextMessage(QJsonDocument(ChangeMessage(*link, what)).toJson(QJsonDocument::Compact));
    }
}

void HttpApi::onChanged(DeviceLink& link, const QString& what)
{
    push(ChangeMessage(link, what));
}

void HttpApi::push(const QJsonObject& message)
{
    const QString text = QJsonDocument(message).toJson(QJsonDocument::Compact);
    for (QWebSocket* socket : sockets_)
        socket->sendTextMessage(text);
}

QJsonObject HttpApi::OpenApi()
{
    const QJsonObject error{
        {"description", "failure"},
        {"content",
         QJsonObject{
             {"application/json", QJsonObject{{"schema", QJsonObject{{"$ref", "#/components/schemas/Error"}}}}}}}};
    const auto ok = [](const QString& what) {
        return QJsonObject{{"description", what}, {"content", QJsonObject{{"application/json", QJsonObject{}}}}};
    };
    const auto param = [](const QString& name, const QString& what) {
        return QJsonObject{{"name", name},
                           {"in", "path"},
                           {"required", true},
                           {"description", what},
                           {"schema", QJsonObject{{"type", "string"}}}};
    };
    const QJsonObject device = param("name", "the device's name in the configuration");
    const QJsonObject failures{{"401", error}, {"404", error}};
    const auto with = [&](QJsonObject responses, const QStringList& codes) {
        for (const QString& code : codes)
            responses[code] = error;
        for (auto it = failures.begin(); it != failures.end(); ++it)
            responses[it.key()] = it.value();
        return responses;
    };
    QJsonObject paths;
    paths["/api/devices"] =
        QJsonObject{{"get",
                     QJsonObject{{"summary", "every device: name, model, ID, port, shared line port, connection"},
                                 {"responses", with({{"200", ok("list of devices")}}, {})}}}};
    paths["/api/devices/{name}"] =
        QJsonObject{{"get",
                     QJsonObject{{"summary", "one device: model, ID, routing, signals, names, presets, connection"},
                                 {"parameters", QJsonArray{device}},
                                 {"responses", with({{"200", ok("the device")}}, {})}}}};
    paths["/api/devices/{name}/routing"] = QJsonObject{
        {"put",
         QJsonObject{
             {"summary",
              "route: {\"3\": 5} puts input 5 on output 3; a list gives every output's input; "
              "sent, then read back"},
             {"parameters", QJsonArray{device}},
             {"requestBody",
              QJsonObject{
                  {"required", true},
                  {"content",
                   QJsonObject{
                       {"application/json",
                        QJsonObject{
                            {"schema",
                             QJsonObject{
                                 {"oneOf",
                                  QJsonArray{QJsonObject{{"type", "object"},
                                                         {"additionalProperties", QJsonObject{{"type", "integer"}}}},
                                             QJsonObject{{"type", "array"},
                                                         {"items", QJsonObject{{"type", "integer"}}}}}}}}}}}}}},
             {"responses", with({{"200", ok("the routing the device reports")}}, {"400", "409", "413", "503"})}}}};
    paths["/api/devices/{name}/presets/{preset}/recall"] = QJsonObject{
        {"post",
         QJsonObject{{"summary", "send a preset's routing, then read it back"},
                     {"parameters", QJsonArray{device, param("preset", "the preset's name")}},
                     {"responses", with({{"200", ok("the routing the device reports")}}, {"409", "503"})}}}};
    paths["/api/devices/{name}/edid/inputs"] = QJsonObject{
        {"get",
         QJsonObject{{"summary", "manufacturer ID and product code of each input's EDID"},
                     {"parameters", QJsonArray{device}},
                     {"responses", with({{"200", ok("one entry per input, null where none answered")}}, {"503"})}}}};
    paths["/api/events"] = QJsonObject{
        {"get",
         QJsonObject{{"summary", "WebSocket: {device, type: routing|signals|connection, ...} for every change"},
                     {"responses", QJsonObject{{"101", QJsonObject{{"description", "switching to WebSocket"}}}}}}}};
    paths["/api/openapi.json"] = QJsonObject{
        {"get", QJsonObject{{"summary", "this description"}, {"responses", QJsonObject{{"200", ok("OpenAPI 3.0")}}}}}};
    return {{"openapi", "3.0.3"},
            {"info", QJsonObject{{"title", "quellixd"}, {"version", QUELLIX_VERSION}}},
            {"paths", paths},
            {"components",
             QJsonObject{
                 {"schemas",
                  QJsonObject{{"Error",
                               QJsonObject{{"type", "object"},
                                           {"properties", QJsonObject{{"error", QJsonObject{{"type", "string"}}}}}}}}},
                 {"securitySchemes", QJsonObject{{"bearer", QJsonObject{{"type", "http"}, {"scheme", "bearer"}}}}}}}};
}

}  // namespace quellixd
