// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpHead.h"

#include <QUrlQuery>

namespace quellixd {

namespace {

constexpr qsizetype kLongestChunkLine = 1024;
constexpr int kLongestLength = 18;  // digits of a Content-Length that fits qint64

bool IsToken(const QByteArray& word)
{
    static const QByteArray kSeparators = "()<>@,;:\\\"/[]?={} \t";
    if (word.isEmpty())
        return false;
    for (const char c : word)
        if (static_cast<unsigned char>(c) <= 32 || static_cast<unsigned char>(c) >= 127 || kSeparators.contains(c))
            return false;
    return true;
}

// The host part of a Host value: "example:8470" -> "example", "[::1]:8470" -> "::1".
QString HostName(const QByteArray& host)
{
    QString name = QString::fromLatin1(host).toLower();
    if (name.startsWith('[')) {
        const qsizetype end = name.indexOf(']');
        return end < 0 ? QString() : name.mid(1, end - 1);
    }
    const qsizetype colon = name.lastIndexOf(':');
    return colon < 0 ? name : name.left(colon);
}

bool HostAllowed(const QByteArray& host, const GatePolicy& policy)
{
    const QString name = HostName(host);
    if (name == "localhost" || policy.serverNames.contains(name, Qt::CaseInsensitive))
        return true;
    const QHostAddress address(name);
    if (address.isNull())
        return false;  // a name nobody configured: a page may have rebound it to this daemon
    const bool listensEverywhere = policy.listen == QHostAddress::Any || policy.listen == QHostAddress::AnyIPv4
        || policy.listen == QHostAddress::AnyIPv6;
    return address.isLoopback() || listensEverywhere || address.isEqual(policy.listen);
}

bool OriginAllowed(const QByteArray& origin, const QByteArray& host, const GatePolicy& policy)
{
    return origin == "http://" + host || policy.allowedOrigins.contains(QString::fromLatin1(origin));
}

// The body's length, or why the lengths given cannot be trusted.
bool BodyLength(const HttpHead& head, qint64& length, QString& why)
{
    const std::vector<QByteArray> lengths = head.values("content-length");
    const QByteArray transfer = head.value("transfer-encoding").toLower();
    if (!head.values("transfer-encoding").empty()) {
        if (!lengths.empty()) {
            why = "Content-Length beside Transfer-Encoding";
            return false;
        }
        length = -1;
        if (transfer != "chunked") {
            why = "only chunked transfer is taken";
            return false;
        }
        return true;
    }
    for (const QByteArray& value : lengths) {
        bool whole = !value.isEmpty() && value.size() <= kLongestLength && value == lengths.front();
        for (const char c : value)
            whole = whole && c >= '0' && c <= '9';
        if (!whole) {
            why = "Content-Length is not one whole number";
            return false;
        }
    }
    length = lengths.empty() ? 0 : lengths.front().toLongLong();
    return true;
}

bool Authorized(const HttpHead& head, const QString& path, const QUrlQuery& query, const GatePolicy& policy)
{
    if (policy.token.isEmpty() || path == "/" || path == "/index.html")
        return true;
    const QByteArray bearer = head.value("authorization");
    if (bearer.startsWith("Bearer ") && TokenMatches(QString::fromUtf8(bearer.mid(7)), policy.token))
        return true;
    // A browser's WebSocket cannot send a header: the event socket alone takes ?token=.
    return path == "/api/events" && TokenMatches(query.queryItemValue("token"), policy.token);
}

bool IsJson(const QByteArray& contentType)
{
    return contentType.split(';').front().trimmed().toLower() == "application/json";
}

HeadVerdict Refuse(int status, const QString& why)
{
    HeadVerdict verdict;
    verdict.status = status;
    verdict.why = why;
    verdict.closeAfter = true;
    return verdict;
}

}  // namespace

std::vector<QByteArray> HttpHead::values(const QByteArray& name) const
{
    std::vector<QByteArray> found;
    for (const auto& [field, value] : fields)
        if (field == name)
            found.push_back(value);
    return found;
}

QByteArray HttpHead::value(const QByteArray& name) const
{
    for (const auto& [field, value] : fields)
        if (field == name)
            return value;
    return {};
}

bool ParseHead(const QByteArray& bytes, HttpHead& head, QString& error)
{
    const QList<QByteArray> lines = bytes.split('\n');
    const QList<QByteArray> request = lines.front().trimmed().split(' ');
    if (request.size() != 3 || !IsToken(request[0]) || !request[1].startsWith('/')
        || !request[2].startsWith("HTTP/1.")) {
        error = "not an HTTP/1 request line";
        return false;
    }
    head = {request[0], request[1], request[2], {}};
    for (qsizetype k = 1; k < lines.size(); ++k) {
        const QByteArray line = lines[k].endsWith('\r') ? lines[k].chopped(1) : lines[k];
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !IsToken(line.left(colon))) {
            error = "a header line that is no \"Name: value\"";
            return false;
        }
        head.fields.emplace_back(line.left(colon).toLower(), line.mid(colon + 1).trimmed());
    }
    return true;
}

