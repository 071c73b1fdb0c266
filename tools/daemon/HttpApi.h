// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The HTTP API and the event WebSocket of the daemon. Its routes are the
// table in ApiRoutes.cpp (also served as /api/openapi.json); errors are
// {"error": "..."}. Every connection passes the gate (HttpGate) first:
// limits, timeouts, Host, Origin and the token are checked there before the
// server reads a request. A request the device works on is answered within
// 30 s (504 after that, and the job sends no further frame).
#include <QAbstractHttpServer>
#include <QJsonObject>
#include <QPointer>

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "DeviceLink.h"
#include "HttpHead.h"
#include "HttpRoute.h"
#include "xandrel/custom/PresetFile.h"

class QTimer;
class QWebSocket;

namespace quellixd {

class ClientLimit;
class GuardedServer;

class HttpApi : public QAbstractHttpServer {
    Q_OBJECT
public:
    static constexpr qint64 kBodyLimit = 64 * 1024;
    static constexpr int kDeadlineMs = 30000;
    static constexpr qint64 kWebSocketMessageLimit = 4 * 1024;

    HttpApi(std::vector<DeviceLink*> links, GatePolicy policy, std::shared_ptr<ClientLimit> limit,
            QObject* parent = nullptr);
    ~HttpApi() override;

    // Listens on `address`:`port` (0 picks one); the port, or 0 when it
    // cannot be had.
    quint16 listen(const QHostAddress& address, quint16 port);
    quint16 port() const;
    // The devices the API serves, after a reload; the WebSockets stay.
    void setLinks(std::vector<DeviceLink*> links);
    // What the gate lets through, after a reload: taken by every connection
    // from its next request on.
    void setPolicy(GatePolicy policy);
    // Takes no new connection; the ones there are carry on.
    void stopListening();
    // Requests waiting for a device's answer.
    int waiting() const { return static_cast<int>(parked_.size()); }
    // Answers every waiting request with 503 (the daemon is ending).
    void answerWaiting(const QString& why);

    // Every route the API answers, in the order of its description.
    static const std::vector<HttpRoute>& Routes();
    // The JSON of a device as GET /api/devices/{name} gives it.
    static QJsonObject DeviceJson(const DeviceLink& link, bool whole);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    // Handlers, one per route (ApiRoutes.cpp, PresetHandlers.cpp).
    void panel(HttpCall& call);
    void openApi(HttpCall& call);
    void events(HttpCall& call);
    void listDevices(HttpCall& call);
    void getDevice(HttpCall& call);
    void putRouting(HttpCall& call);
    void putLocks(HttpCall& call);
    void edidInputs(HttpCall& call);
    void listPresets(HttpCall& call);
    void putPreset(HttpCall& call);
    void deletePreset(HttpCall& call);
    void renamePreset(HttpCall& call);
    void recallPreset(HttpCall& call);
    void putNames(HttpCall& call);

    bool dispatch(const QHttpServerRequest& request, QTcpSocket* socket);
    // The device's presets book, or false once the call was answered 409.
    bool loadPresets(HttpCall& call, xandrel::PresetBook& book);
    DeviceLink* find(const QString& name) const;
    void respond(HttpCall& call, int status, const QJsonValue& body = {});
    void fail(HttpCall& call, int status, const QString& message);
    void sendRouting(HttpCall& call, const std::map<int, int>& changes);

    // A request answered once its device job ends (or its deadline comes).
    struct Parked {
        QPointer<QTcpSocket> socket;
        bool headOnly = false;
        DeviceLink::Cancel cancel;
        QTimer* deadline = nullptr;
    };
    quint64 park(const HttpCall& call, DeviceLink::Cancel cancel);
    // Answers a parked request, unless it was answered already.
    void answerParked(quint64 ticket, int status, const QJsonValue& body);
    void acceptWebSocket();
    void push(const QJsonObject& message);
    void onChanged(DeviceLink& link, const QString& what);

    std::vector<DeviceLink*> links_;
    std::shared_ptr<GatePolicy> policy_;
    std::shared_ptr<ClientLimit> limit_;
    GuardedServer* server_ = nullptr;
    quint64 nextTicket_ = 0;
    std::map<quint64, Parked> parked_;
    std::vector<QWebSocket*> sockets_;
};

// The message the WebSocket sends about a change of `what` on `link`.
QJsonObject ChangeMessage(const DeviceLink& link, const QString& what);

}  // namespace quellixd
