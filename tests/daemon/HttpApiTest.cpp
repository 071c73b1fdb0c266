// SPDX-License-Identifier: GPL-3.0-or-later
// The HTTP API and the event WebSocket against a simulated device.
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>
#include <QWebSocket>

#include <filesystem>

#include "DaemonFixture.h"
#include "xandrel/custom/AtomicFile.h"
#include "xandrel/custom/PresetFile.h"

namespace daemontest {
namespace {

class HttpApi : public DaemonTest {
protected:
    // A data folder with one preset for the simulated device.
    void withPreset(const std::vector<int>& routing)
    {
        const std::string folder =
            ::testing::TempDir() + "quellixd-data-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder + "/data");
        xandrel::PresetBook book;
        book.put({model}, {"Lecture", routing});
        std::string error;
        ASSERT_TRUE(book.Save(xandrel::PresetFilePath(folder), error)) << error;
        config.devices.front().dataFolder = QString::fromStdString(folder);
    }

    QJsonObject studio() { return http("GET", "/api/devices/studio").json().object(); }
    bool online() { return studio()["connection"] == "online"; }
};

TEST_F(HttpApi, DescribesDevices)
{
    withPreset({8, 7, 6, 5, 4, 3, 2, 1});
    startDaemon();
    ASSERT_TRUE(eventually([&] { return online(); }));
    const HttpReply list = http("GET", "/api/devices");
    ASSERT_EQ(list.status, 200);
    ASSERT_EQ(list.json().array().size(), 1);
    EXPECT_EQ(list.json().array()[0].toObject()["name"], "studio");
    EXPECT_EQ(list.json().array()[0].toObject()["line_port"], daemon->linePort);

    const QJsonObject one = studio();
    EXPECT_EQ(one["model"], model);
    EXPECT_EQ(one["id"], 255);
    EXPECT_EQ(one["routing"].toArray().size(), 8);
    EXPECT_EQ(one["signals"].toArray().size(), 8);
    EXPECT_EQ(one["names"]["inputs"].toArray().size(), 8);
    ASSERT_EQ(one["presets"].toArray().size(), 1);
    EXPECT_EQ(one["presets"][0]["name"], "Lecture");

    const QJsonObject api = http("GET", "/api/openapi.json").json().object();
    for (const char* path : {"/api/devices", "/api/devices/{name}", "/api/devices/{name}/routing",
                             "/api/devices/{name}/presets/{preset}/recall", "/api/devices/{name}/edid/inputs"})
        EXPECT_TRUE(api["paths"].toObject().contains(path)) << path;
}

TEST_F(HttpApi, RoutesOutputsTablesAndPresets)
{
    withPreset({8, 7, 6, 5, 4, 3, 2, 1});
    startDaemon();
    HttpReply reply = http("PUT", "/api/devices/studio/routing", R"({"3": 5})");
    ASSERT_EQ(reply.status, 200) << reply.body.toStdString();
    EXPECT_EQ(device->routing()[2], 5);
    EXPECT_EQ(reply.json()["routing"][2], 5);

    reply = http("PUT", "/api/devices/studio/routing", "[2, 2, 2, 2, 3, 3, 3, 3]");
    ASSERT_EQ(reply.status, 200) << reply.body.toStdString();
    EXPECT_EQ(device->routing(), (Bytes{2, 2, 2, 2, 3, 3, 3, 3}));

    reply = http("POST", "/api/devices/studio/presets/Lecture/recall");
    ASSERT_EQ(reply.status, 200) << reply.body.toStdString();
    EXPECT_EQ(device->routing(), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST_F(HttpApi, RefusesWhatItCannotDo)
{
    startDaemon();
    struct Case {
        QByteArray method, path, body;
        int status;
    };
    const Case cases[] = {
        {"GET", "/api/devices/nobody", {}, 404},
        {"GET", "/api/nothing", {}, 404},
        {"POST", "/api/devices", {}, 405},
        {"PUT", "/api/devices/studio/routing", "{\"3\": ", 400},
        {"PUT", "/api/devices/studio/routing", R"({"9": 1})", 400},
        {"PUT", "/api/devices/studio/routing", R"({"1": 0})", 400},
        {"PUT", "/api/devices/studio/routing", R"({"1": "2"})", 400},
        {"PUT", "/api/devices/studio/routing", R"({"2": 1e300})", 400},
        {"PUT", "/api/devices/studio/routing", "[1, 2, 3]", 400},
        {"PUT", "/api/devices/studio/routing", "{}", 400},
        {"PUT", "/api/devices/studio/routing", QByteArray(70 * 1024, ' '), 413},
        {"POST", "/api/devices/studio/presets/none/recall", {}, 404},
    };
    for (const Case& c : cases) {
        const HttpReply reply = http(c.method, c.path, c.body);
        EXPECT_EQ(reply.status, c.status) << c.method.toStdString() << " " << c.path.toStdString();
        EXPECT_TRUE(reply.json()["error"].isString()) << c.path.toStdString();
    }
    EXPECT_EQ(device->routing(), Bytes(8, 1));
}

// A locked output stays on its input whoever routes: HTTP is refused, a
// line client's whole table keeps it, a recall leaves it; the locks are
// kept in the data folder.
TEST_F(HttpApi, LockedOutputsStayForEveryClient)
{
    withPreset({8, 8, 8, 8, 8, 8, 8, 8});
    startDaemon();
    ASSERT_EQ(http("PUT", "/api/devices/studio/locks", R"({"3": true})").status, 200);
    EXPECT_EQ(studio()["locks"], QJsonArray({3}));
    EXPECT_EQ(http("PUT", "/api/devices/studio/routing", R"({"3": 5})").status, 423);
    EXPECT_EQ(http("PUT", "/api/devices/studio/routing", R"({"1": 2})").status, 200);
    LineClient line(lineAddress());
    BYTE sevens[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    line.model->DEVMA_SetVideoOutputChannel(sevens);
    EXPECT_EQ(device->routing(), (Bytes{7, 7, 1, 7, 7, 7, 7, 7}));
    EXPECT_EQ(http("POST", "/api/devices/studio/presets/Lecture/recall").status, 200);
    EXPECT_EQ(device->routing(), (Bytes{8, 8, 1, 8, 8, 8, 8, 8}));
    std::string text, error;
    xandrel::ReadFileBytes(config.devices.front().dataFolder.toStdString() + "/locks.json", text, error);
    EXPECT_NE(text.find("3"), std::string::npos) << error;
}

TEST_F(HttpApi, RoutingTheDeviceDoesNotFollowIsAConflict)
{
    startDevice(0, Faults{.ignoreRouting = true});
    config.devices.front().port = device->address();
    startDaemon();
    const HttpReply reply = http("PUT", "/api/devices/studio/routing", R"({"2": 7})");
    EXPECT_EQ(reply.status, 409);
    EXPECT_NE(reply.json()["error"].toString().indexOf("output 2"), -1) << reply.body.toStdString();
}

TEST_F(HttpApi, OfflineDeviceIsUnavailable)
{
    const uint16_t port = static_cast<uint16_t>(std::stoi(device->address().substr(device->address().rfind(':') + 1)));
    device.reset();  // nobody listens there now
    config.devices.front().port = "tcp://127.0.0.1:" + std::to_string(port);
    startDaemon();
    ASSERT_TRUE(eventually([&] { return studio()["connection"] == "offline"; }));
    EXPECT_TRUE(eventually([&] { return studio()["retry_ms"].toInt() > 0; }));
    EXPECT_EQ(http("PUT", "/api/devices/studio/routing", R"({"2": 7})").status, 503);
    EXPECT_EQ(http("GET", "/api/devices/studio/edid/inputs").status, 503);
}

TEST_F(HttpApi, ReadsInputManufacturers)
{
    startDaemon();
    const HttpReply reply = http("GET", "/api/devices/studio/edid/inputs");
    ASSERT_EQ(reply.status, 200) << reply.body.toStdString();
    const QJsonArray inputs = reply.json()["inputs"].toArray();
    ASSERT_EQ(inputs.size(), 8);
    EXPECT_EQ(inputs[0]["product"], "0101");
    EXPECT_EQ(inputs[0]["manufacturer"].toString().size(), 3);
}

TEST_F(HttpApi, TokenGuardsRequestsAndEvents)
{
    config.token = "s3cret-for-the-line";
    startDaemon();
    EXPECT_EQ(http("GET", "/api/devices").status, 401);
    EXPECT_EQ(http("GET", "/api/devices", {}, "Authorization: Bearer wrong\r\n").status, 401);
    EXPECT_EQ(http("GET", "/api/devices", {}, "Authorization: Bearer s3cret-for-the-line\r\n").status, 200);
    EXPECT_EQ(http("GET", "/api/devices?token=s3cret-for-the-line").status, 401)
        << "only the event socket takes ?token=";
    // The panel's page holds no device data: it loads without the token.
    const HttpReply panel = http("GET", "/");
    EXPECT_EQ(panel.status, 200);
    EXPECT_NE(panel.body.indexOf("/api/events"), -1);

    QWebSocket socket;
    QEventLoop loop;
    bool closed = false;
    QObject::connect(&socket, &QWebSocket::disconnected, &loop, [&] {
        closed = true;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    socket.open(QUrl("ws://127.0.0.1:" + QString::number(daemon->httpPort) + "/api/events"));
    loop.exec();
    EXPECT_TRUE(closed);
}

// The socket tells where each device stands, then every change: a routing
// the API sent and one made at the device's front panel.
TEST_F(HttpApi, EventSocketPushesChanges)
{
    startDaemon();
    ASSERT_TRUE(eventually([&] { return online(); }));
    QWebSocket socket;
    std::vector<QJsonObject> messages;
    QEventLoop loop;
    QObject::connect(&socket, &QWebSocket::textMessageReceived, &loop, [&](const QString& text) {
        messages.push_back(QJsonDocument::fromJson(text.toUtf8()).object());
        loop.quit();
    });
    const auto routingWith = [&](int output, int input) {
        for (int waits = 0; waits < 50; ++waits) {
            for (const QJsonObject& m : messages)
                if (m["type"] == "routing" && m["routing"][output - 1] == input)
                    return true;
            QTimer::singleShot(200, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return false;
    };
    socket.open(QUrl("ws://127.0.0.1:" + QString::number(daemon->httpPort) + "/api/events"));
    ASSERT_TRUE(routingWith(1, 1));
    EXPECT_EQ(messages.front()["type"], "connection");
    EXPECT_EQ(messages.front()["connection"], "online");

    auto put =
        std::async(std::launch::async, [&] { return http("PUT", "/api/devices/studio/routing", R"({"4": 6})"); });
    EXPECT_TRUE(routingWith(4, 6));
    EXPECT_EQ(put.get().status, 200);
    device->command("route 7 2");
    EXPECT_TRUE(routingWith(7, 2));
}

}  // namespace
}  // namespace daemontest
