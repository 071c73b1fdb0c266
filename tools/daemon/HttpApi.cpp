// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpApi.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>

#include <algorithm>

#include "DeviceFiles.h"
#include "DeviceLink.h"
#include "Log.h"
#include "xandrel/device/ModelCatalog.h"

// The panel's resource lives in a static library: it is registered by hand.
static void InitPanelResource()
{
    Q_INIT_RESOURCE(panel);
}

namespace quellixd {

namespace {

using Status = QHttpServerResponder::StatusCode;

QJsonArray Numbers(const std::vector<int>& values)
{
    QJsonArray array;
    for (int value : values)
        array.append(value);
    return array;
}

QJsonArray Numbers(const std::set<int>& values)
{
    return Numbers(std::vector<int>(values.begin(), values.end()));
}

void Write(QHttpServerResponder& responder, int status, const QJsonValue& body)
{
    if (body.isUndefined() || body.isNull()) {
        responder.write(static_cast<Status>(status));
        return;
    }
    const QJsonDocument document = body.isArray() ? QJsonDocument(body.toArray()) : QJsonDocument(body.toObject());
    responder.write(document.toJson(QJsonDocument::Compact), "application/json", static_cast<Status>(status));
}

QJsonObject ErrorBody(const QString& message, bool unknown = false)
{
    QJsonObject body{{"error", message}};
    if (unknown)
        body["state"] = "unknown";
    return body;
}

// The path's segments, each decoded on its own, so that a preset name may
// hold a "/" (sent as %2F).
QStringList Segments(const QUrl& url)
{
    QStringList segments;
    for (const QString& part : url.path(QUrl::FullyEncoded).split('/', Qt::SkipEmptyParts))
        segments.append(QUrl::fromPercentEncoding(part.toUtf8()));
    return segments;
}

}  // namespace

QJsonObject ChangeMessage(const DeviceLink& link, const QString& what)
{
    const DeviceState& state = link.state();
    QJsonObject message{{"device", link.config().name}, {"type", what}};
    if (what == "routing") {
        message["routing"] = Numbers(state.routing);
    } else if (what == "signals") {
        message["signals"] = Numbers(state.signals);
    } else if (what == "locks") {
        message["locks"] = Numbers(link.locks());
    } else if (what == "names") {
        message["names"] = NamesJson(link.config());
    } else if (what == "presets") {
        xandrel::PresetBook book;
        QString error;
        LoadPresets(link.config(), book, error);
        message["presets"] = PresetsJson(book.of(PresetOwner(link.config())));
    } else {
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
    device["locks"] = Numbers(link.locks());
    device["names"] = NamesJson(config);
    xandrel::PresetBook book;
    QString presetProblem;
    LoadPresets(config, book, presetProblem);
    device["presets"] = PresetsJson(book.of(PresetOwner(config)));
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

void HttpApi::respond(HttpCall& call, int status, const QJsonValue& body)
{
    QHttpServerResponder responder = makeResponder(call.request, call.socket);
    Write(responder, status, body);
}

void HttpApi::fail(HttpCall& call, int status, const QString& message)
{
    QHttpServerResponder responder = makeResponder(call.request, call.socket);
    const QByteArray body = QJsonDocument(ErrorBody(message)).toJson(QJsonDocument::Compact);
    if (status == 401)
        responder.write(body, {{"Content-Type", "application/json"}, {"WWW-Authenticate", "Bearer"}},
                        Status::Unauthorized);
    else
        responder.write(body, "application/json", static_cast<Status>(status));
}

quint64 HttpApi::park(const HttpCall& call)
{
    const quint64 ticket = ++nextTicket_;
    parked_[ticket] = std::make_unique<QHttpServerResponder>(makeResponder(call.request, call.socket));
    // A client gone before the answer: its responder goes with its socket.
    connect(call.socket, &QObject::destroyed, this, [this, ticket] { unpark(ticket); });
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
    // A WebSocket upgrade the server carries out when this returns true;
    // acceptWebSocket() checks the token.
    if (request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0)
        return request.url().path() == "/api/events";
    if (request.value("content-length").toLongLong() > kBodyLimit || request.body().size() > kBodyLimit) {
        HttpCall call{request, socket, {}};
        fail(call, 413, "the body is larger than 64 KiB");
        return true;
    }
    return dispatch(request, socket);
}

// Finds the route of the request: 404 when no path matches, 405 when the
// path matches with another method; the device a {name} names must exist.
bool HttpApi::dispatch(const QHttpServerRequest& request, QTcpSocket* socket)
{
    const QStringList segments = Segments(request.url());
    bool pathKnown = false;
    for (const HttpRoute& route : Routes()) {
        HttpCall call{request, socket, {}};
        if (!route.matches(segments, call.parameters))
            continue;
        pathKnown = true;
        if (route.method != request.method())
            continue;
        // The panel asks for its data with the token it was opened with.
        if (route.handle != &HttpApi::panel && !authorized(request)) {
            fail(call, 401, "this daemon wants Authorization: Bearer <token>");
            return true;
        }
        if (QString(route.pattern).contains("{name}") && !(call.link = find(call.parameters.value(0)))) {
            fail(call, 404, "no device named \"" + call.parameters.value(0) + "\"");
            return true;
        }
        (this->*route.handle)(call);
        return true;
    }
    if (!pathKnown)
        return false;
    HttpCall call{request, socket, {}};
    fail(call, 405, "method not allowed here");
    return true;
}

void HttpApi::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    HttpCall call{request, socket, {}};
    fail(call, 404, "no such resource: " + request.url().path());
}

void HttpApi::sendRouting(HttpCall& call, const std::map<int, int>& changes)
{
    const quint64 ticket = park(call);
    QPointer<HttpApi> self(this);  // a reload may end this server before the device answers
    DeviceLink* link = call.link;
    link->writeRouting(changes, call.socket, [self, ticket, link](Outcome outcome) {
        std::unique_ptr<QHttpServerResponder> responder = self ? self->unpark(ticket) : nullptr;
        if (!responder)
            return;
        if (outcome.status != 200) {
            Log("device " + link->config().name + ": routing: " + outcome.error);
            Write(*responder, outcome.status, ErrorBody(outcome.error, outcome.unknown));
            return;
        }
        Write(*responder, 200, QJsonObject{{"routing", Numbers(link->state().routing)}});
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
            for (const char* what : {"connection", "routing", "signals", "locks"})
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

}  // namespace quellixd
