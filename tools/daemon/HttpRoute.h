// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A route of the HTTP API: method, path pattern, handler and what the
// OpenAPI description says of it. One table (HttpApi::Routes()) drives both
// the dispatch and /api/openapi.json, so they cannot disagree.
#include <QHttpServerRequest>
#include <QJsonObject>
#include <QStringList>

#include <utility>
#include <vector>

class QTcpSocket;

namespace quellixd {

class DeviceLink;
class HttpApi;

// One request as a handler gets it.
struct HttpCall {
    const QHttpServerRequest& request;
    QTcpSocket* socket;
    QStringList parameters;      // the {...} parts of the path, in order, decoded
    DeviceLink* link = nullptr;  // the device {name} names, when the path has one
    bool headOnly = false;       // HEAD: the answer's head without its body
};

struct HttpRoute {
    QHttpServerRequest::Method method;
    const char* pattern;  // "/api/devices/{name}/routing": a {part} matches one path segment
    void (HttpApi::*handle)(HttpCall& call);
    const char* summary;
    QJsonObject body;                                    // the request body's schema; empty when the request has none
    std::vector<std::pair<int, const char*>> responses;  // status and what it means

    // The parts of `segments` (the decoded path) the pattern's {...} stand
    // for, when the path matches the pattern.
    bool matches(const QStringList& segments, QStringList& parameters) const;
};

// "GET", "PUT", "POST", "DELETE" (else "OPTIONS").
QByteArray MethodName(QHttpServerRequest::Method method);

// The OpenAPI 3 description of `routes`.
QJsonObject OpenApiDocument(const std::vector<HttpRoute>& routes);

}  // namespace quellixd