HeadVerdict JudgeHead(const HttpHead& head, const GatePolicy& policy)
{
    const bool http10 = head.version == "HTTP/1.0";
    if (!http10 && head.version != "HTTP/1.1")
        return Refuse(505, "HTTP/1.0 and 1.1 only");
    const std::vector<QByteArray> hosts = head.values("host");
    if (hosts.size() > 1 || (hosts.empty() && !http10))
        return Refuse(400, "one Host header, please");
    const QByteArray host = hosts.empty() ? QByteArray("localhost") : hosts.front();
    if (!HostAllowed(host, policy))
        return Refuse(421, "this daemon does not answer for the host \"" + QString::fromLatin1(host) + "\"");
    const QByteArray origin = head.value("origin");
    if (!head.values("origin").empty() && !OriginAllowed(origin, host, policy))
        return Refuse(403, "requests from the page of " + QString::fromLatin1(origin) + " are not taken");

    HeadVerdict verdict;
    QString why;
    if (!BodyLength(head, verdict.body, why))
        return Refuse(why.startsWith("only") ? 501 : 400, why);
    const QUrl url(QString::fromLatin1(head.target));
    if (!Authorized(head, url.path(), QUrlQuery(url), policy))
        return Refuse(401, "this daemon wants Authorization: Bearer <token>");
    if (verdict.body > policy.bodyLimit)
        return Refuse(413, "the body is larger than " + QString::number(policy.bodyLimit / 1024) + " KiB");
    const bool writes = head.method == "PUT" || head.method == "POST" || head.method == "PATCH";
    if (writes && (verdict.body != 0 || !head.values("content-type").empty()) && !IsJson(head.value("content-type")))
        return Refuse(415, "a request body is application/json");

    const QByteArray expect = head.value("expect").toLower();
    if (!expect.isEmpty() && expect != "100-continue")
        return Refuse(417, "only \"Expect: 100-continue\" is understood");
    verdict.expectContinue = !expect.isEmpty() && verdict.body != 0;
    const QByteArray connection = head.value("connection").toLower();
    verdict.closeAfter = connection.contains("close") || (http10 && !connection.contains("keep-alive"));
    verdict.webSocket = head.value("upgrade").toLower() == "websocket" && url.path() == "/api/events";
    return verdict;
}

const char* ReasonPhrase(int status)
{
    switch (status) {
    case 100: return "Continue";
    case 101: return "Switching Protocols";
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 413: return "Payload Too Large";
    case 415: return "Unsupported Media Type";
    case 417: return "Expectation Failed";
    case 421: return "Misdirected Request";
    case 423: return "Locked";
    case 431: return "Request Header Fields Too Large";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    case 505: return "HTTP Version Not Supported";
    default: return status < 400 ? "OK" : "Error";
    }
}

bool TokenMatches(const QString& given, const QString& token)
{
    const QByteArray a = given.toUtf8(), b = token.toUtf8();
    unsigned difference = a.size() == b.size() ? 0u : 1u;
    for (qsizetype k = 0; k < b.size(); ++k)
        difference |= static_cast<unsigned char>(b[k]) ^ static_cast<unsigned char>(k < a.size() ? a[k] : 0);
    return difference == 0 && !b.isEmpty();
}

qsizetype ChunkReader::take(const QByteArray& bytes)
{
    qsizetype at = 0;
    while (at < bytes.size() && stage_ != Stage::Done && stage_ != Stage::Failed) {
        if (stage_ == Stage::Data) {
            const qint64 part = std::min<qint64>(left_, bytes.size() - at);
            at += part;
            left_ -= part;
            if (left_ == 0)
                stage_ = Stage::DataEnd;
            continue;
        }
        line_ += bytes[at++];
        if (line_.size() > kLongestChunkLine) {
            stage_ = Stage::Failed;
            break;
        }
        if (!line_.endsWith("\r\n"))
            continue;
        const QByteArray line = line_.chopped(2);
        line_.clear();
        if (stage_ == Stage::DataEnd) {
            stage_ = line.isEmpty() ? Stage::Size : Stage::Failed;
        } else if (stage_ == Stage::Trailer) {
            if (line.isEmpty())
                stage_ = Stage::Done;
        } else {
            bool hex = false;
            const QByteArray size = line.split(';').front().trimmed();
            left_ = size.size() <= 15 ? size.toLongLong(&hex, 16) : 0;
            if (!hex || left_ < 0) {
                stage_ = Stage::Failed;
                break;
            }
            carried_ += left_;
            stage_ = left_ == 0 ? Stage::Trailer : Stage::Data;
        }
    }
    return at;
}

}  // namespace quellixd
