// SPDX-License-Identifier: GPL-3.0-or-later
#include "GuardedServer.h"

#include <QTcpSocket>

#include "Log.h"

namespace quellixd {

namespace {
// After a failed accept (no descriptor left) the listener rests this long.
constexpr int kResumeAfterMs = 250;
// Refused connections are told in the log at most once in this time.
constexpr int kRefusalLogMs = 10000;
}  // namespace

GuardedServer::GuardedServer(std::shared_ptr<ClientLimit> limit, QString what, SocketMaker makeSocket, QObject* parent)
    : QTcpServer(parent)
    , limit_(std::move(limit))
    , what_(std::move(what))
    , makeSocket_(std::move(makeSocket))
{
    resume_.setSingleShot(true);
    connect(&resume_, &QTimer::timeout, this, &QTcpServer::resumeAccepting);
    connect(this, &QTcpServer::acceptError, this, &GuardedServer::acceptFailed);
    refusalLog_.setSingleShot(true);
    connect(&refusalLog_, &QTimer::timeout, this, [this] {
        if (refusedSinceLog_ > 0)
            Log(what_ + ": refused " + QString::number(refusedSinceLog_) + " more connection(s) beyond "
                + QString::number(limit_->maximum()) + " clients");
        refusedSinceLog_ = 0;
    });
}

void GuardedServer::incomingConnection(qintptr descriptor)
{
    auto* socket = makeSocket_ ? makeSocket_(descriptor) : nullptr;
    if (!socket) {
        socket = new QTcpSocket;
        socket->setSocketDescriptor(descriptor);
    }
    // Owned by the listener, as Qt's own sockets are: one that is still open
    // when the listener goes is closed and freed with it.
    socket->setParent(this);
    const QHostAddress peer = socket->peerAddress();
    if (!limit_->take(peer)) {
        socket->abort();  // at once: nothing is read or held for it
        delete socket;
        if (!refusalLog_.isActive()) {
            Log(what_ + ": refused a connection from " + peer.toString() + ": "
                + (limit_->count() >= limit_->maximum() ? QString::number(limit_->maximum()) + " clients already"
                                                        : "as many clients from there as one host may have"));
            refusalLog_.start(kRefusalLogMs);
        } else {
            ++refusedSinceLog_;
        }
        return;
    }
    connect(socket, &QObject::destroyed, [limit = limit_, peer] { limit->give(peer); });
    addPendingConnection(socket);
}

// Qt stops accepting when an accept fails for want of descriptors; the
// listener takes up again once some may be free.
void GuardedServer::acceptFailed(QAbstractSocket::SocketError error)
{
    Log(what_ + ": cannot accept (" + errorString() + "); trying again in " + QString::number(kResumeAfterMs) + " ms");
    Q_UNUSED(error);
    pauseAccepting();
    resume_.start(kResumeAfterMs);
}

}  // namespace quellixd
