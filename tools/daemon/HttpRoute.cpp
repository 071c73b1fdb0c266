// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpRoute.h"

#include <QJsonArray>
#include <QRegularExpression>

namespace quellixd {

QByteArray MethodName(QHttpServerRequest::Method method)
{
    using Method = QHttpServerRequest::Method;
    switch (method) {
    case Method::Get: return "GET";
    case Method::Put: return "PUT";
    case Method::Post: return "POST";
    case Method::Delete: return "DELETE";
    default: return "OPTIONS";
    }
}

namespace {

QJsonObject ErrorResponse(const char* description)
{
    return {{"description", description},
            {"content",
             QJsonObject{
                 {"application/json", QJsonObject{{"schema", QJsonObject{{"$ref", "#/components/schemas/Error"}}}}}}}};
}

QJsonObject Responses(const HttpRoute& route)
{
    QJsonObject responses;
    for (const auto& [status, description] : route.responses) {
        const QString code = QString::number(status);
        if (status >= 400)
            responses[code] = ErrorResponse(description);
        else if (status == 204 || status == 101)
            responses[code] = QJsonObject{{"description", description}};
        else
            responses[code] = QJsonObject{{"description", description},
                                          {"content", QJsonObject{{"application/json", QJsonObject{}}}}};
    }
    return responses;
}

QJsonArray PathParameters(const QString& pattern)
{
    static const QRegularExpression kPart(R"(\{(\w+)\})");
    QJsonArray parameters;
    for (auto it = kPart.globalMatch(pattern); it.hasNext();) {
        const QString name = it.next().captured(1);
        parameters.append(QJsonObject{
            {"name", name},
            {"in", "path"},
            {"required", true},
            {"description", name == "name" ? "the device's name in the configuration" : "the preset's name"},
            {"schema", QJsonObject{{"type", "string"}}}});
    }
    return parameters;
}

}  // namespace

bool HttpRoute::matches(const QStringList& segments, QStringList& parameters) const
{
    const QStringList parts = QString(pattern).split('/', Qt::SkipEmptyParts);
    if (parts.size() != segments.size())
        return false;
    QStringList found;
    for (qsizetype k = 0; k < parts.size(); ++k) {
        if (parts[k].startsWith('{'))
            found.append(segments[k]);
        else if (parts[k] != segments[k])
            return false;
    }
    parameters = found;
    return true;
}

QJsonObject OpenApiDocument(const std::vector<HttpRoute>& routes)
{
    QJsonObject paths;
    for (const HttpRoute& route : routes) {
        QJsonObject operation{{"summary", route.summary}, {"responses", Responses(route)}};
        if (const QJsonArray parameters = PathParameters(route.pattern); !parameters.isEmpty())
            operation["parameters"] = parameters;
        if (!route.body.isEmpty())
            operation["requestBody"] =
                QJsonObject{{"required", true},
                            {"content", QJsonObject{{"application/json", QJsonObject{{"schema", route.body}}}}}};
        QJsonObject path = paths.value(route.pattern).toObject();
        path[QString::fromLatin1(MethodName(route.method).toLower())] = operation;
        paths[route.pattern] = path;
    }
    const QJsonObject error{
        {"type", "object"},
        {"properties",
         QJsonObject{{"error", QJsonObject{{"type", "string"}}}, {"state", QJsonObject{{"type", "string"}}}}}};
    return {{"openapi", "3.0.3"},
            {"info", QJsonObject{{"title", "quellixd"}, {"version", QUELLIX_VERSION}}},
            {"paths", paths},
            {"components",
             QJsonObject{
                 {"schemas", QJsonObject{{"Error", error}}},
                 {"securitySchemes", QJsonObject{{"bearer", QJsonObject{{"type", "http"}, {"scheme", "bearer"}}}}}}}};
}

}  // namespace quellixd
