// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A listener that never lets clients take the daemon down: every connection
// counts against one limit shared by all the daemon's listeners (refused at
// once beyond it, well below the descriptor limit), and a listener that could
// not accept (out of descriptors) takes up accepting again after a pause
// rather than staying dead or spinning.
#include <QHash>
#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace quellixd {

// Connections at once, over every listener of the daemon, and from any one
// address (a quarter of them, 16 at least), so one host cannot take them all.
class ClientLimit {
public:
    explicit ClientLimit(int maximum) { setMaximum(maximum); }
    bool take(const QHostAddress& peer)
    {
        int& fromPeer = perPeer_[peer];
        if (count_ >= maximum_ || fromPeer >= perPeerMaximum_)
            return false;
        ++count_;
        ++fromPeer;
        return true;
    }
    void give(const QHostAddress& peer)
    {
        --count_;
        if (--perPeer_[peer] <= 0)
            perPeer_.remove(peer);
    }
    int count() const { return count_; }
    int maximum() const { return maximum_; }
    // A new limit: clients beyond it stay, and no new one comes until fewer.
    void setMaximum(int maximum)
    {
        maximum_ = maximum;
        perPeerMaximum_ = std::max(16, maximum / 4);
    }

private:
    int maximum_ = 0;
    int perPeerMaximum_ = 0;
    int count_ = 0;
    QHash<QHostAddress, int> perPeer_;
};

class GuardedServer : public QTcpServer {
    Q_OBJECT
public:
    // `makeSocket` makes the socket of an accepted connection (descriptor
    // already set); `what` names the listener in the log.
    using SocketMaker = std::function<QTcpSocket*(qintptr descriptor)>;
    GuardedServer(std::shared_ptr<ClientLimit> limit, QString what, SocketMaker makeSocket = {},
                  QObject* parent = nullptr);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void acceptFailed(QAbstractSocket::SocketError error);

    std::shared_ptr<ClientLimit> limit_;
    QString what_;
    SocketMaker makeSocket_;
    QTimer resume_;
    qint64 refusedSinceLog_ = 0;
    QTimer refusalLog_;
};

}  // namespace quellixd
