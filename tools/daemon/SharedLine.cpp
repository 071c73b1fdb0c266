#include "SharedLine.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

#include "DeviceLink.h"
#include "LineProtocol.h"
#include "Log.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/device/ProtocolFrames.h"

namespace quellixd {

namespace {
constexpr int kFrameTimeMs = 1000;
constexpr int kAuthTimeMs = 5000;
constexpr int kAuthLineLimit = 512;
}  // namespace

struct SharedLine::Client {
    quint64 number = 0;
    QTcpSocket* socket = nullptr;  // owned by the server's children until dropped
    QString peer;
    bool authorized = false;
    QByteArray authLine;
    FrameAssembler frames;
    QTimer frameTimer;
    // Frames sent on and not answered yet; while there are any, event
    // messages wait, so they never come between a frame and its answer.
    int inFlight = 0;
    QByteArray heldEvents;
};

SharedLine::SharedLine(DeviceLink& link, QString token, QObject* parent)
    : QObject(parent)
    , link_(link)
    , token_(std::move(token))
{
    connect(&server_, &QTcpServer::newConnection, this, &SharedLine::accept);
    connect(&link_, &DeviceLink::lineMessage, this, &SharedLine::broadcast);
}

SharedLine::~SharedLine()
{
    for (auto& client : clients_) {
        client->socket->disconnect(this);
        delete client->socket;
    }
}

bool SharedLine::listen(const QHostAddress& address, quint16 port, QString& error)
{
    if (server_.listen(address, port))
        return true;
    error = "shared line of " + link_.config().name + " on " + address.toString() + ":" + QString::number(port) + ": "
        + server_.errorString();
    return false;
}

void SharedLine::accept()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        auto client = std::make_unique<Client>();
        Client* raw = client.get();
        client->number = ++nextClient_;
        client->socket = socket;
        // Replies are a few bytes each: sent at once, not held back to be joined.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        client->peer = socket->peerAddress().toString() + ":" + QString::number(socket->peerPort());
        client->authorized = token_.isEmpty();
        client->frameTimer.setSingleShot(true);
        connect(&client->frameTimer, &QTimer::timeout, this, [this, raw] {
            if (!raw->authorized) {
                drop(*raw, "no AUTH line in time");
                return;
            }
            Log("device " + link_.config().name + ": " + raw->peer + ": dropped a frame not completed within 1 s ("
                + QString::number(raw->frames.dropPartial()) + " bytes)");
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, raw] { read(*raw); });
        connect(socket, &QTcpSocket::disconnected, this, [this, raw] { drop(*raw, "disconnected"); });
        if (!client->authorized)
            client->frameTimer.start(kAuthTimeMs);
        clients_.push_back(std::move(client));
        Log("device " + link_.config().name + ": shared line client " + raw->peer + " connected ("
            + QString::number(clients_.size()) + " now)");
    }
}

void SharedLine::read(Client& client)
{
    QByteArray bytes = client.socket->readAll();
    if (!client.authorized) {
        const int end = bytes.indexOf('\n');
        client.authLine += bytes.left(end < 0 ? bytes.size() : end);
        if (client.authLine.size() > kAuthLineLimit) {
            drop(client, "AUTH line too long");
            return;
        }
        if (end < 0)
            return;
        if (client.authLine.trimmed() != "AUTH " + token_.toUtf8()) {
            drop(client, "wrong or missing AUTH line");
            return;
        }
        client.authorized = true;
        client.frameTimer.stop();
        bytes = bytes.mid(end + 1);
    }
    const int droppedBefore = client.frames.droppedBytes();
    for (const QByteArray& frame : client.frames.take(bytes))
        send(client, frame);
    if (client.frames.droppedBytes() != droppedBefore)
        Log("device " + link_.config().name + ": " + client.peer + ": dropped "
            + QString::number(client.frames.droppedBytes() - droppedBefore) + " bytes that start no frame");
    if (client.frames.partial()) {
        if (!client.frameTimer.isActive())
            client.frameTimer.start(kFrameTimeMs);
    } else {
        client.frameTimer.stop();
    }
}

void SharedLine::send(Client& client, const QByteArray& frame)
{
    const std::vector<uint8_t> bytes(frame.begin(), frame.end());
    if (!xandrel::IsFrameFor(*link_.config().model, INFODEVICEMATRIXBASE::kBroadcastID, bytes)) {
        Log("device " + link_.config().name + ": " + client.peer + ": dropped a frame that is not one of the "
            + link_.config().model->className + " (header or checksum): " + frame.toHex(' '));
        return;
    }
    ++client.inFlight;
    QTcpSocket* socket = client.socket;
    // Called only while the socket lives; the client may be gone already.
    link_.forward(client.number, frame, socket, [this, socket](const QByteArray& reply, bool last) {
        socket->write(reply);
        const auto at =
            std::find_if(clients_.begin(), clients_.end(), [socket](const auto& c) { return c->socket == socket; });
        if (!last || at == clients_.end() || --(*at)->inFlight > 0)
            return;
        socket->write((*at)->heldEvents);
        (*at)->heldEvents.clear();
    });
}

void SharedLine::drop(Client& client, const QString& why)
{
    const auto at = std::find_if(clients_.begin(), clients_.end(), [&](const auto& c) { return c.get() == &client; });
    if (at == clients_.end())
        return;
    std::unique_ptr<Client> gone = std::move(*at);
    clients_.erase(at);
    Log("device " + link_.config().name + ": shared line client " + gone->peer + " " + why + " ("
        + QString::number(clients_.size()) + " left)");
    gone->socket->disconnect(this);
    gone->socket->abort();
    gone->socket->deleteLater();
    link_.clientGone(gone->number);
}

void SharedLine::broadcast(const QByteArray& message, quint64 except)
{
    for (auto& client : clients_) {
        if (!client->authorized || client->number == except)
            continue;
        if (client->inFlight > 0)
            client->heldEvents += message;
        else
            client->socket->write(message);
    }
}

}  // namespace quellixd
