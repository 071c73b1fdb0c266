// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharedLine.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

#include "DeviceLink.h"
#include "HttpHead.h"
#include "LineProtocol.h"
#include "Log.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/device/ProtocolFrames.h"

namespace quellixd {

namespace {
constexpr int kGarbageLogMs = 10000;
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
    QTimer idleTimer;
    int droppedLogged = 0;
    QElapsedTimer sinceGarbageLog;
    // Frames sent on and not answered yet; while there are any, event
    // messages wait, so they never come between a frame and its answer.
    int inFlight = 0;
    QByteArray heldEvents;
};

SharedLine::SharedLine(DeviceLink& link, QString token, std::shared_ptr<ClientLimit> limit, int idleTimeMs,
                       QObject* parent)
    : QObject(parent)
    , link_(link)
    , token_(std::move(token))
    , idleTimeMs_(idleTimeMs)
    , server_(std::move(limit), "shared line of " + link.config().name)
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
        client->idleTimer.setSingleShot(true);
        connect(&client->idleTimer, &QTimer::timeout, this,
                [this, raw] { drop(*raw, "sent no whole frame for " + QString::number(idleTimeMs_ / 1000) + " s"); });
        client->idleTimer.start(idleTimeMs_);
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
        const QByteArray line = client.authLine.trimmed();
        if (!line.startsWith("AUTH ") || !TokenMatches(QString::fromUtf8(line.mid(5)), token_)) {
            drop(client, "wrong or missing AUTH line");
            return;
        }
        client.authorized = true;
        client.frameTimer.stop();
        bytes = bytes.mid(end + 1);
    }
    for (const QByteArray& frame : client.frames.take(bytes))
        send(client, frame);
    // Bytes that start no frame are told at most once in a while: a client
    // sending noise cannot fill the log.
    const int dropped = client.frames.droppedBytes() - client.droppedLogged;
    if (dropped > 0 && (!client.sinceGarbageLog.isValid() || client.sinceGarbageLog.elapsed() >= kGarbageLogMs)) {
        Log("device " + link_.config().name + ": " + client.peer + ": dropped " + QString::number(dropped)
            + " bytes that start no frame");
        client.droppedLogged = client.frames.droppedBytes();
        client.sinceGarbageLog.start();
    }
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
    client.idleTimer.start(idleTimeMs_);
    ++client.inFlight;
    QTcpSocket* socket = client.socket;
    // Called only while the socket lives; the client may be gone already.
    link_.forward(client.number, frame, socket, [this, socket](const QByteArray& reply, bool last) {
        const auto at =
            std::find_if(clients_.begin(), clients_.end(), [socket](const auto& c) { return c->socket == socket; });
        if (at == clients_.end())
            return;
        Client& client = **at;
        deliver(client, reply);
        if (!last || --client.inFlight > 0)
            return;
        const QByteArray held = std::exchange(client.heldEvents, {});
        deliver(client, held);
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
            deliver(*client, message);
    }
}

// Writes to a client that reads what it is sent; one that lets it pile up
// is dropped (later, not while the list of clients is walked).
void SharedLine::deliver(Client& client, const QByteArray& bytes)
{
    client.socket->write(bytes);
    if (client.socket->bytesToWrite() + client.heldEvents.size() <= kUnreadLimit)
        return;
    QTimer::singleShot(0, this, [this, number = client.number] {
        const auto at =
            std::find_if(clients_.begin(), clients_.end(), [number](const auto& c) { return c->number == number; });
        if (at != clients_.end())
            drop(**at, "does not read what it is sent");
    });
}

}  // namespace quellixd
