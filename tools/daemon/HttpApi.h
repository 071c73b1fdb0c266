#pragma once
// The HTTP API and the event WebSocket of the daemon:
//   GET  /api/devices                                  every device, short
//   GET  /api/devices/{name}                           one device, whole
//   PUT  /api/devices/{name}/routing                   {"3": 5} or [in of out 1, ...]
//   POST /api/devices/{name}/presets/{preset}/recall
//   GET  /api/devices/{name}/edid/inputs               manufacturer IDs of the inputs
//   GET  /api/openapi.json                             this description
//   GET  /api/events (WebSocket)                       routing, signal and connection changes
//   GET  /                                             the web panel
// Errors are {"error": "..."} with 400, 401, 404, 405, 409, 413 or 503.
// With a token every request needs "Authorization: Bearer <token>" (the
// WebSocket and the panel may give it as ?token=<token> instead).
#include <QAbstractHttpServer>
#include <QJsonObject>

#include <map>
#include <memory>
#include <set>
#include <vector>

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

    // The JSON of a device as GET /api/devices/{name} gives it.
    static QJsonObject DeviceJson(const DeviceLink& link, bool whole);
    static QJsonObject OpenApi();

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    bool authorized(const QHttpServerRequest& request) const;
    DeviceLink* find(const QString& name) const;
    void routing(DeviceLink& link, const QByteArray& body, const QHttpServerRequest& request, QTcpSocket* socket);
    void recall(DeviceLink& link, const QString& preset, const QHttpServerRequest& request, QTcpSocket* socket);
    void edidInputs(DeviceLink& link, const QHttpServerRequest& request, QTcpSocket* socket);
    void sendRouting(DeviceLink& link, const std::map<int, int>& changes, const QHttpServerRequest& request,
                     QTcpSocket* socket);
    // Keeps the responder of a request answered later.
    quint64 park(const QHttpServerRequest& request, QTcpSocket* socket);
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
