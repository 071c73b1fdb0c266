// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One whole HTTP/1.1 answer written on a connection of the API.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>

#include <utility>
#include <vector>

class QTcpSocket;

namespace quellixd {

using HeaderFields = std::vector<std::pair<QByteArray, QByteArray>>;

// Writes the status line, the headers and the body (only its length for a
// HEAD request), then tells the connection's gate the request is answered.
void SendReply(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body, bool headOnly,
               const HeaderFields& extra = {});
// The same with a JSON body; an undefined or null `body` sends none.
void SendJson(QTcpSocket* socket, int status, const QJsonValue& body, bool headOnly, const HeaderFields& extra = {});
// [1, 2, 3]: the numbers as a JSON list.
QJsonArray NumberArray(const std::vector<int>& values);

// {"error": message}, with "state": "unknown" when `unknown`.
QJsonObject ErrorBody(const QString& message, bool unknown = false);

}  // namespace quellixd
