// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The socket of an HTTP connection, with a gate in front of the HTTP server
// that reads it: the server dispatches a request only once its head has
// passed every check, and sees its body only as far as the limits allow.
// So no client can make the daemon hold more than a few dozen KiB for it, a
// browser page of another site cannot use the API, and a half-sent request
// cannot hold a connection for ever.
//
// The gate looks at what arrives before the server reads it (its handler is
// connected first) and refuses, answering at once: a head over 16 KiB (431),
// or not complete within 10 s of its first byte (408); a request line or
// header that is not HTTP/1.x (400, 505); conflicting lengths, or a length
// beside chunked transfer (400); a body over the limit, announced or counted
// as it comes (413); a Host that is not this daemon's (421); an Origin of
// another site (403); no valid token (401); a body that is not
// application/json (415). A refused request's rest is taken away from the
// server, so it never completes there. The socket buffers at most one
// request. The gate answers "Expect: 100-continue", closes a connection
// idle for 60 s between requests, and one whose client asked the answer to
// be the last once it is given.
#include <QByteArray>
#include <QHostAddress>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <memory>

#include "HttpHead.h"

namespace quellixd {

class HttpGate : public QTcpSocket {
    Q_OBJECT
public:
    static constexpr qint64 kHeadLimit = 16 * 1024;

    HttpGate(qintptr descriptor, std::shared_ptr<const GatePolicy> policy, QObject* parent = nullptr);

    // The API answered a request of `socket`: the connection closes when the
    // client asked for that.
    static void Answered(QTcpSocket* socket);

private:
    enum class Stage {
        Head,     // a request head is coming
        Body,     // a body of known length is coming
        Chunks,   // a chunked body is coming, counted
        Passing,  // a WebSocket: no longer the gate's
        Closing,  // refused: what comes is dropped
    };

    void look();
    void take(const QByteArray& fresh);
    void takeHead(QByteArray& fresh);
    void takeBody(QByteArray& fresh);
    void takeChunks(QByteArray& fresh);
    void requestDone();
    void answered();
    void refuse(int status, const QString& why);

    std::shared_ptr<const GatePolicy> policy_;
    Stage stage_ = Stage::Head;
    QByteArray head_;  // the head coming, up to its limit
    qint64 bodyLeft_ = 0;
    ChunkReader chunks_;
    // Per request let through and not answered yet: whether the connection
    // closes after its answer.
    std::deque<bool> closeAfter_;
    QTimer headTimer_;
    QTimer idleTimer_;
};

}  // namespace quellixd
