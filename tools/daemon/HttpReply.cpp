// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpReply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

#include "HttpGate.h"
#include "HttpHead.h"

namespace quellixd {

void SendReply(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body, bool headOnly,
               const HeaderFields& extra)
{
    if (!socket)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + " " + ReasonPhrase(status) + "\r\n";
    if (!contentType.isEmpty())
        head += "Content-Type: " + contentType + "\r\n";
    if (status != 204)
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
    for (const auto& [name, value] : extra)
        head += name + ": " + value + "\r\n";
    socket->write(head + "\r\n" + (headOnly ? QByteArray() : body));
    socket->flush();  // on its way now: an ending daemon must not keep it
    HttpGate::Answered(socket);
}

void SendJson(QTcpSocket* socket, int status, const QJsonValue& body, bool headOnly, const HeaderFields& extra)
{
    if (body.isUndefined() || body.isNull()) {
        SendReply(socket, status, {}, {}, headOnly, extra);
        return;
    }
    const QJsonDocument document = body.isArray() ? QJsonDocument(body.toArray()) : QJsonDocument(body.toObject());
    SendReply(socket, status, "application/json", document.toJson(QJsonDocument::Compact), headOnly, extra);
}

QJsonArray NumberArray(const std::vector<int>& values)
{
    QJsonArray array;
    for (int value : values)
        array.append(value);
    return array;
}

QJsonObject ErrorBody(const QString& message, bool unknown)
{
    QJsonObject body{{"error", message}};
    if (unknown)
        body["state"] = "unknown";
    return body;
}

}  // namespace quellixd
