// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A listener that never lets clients take the daemon down: every connection
// counts against one limit shared by all the daemon's listeners (refused at
// once beyond it, well below the descriptor limit), and a listener that could
// not accept (out of descriptors) takes up accepting again after a pause
// rather than staying dead or spinning.
#include <QTcpServer>
#include <QTimer>

#include <functional>
#include <memory>

namespace quellixd {

// Connections at once, over every listener of the daemon.
class ClientLimit {
public:
    explicit ClientLimit(int maximum)
        : maximum_(maximum)
    {
    }
    bool take()
    {
        if (count_ >= maximum_)
            return false;
        ++count_;
        return true;
    }
    void give() { --count_; }
    // A new limit: clients beyond it stay, and no new one comes until fewer.
    void setMaximum(int maximum) { maximum_ = maximum; }
    int count() const { return count_; }
    int maximum() const { return maximum_; }

private:
    int maximum_;
    int count_ = 0;
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
