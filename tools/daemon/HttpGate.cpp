// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpGate.h"

#include <QJsonDocument>
#include <QJsonObject>

#if defined(Q_OS_UNIX)
#include <sys/socket.h>
#endif

namespace quellixd {

namespace {

// Read from the connection at most this much at a time.
constexpr qint64 kReadChunk = 4096;
// A refused client's answer gets this long to leave before the connection goes.
constexpr int kLingerMs = 1000;

}  // namespace

HttpGate::HttpGate(qintptr descriptor, std::shared_ptr<const GatePolicy> policy, QObject* parent)
    : QTcpSocket(parent)
    , policy_(std::move(policy))
{
    setSocketDescriptor(descriptor);
    // One whole request at most waits in the socket for the server; the rest
    // stays with the system until there is room.
    setReadBufferSize(kHeadLimit + policy_->bodyLimit + kReadChunk);
    headTimer_.setSingleShot(true);
    idleTimer_.setSingleShot(true);
    connect(&headTimer_, &QTimer::timeout, this, [this] {
        refuse(408,
               "the request's head did not come whole within " + QString::number(policy_->headTimeMs / 1000) + " s");
    });
    connect(&idleTimer_, &QTimer::timeout, this, [this] { disconnectFromHost(); });
    // Connected before the HTTP server's own handler: the gate looks first.
    connect(this, &QTcpSocket::readyRead, this, &HttpGate::look);
    headTimer_.start(policy_->headTimeMs);
}

void HttpGate::Answered(QTcpSocket* socket)
{
    if (auto* gate = qobject_cast<HttpGate*>(socket))
        gate->answered();
}

// What arrived since the server last read: the server reads all it is
// given, right after the gate has looked.
void HttpGate::look()
{
    if (stage_ == Stage::Passing)
        return;
    if (stage_ == Stage::Closing) {
        readAll();  // a refused client's rest: never the server's
        return;
    }
    QByteArray fresh = peek(bytesAvailable());
    while (!fresh.isEmpty() && stage_ != Stage::Passing && stage_ != Stage::Closing) {
        if (stage_ == Stage::Head)
            takeHead(fresh);
        else if (stage_ == Stage::Body)
            takeBody(fresh);
        else
            takeChunks(fresh);
    }
}

void HttpGate::takeHead(QByteArray& fresh)
{
    if (head_.isEmpty()) {
        idleTimer_.stop();
        if (!headTimer_.isActive())
            headTimer_.start(policy_->headTimeMs);
    }
    head_ += fresh;
    fresh.clear();
    while (head_.startsWith("\r\n"))  // blank lines between requests
        head_.remove(0, 2);
    const qsizetype end = head_.indexOf("\r\n\r\n");
    if (end < 0 || end + 4 > kHeadLimit) {
        if (end >= 0 || head_.size() > kHeadLimit)
            refuse(431, "the request's head is larger than " + QString::number(kHeadLimit / 1024) + " KiB");
        return;
    }
    HttpHead head;
    QString error;
    if (!ParseHead(head_.left(end), head, error)) {
        refuse(400, error);
        return;
    }
    const HeadVerdict verdict = JudgeHead(head, *policy_);
    if (verdict.status != 0) {
        refuse(verdict.status, verdict.why);
        return;
    }
    headTimer_.stop();
    fresh = head_.mid(end + 4);
    head_.clear();
    closeAfter_.push_back(verdict.closeAfter);
    if (verdict.webSocket) {
        stage_ = Stage::Passing;
        return;
    }
    if (verdict.expectContinue)
        write("HTTP/1.1 100 Continue\r\n\r\n");
    if (verdict.body < 0) {
        chunks_ = ChunkReader();
        stage_ = Stage::Chunks;
    } else if (verdict.body > 0) {
        bodyLeft_ = verdict.body;
        stage_ = Stage::Body;
    } else {
        requestDone();
    }
}

void HttpGate::takeBody(QByteArray& fresh)
{
    const qint64 part = std::min<qint64>(bodyLeft_, fresh.size());
    fresh.remove(0, part);
    bodyLeft_ -= part;
    if (bodyLeft_ == 0)
        requestDone();
}

void HttpGate::takeChunks(QByteArray& fresh)
{
    const qsizetype part = chunks_.take(fresh);
    if (chunks_.failed()) {
        refuse(400, "a chunked body that is not one");
        return;
    }
    if (chunks_.carried() > policy_->bodyLimit) {
        refuse(413, "the body is larger than " + QString::number(policy_->bodyLimit / 1024) + " KiB");
        return;
    }
    fresh.remove(0, part);
    if (chunks_.done())
        requestDone();
}

void HttpGate::requestDone()
{
    stage_ = Stage::Head;
}

void HttpGate::answered()
{
    if (closeAfter_.empty())
        return;
    const bool close = closeAfter_.front();
    closeAfter_.pop_front();
    if (close) {
        stage_ = Stage::Closing;
        disconnectFromHost();
    } else if (closeAfter_.empty() && head_.isEmpty()) {
        idleTimer_.start(policy_->idleTimeMs);
    }
}

void HttpGate::refuse(int status, const QString& why)
{
    stage_ = Stage::Closing;
    headTimer_.stop();
    idleTimer_.stop();
    head_.clear();
    readAll();  // the rest of the request: never the server's
    const QByteArray body = QJsonDocument(QJsonObject{{"error", why}}).toJson(QJsonDocument::Compact);
    write(QByteArray("HTTP/1.1 ") + QByteArray::number(status) + " " + ReasonPhrase(status)
          + "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size())
          + "\r\nConnection: close\r\n\r\n" + body);
    flush();
#if defined(Q_OS_UNIX)
    // The answer leaves, then the sending side closes; what the client still
    // sends is read and dropped a moment, so the answer is not lost to a reset.
    if (bytesToWrite() == 0)
        ::shutdown(static_cast<int>(socketDescriptor()), SHUT_WR);
    else
        connect(this, &QTcpSocket::bytesWritten, this, [this] {
            if (bytesToWrite() == 0)
                ::shutdown(static_cast<int>(socketDescriptor()), SHUT_WR);
        });
    QTimer::singleShot(kLingerMs, this, [this] { abort(); });
#else
    disconnectFromHost();
#endif
}

}  // namespace quellixd
