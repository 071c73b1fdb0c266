// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The HTTP API and the event WebSocket of the daemon. Its routes are the
// table in ApiRoutes.cpp (also served as /api/openapi.json); errors are
// {"error": "..."}. With a token every request needs "Authorization: Bearer
// <token>" (the WebSocket and the panel may give it as ?token=<token>).
#include <QAbstractHttpServer>
#include <QJsonObject>

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "HttpRoute.h"

class QHttpServerResponder;
class QWebSocket;

namespace quellixd {

class DeviceLink;

class HttpApi : public QAbstractHttpServer {
    Q_OBJECT
public:
    static constexpr qint64 kBodyLimit = 64 * 1024;

    HttpApi(std::vector<DeviceLink*> links, QString token, QObject* parent = nullptr);
    ~HttpApi() override;

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
    bool authorized(const QHttpServerRequest& request) const;
    DeviceLink* find(const QString& name) const;
    void respond(HttpCall& call, int status, const QJsonValue& body = {});
    void fail(HttpCall& call, int status, const QString& message);
    void sendRouting(HttpCall& call, const std::map<int, int>& changes);
    // Keeps the responder of a request answered later.
    quint64 park(const HttpCall& call);
    std::unique_ptr<QHttpServerResponder> unpark(quint64 ticket);
    void acceptWebSocket();
    void push(const QJsonObject& message);
    void onChanged(DeviceLink& link, const QString& what);

    std::vector<DeviceLink*> links_;
    QString token_;
    quint64 nextTicket_ = 0;
    std::map<quint64, std::unique_ptr<QHttpServerResponder>> parked_;
    std::vector<QWebSocket*> sockets_;
};

// The message the WebSocket sends about a change of `what` on `link`.
QJsonObject ChangeMessage(const DeviceLink& link, const QString& what);

}  // namespace quellixd
