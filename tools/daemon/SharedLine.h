// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A device's shared line: a TCP server speaking the device's own protocol.
// Each client's bytes are cut into whole frames; a frame of the device's
// model with a good checksum joins the device's queue (others are dropped),
// and its reply goes back to that client only. Event messages go to every
// client, never between a client's frame and its answer: the device's own,
// and those the daemon makes for changes a client did not make itself. A
// frame not completed within 1 s is dropped.
// With a token, a client's first line must be "AUTH <token>\n"; a client
// that sends anything else is disconnected. A client that sends no whole
// frame for 60 s, or does not read what it is sent, is disconnected too;
// every client counts against the daemon's limit of clients.
#include <QObject>
#include <QTcpServer>

#include <memory>
#include <vector>

#include "GuardedServer.h"

namespace quellixd {

class DeviceLink;

class SharedLine : public QObject {
    Q_OBJECT
public:
    // A client that lets this much of what it is sent pile up is dropped.
    static constexpr qint64 kUnreadLimit = 64 * 1024;

    SharedLine(DeviceLink& link, QString token, std::shared_ptr<ClientLimit> limit, int idleTimeMs = 60000,
               QObject* parent = nullptr);
    ~SharedLine() override;

    bool listen(const QHostAddress& address, quint16 port, QString& error);
    quint16 port() const { return server_.serverPort(); }
    // The token new clients must give; the clients admitted stay.
    void setToken(QString token) { token_ = std::move(token); }
    // Takes no new client; the ones there are carry on.
    void stopListening() { server_.close(); }
    int clientCount() const { return static_cast<int>(clients_.size()); }

private:
    struct Client;
    void accept();
    void read(Client& client);
    void drop(Client& client, const QString& why);
    void send(Client& client, const QByteArray& frame);
    void broadcast(const QByteArray& message, quint64 except);
    void deliver(Client& client, const QByteArray& bytes);

    DeviceLink& link_;
    QString token_;
    int idleTimeMs_;
    GuardedServer server_;
    std::vector<std::unique_ptr<Client>> clients_;
    quint64 nextClient_ = 0;
};

}  // namespace quellixd
