// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpApi.h"

#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>

#include <algorithm>

#include "DeviceFiles.h"
#include "DeviceLink.h"
#include "GuardedServer.h"
#include "HttpGate.h"
#include "HttpReply.h"
#include "Log.h"
#include "xandrel/device/ModelCatalog.h"

// The panel's resource lives in a static library: it is registered by hand.
static void InitPanelResource()
{
    Q_INIT_RESOURCE(panel);
}

namespace quellixd {

namespace {

QJsonArray Numbers(const std::set<int>& values)
{
    return NumberArray(std::vector<int>(values.begin(), values.end()));
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
        message["routing"] = NumberArray(state.routing);
    } else if (what == "signals") {
        message["signals"] = NumberArray(state.signals);
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

HttpApi::HttpApi(std::vector<DeviceLink*> links, GatePolicy policy, std::shared_ptr<ClientLimit> limit, QObject* parent)
    : QAbstractHttpServer(parent)
    , policy_(std::make_shared<GatePolicy>(std::move(policy)))
    , limit_(std::move(limit))
{
    InitPanelResource();
    policy_->bodyLimit = kBodyLimit;
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &HttpApi::acceptWebSocket);
    setLinks(std::move(links));
}

void HttpApi::setLinks(std::vector<DeviceLink*> links)
{
    for (DeviceLink* link : links_)
        disconnect(link, nullptr, this, nullptr);
    links_ = std::move(links);
    for (DeviceLink* link : links_) {
        connect(link, &DeviceLink::changed, this, [this, link](const QString& what) { onChanged(*link, what); });
        for (const char* what : {"connection", "routing", "signals", "locks"})
            onChanged(*link, what);
    }
}

void HttpApi::setPolicy(GatePolicy policy)
{
    *policy_ = std::move(policy);
    policy_->bodyLimit = kBodyLimit;
}

quint16 HttpApi::listen(const QHostAddress& address, quint16 port)
{
    std::shared_ptr<const GatePolicy> policy = policy_;
    server_ = new GuardedServer(
        limit_, "HTTP API", [policy](qintptr descriptor) -> QTcpSocket* { return new HttpGate(descriptor, policy); },
        this);
    if (!server_->listen(address, port)) {
        delete server_;
        server_ = nullptr;
        return 0;
    }
    bind(server_);
    return server_->serverPort();
}

quint16 HttpApi::port() const
{
    return server_ ? server_->serverPort() : 0;
}

void HttpApi::stopListening()
{
    if (server_)
        server_->close();
}

void HttpApi::answerWaiting(const QString& why)
{
    std::vector<quint64> tickets;
    for (const auto& [ticket, parked] : parked_)
        tickets.push_back(ticket);
    for (quint64 ticket : tickets)
        answerParked(ticket, 503, ErrorBody(why));
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
    device["routing"] = state.routingKnown ? QJsonValue(NumberArray(state.routing)) : QJsonValue();
    device["signals"] = state.signalsKnown ? QJsonValue(NumberArray(state.signals)) : QJsonValue();
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

DeviceLink* HttpApi::find(const QString& name) const
{
    for (DeviceLink* link : links_)
        if (link->config().name == name)
            return link;
    return nullptr;
}

void HttpApi::respond(HttpCall& call, int status, const QJsonValue& body)
{
    SendJson(call.socket, status, body, call.headOnly);
}

void HttpApi::fail(HttpCall& call, int status, const QString& message)
{
    HeaderFields extra;
    if (status == 401)
        extra.emplace_back("WWW-Authenticate", "Bearer");
    SendJson(call.socket, status, ErrorBody(message), call.headOnly, extra);
}

quint64 HttpApi::park(const HttpCall& call, DeviceLink::Cancel cancel)
{
    const quint64 ticket = ++nextTicket_;
    Parked& parked = parked_[ticket];
    parked.socket = call.socket;
    parked.headOnly = call.headOnly;
    parked.cancel = std::move(cancel);
    parked.deadline = new QTimer(this);
    parked.deadline->setSingleShot(true);
    connect(parked.deadline, &QTimer::timeout, this, [this, ticket] {
        answerParked(ticket, 504,
                     ErrorBody("the device did not finish within " + QString::number(kDeadlineMs / 1000) + " s"));
    });
    parked.deadline->start(kDeadlineMs);
    return ticket;
}

void HttpApi::answerParked(quint64 ticket, int status, const QJsonValue& body)
{
    const auto at = parked_.find(ticket);
    if (at == parked_.end())
        return;
    Parked parked = at->second;
    parked_.erase(at);
    parked.deadline->deleteLater();
    if (parked.cancel)
        *parked.cancel = true;  // no further frame for an answer given
    SendJson(parked.socket.data(), status, body, parked.headOnly);
}

bool HttpApi::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    // A WebSocket upgrade the server carries out when this returns true; the
    // gate has checked its Host, Origin and token.
    if (request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0)
        return request.url().path() == "/api/events";
    return dispatch(request, socket);
}

// Finds the route of the request: 404 when no path matches, 405 when the
// path matches with another method; the device a {name} names must exist.
bool HttpApi::dispatch(const QHttpServerRequest& request, QTcpSocket* socket)
{
    using Method = QHttpServerRequest::Method;
    const bool headOnly = request.method() == Method::Head;
    const Method method = headOnly ? Method::Get : request.method();
    const QStringList segments = Segments(request.url());
    QByteArray allowed;
    for (const HttpRoute& route : Routes()) {
        HttpCall call{request, socket, {}, nullptr, headOnly};
        if (!route.matches(segments, call.parameters))
            continue;
        if (route.method != method) {
            allowed += (allowed.isEmpty() ? "" : ", ") + MethodName(route.method)
                + (route.method == Method::Get ? ", HEAD" : "");
            continue;
        }
        if (QString(route.pattern).contains("{name}") && !(call.link = find(call.parameters.value(0)))) {
            fail(call, 404, "no device named \"" + call.parameters.value(0) + "\"");
            return true;
        }
        (this->*route.handle)(call);
        return true;
    }
    if (allowed.isEmpty())
        return false;
    HttpCall call{request, socket, {}, nullptr, headOnly};
    if (method == Method::Options)
        SendReply(socket, 204, {}, {}, false, {{"Allow", allowed + ", OPTIONS"}});
    else
        SendJson(socket, 405, ErrorBody("method not allowed here"), headOnly, {{"Allow", allowed}});
    return true;
}

void HttpApi::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    SendJson(socket, 404, ErrorBody("no such resource: " + request.url().path()),
             request.method() == QHttpServerRequest::Method::Head);
}

void HttpApi::sendRouting(HttpCall& call, const std::map<int, int>& changes)
{
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    const quint64 ticket = park(call, cancel);
    QPointer<HttpApi> self(this);  // a reload may end this server before the device answers
    DeviceLink* link = call.link;
    link->writeRouting(
        changes, call.socket,
        [self, ticket, link](Outcome outcome) {
            if (!self)
                return;
            if (outcome.status != 200) {
                Log("device " + link->config().name + ": routing: " + outcome.error);
                self->answerParked(ticket, outcome.status, ErrorBody(outcome.error, outcome.unknown));
                return;
            }
            self->answerParked(ticket, 200, QJsonObject{{"routing", NumberArray(link->state().routing)}});
        },
        cancel);
}

void HttpApi::acceptWebSocket()
{
    while (hasPendingWebSocketConnections()) {
        QWebSocket* socket = nextPendingWebSocketConnection().release();
        const QUrl url = socket->requestUrl();
        const QString token = policy_->token;
        const QByteArray bearer = socket->request().rawHeader("Authorization");
        const bool tokenGood = token.isEmpty() || TokenMatches(QUrlQuery(url).queryItemValue("token"), token)
            || (bearer.startsWith("Bearer ") && TokenMatches(QString::fromUtf8(bearer.mid(7)), token));
        if (url.path() != "/api/events" || !tokenGood) {
            Log("event socket from " + socket->peerAddress().toString()
                + " refused: " + (tokenGood ? "no such resource " + url.path() : QStringLiteral("no valid token")));
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, tokenGood ? "no such resource" : "unauthorized");
            socket->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(kWebSocketMessageLimit);
        socket->setMaxAllowedIncomingFrameSize(kWebSocketMessageLimit);
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
