// SPDX-License-Identifier: GPL-3.0-or-later
// The API's one route table: every route it describes answers, and the
// README and quellixd(8) list exactly its routes.
#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>

#include <set>

#include "DaemonFixture.h"
#include "HttpApi.h"

namespace daemontest {
namespace {

class ApiRoutes : public DaemonTest { };

// "PUT /api/devices/NAME/routing", as the documents write a route.
QString Written(const QString& method, const QString& pattern)
{
    return method.toUpper() + " " + QString(pattern).replace("{name}", "NAME").replace("{preset}", "PRESET");
}

std::set<QString> DocumentedRoutes(const QString& file)
{
    QFile text(QUELLIX_SOURCE_DIR + QString("/") + file);
    EXPECT_TRUE(text.open(QIODevice::ReadOnly)) << file.toStdString();
    static const QRegularExpression kRoute(R"(^\s*(GET|PUT|POST|DELETE)\s+(/api/\S*))",
                                           QRegularExpression::MultilineOption);
    std::set<QString> routes;
    for (auto it = kRoute.globalMatch(QString::fromUtf8(text.readAll())); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        routes.insert(match.captured(1) + " " + match.captured(2));
    }
    return routes;
}

TEST_F(ApiRoutes, EveryDescribedRouteAnswers)
{
    startDaemon();
    const QJsonObject paths = http("GET", "/api/openapi.json").json()["paths"].toObject();
    int described = 0;
    for (auto path = paths.begin(); path != paths.end(); ++path) {
        const QJsonObject methods = path.value().toObject();
        for (auto method = methods.begin(); method != methods.end(); ++method) {
            ++described;
            const QByteArray target = QString(path.key()).replace("{name}", "studio").replace("{preset}", "x").toUtf8();
            const HttpReply reply = http(method.key().toUpper().toUtf8(), target, "{}");
            EXPECT_NE(reply.status, 405) << target.toStdString();
            EXPECT_FALSE(reply.status == 404 && reply.body.contains(QByteArray("no such resource")))
                << target.toStdString();
            EXPECT_TRUE(method.value().toObject()["responses"].toObject().contains(QString::number(reply.status)))
                << method.key().toStdString() << " " << target.toStdString() << " answered " << reply.status;
        }
    }
    EXPECT_EQ(described, static_cast<int>(quellixd::HttpApi::Routes().size()));
}

TEST_F(ApiRoutes, DocumentsListEveryRouteAndNoOther)
{
    std::set<QString> routes;
    for (const quellixd::HttpRoute& route : quellixd::HttpApi::Routes()) {
        const QString pattern = route.pattern;
        if (pattern.startsWith("/api/") && pattern != "/api/events")  // the socket and the panel are told in words
            routes.insert(Written(route.method == QHttpServerRequest::Method::Get        ? "GET"
                                      : route.method == QHttpServerRequest::Method::Put  ? "PUT"
                                      : route.method == QHttpServerRequest::Method::Post ? "POST"
                                                                                         : "DELETE",
                                  pattern));
    }
    for (const char* document : {"README.md", "doc/man/quellixd.8"})
        EXPECT_EQ(DocumentedRoutes(document), routes) << document;
}

}  // namespace
}  // namespace daemontest
