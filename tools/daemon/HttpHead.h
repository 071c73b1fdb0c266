// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The head of an HTTP request as the daemon's gate judges it, before any of
// its body is read: what it asks for, and whether this daemon may answer it.
#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace quellixd {

// What a request may be, from the daemon's configuration.
struct GatePolicy {
    QString token;
    QHostAddress listen;
    QStringList allowedOrigins;
    QStringList serverNames;
    qint64 bodyLimit = 64 * 1024;
    int headTimeMs = 10000;  // a request's head comes whole within this long of its first byte
    int idleTimeMs = 60000;  // a connection with no request for this long is closed
};

struct HttpHead {
    QByteArray method;
    QByteArray target;                                      // path and query as sent
    QByteArray version;                                     // "HTTP/1.1"
    std::vector<std::pair<QByteArray, QByteArray>> fields;  // names in lower case, values trimmed

    // Every value of the field `name` (lower case).
    std::vector<QByteArray> values(const QByteArray& name) const;
    QByteArray value(const QByteArray& name) const;
};

// The head in `bytes` (up to and without the blank line); false with
// `error` when it is not an HTTP/1.x request head.
bool ParseHead(const QByteArray& bytes, HttpHead& head, QString& error);

// What the gate does with a head.
struct HeadVerdict {
    int status = 0;   // 0: let it through; else the refusal's status
    QString why;      // the refusal's reason
    qint64 body = 0;  // body bytes that follow; -1: chunked
    bool expectContinue = false;
    bool closeAfter = false;  // HTTP/1.0 without keep-alive, or "Connection: close"
    bool webSocket = false;   // an upgrade to the event socket
};

HeadVerdict JudgeHead(const HttpHead& head, const GatePolicy& policy);

// The reason phrase of a status: 404 -> "Not Found".
const char* ReasonPhrase(int status);

// True when `given` is the token: compared in time that does not depend on
// where they differ.
bool TokenMatches(const QString& given, const QString& token);

// Reads a chunked body as it arrives, counting what it carries.
class ChunkReader {
public:
    // Takes bytes of the body's framing and data; returns how many of them
    // belong to the body (the rest is the next request).
    qsizetype take(const QByteArray& bytes);
    bool done() const { return stage_ == Stage::Done; }
    bool failed() const { return stage_ == Stage::Failed; }
    qint64 carried() const { return carried_; }

private:
    enum class Stage {
        Size,
        Data,
        DataEnd,
        Trailer,
        Done,
        Failed
    };
    Stage stage_ = Stage::Size;
    QByteArray line_;
    qint64 left_ = 0;
    qint64 carried_ = 0;
};

}  // namespace quellixd
