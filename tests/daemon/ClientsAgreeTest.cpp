// SPDX-License-Identifier: GPL-3.0-or-later
// Every client of one device through the daemon sees every change and loses
// none: a line client hears of changes made through HTTP, sequences of
// different clients never undo each other, the device gets its rest between
// any two frames, and presets and names are one set for every client.
#include <QJsonArray>
#include <QJsonObject>

#include <filesystem>
#include <random>
#include <thread>

#include "DaemonFixture.h"
#include "LineProtocol.h"
#include "ProcessRunner.h"
#include "xandrel/device/ProtocolFrames.h"

namespace daemontest {
namespace {

class ClientsAgree : public DaemonTest {
protected:
    // A client of the shared line that only listens.
    struct Listener {
        QTcpSocket socket;
        QByteArray received;

        // True once a routing message puts `input` on `output`, within `ms`.
        bool hears(const xandrel::ModelSpec& spec, int output, int input, int ms)
        {
            for (int waited = 0; waited < ms; waited += 20) {
                socket.waitForReadyRead(20);
                received += socket.readAll();
                for (qsizetype at = 0; at < received.size(); ++at) {
                    const int length = xandrel::EventMessageLength(static_cast<uint8_t>(received[at]));
                    const auto event = length ? quellixd::ParseEvent(spec, received.mid(at, length)) : std::nullopt;
                    if (event && event->type == xandrel::kRoutingEvent && event->entries[output - 1] == input)
                        return true;
                }
            }
            return false;
        }
    };

    void listen(Listener& listener)
    {
        listener.socket.connectToHost("127.0.0.1", daemon->linePort);
        ASSERT_TRUE(listener.socket.waitForConnected(5000));
    }

    const xandrel::ModelSpec& spec() const { return *xandrel::FindModelByAnyName(model); }

    void withDataFolder()
    {
        folder =
            ::testing::TempDir() + "clients-agree-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(folder);
        config.devices.front().dataFolder = QString::fromStdString(folder + "/data");
    }

    bool online()
    {
        return eventually([&] { return http("GET", "/api/devices/studio").json()["connection"] == "online"; });
    }

    std::string folder;
};

TEST_F(ClientsAgree, LineClientsHearHttpChangesAndFrontPanelDuringThem)
{
    startDaemon();
    ASSERT_TRUE(online());
    Listener listener;
    listen(listener);
    ASSERT_EQ(http("PUT", "/api/devices/studio/routing", R"({"1": 8})").status, 200);
    EXPECT_TRUE(listener.hears(spec(), 1, 8, 1000));

    // A front-panel change while the daemon waits for the device's answers.
    device->setFaults(Faults{.delay = std::chrono::milliseconds(300)});
    auto put =
        std::async(std::launch::async, [&] { return http("PUT", "/api/devices/studio/routing", R"({"2": 6})"); });
    const size_t before = device->frames().size();
    ASSERT_TRUE(eventually([&] { return device->frames().size() > before; }));
    device->command("route 5 3");
    EXPECT_EQ(put.get().status, 200);
    EXPECT_TRUE(listener.hears(spec(), 5, 3, 2000));
    EXPECT_TRUE(listener.hears(spec(), 2, 6, 2000));
}

// The daemon decides from what the device has, never from its own copy.
TEST_F(ClientsAgree, TablesAndRecallsAfterFrontPanelChangesAreSent)
{
    withDataFolder();
    startDaemon();
    ASSERT_TRUE(online());
    const QByteArray table = "[1, 2, 3, 4, 5, 6, 7, 8]";
    ASSERT_EQ(http("PUT", "/api/devices/studio/routing", table).status, 200);
    ASSERT_EQ(http("PUT", "/api/devices/studio/presets/Lecture", R"({"routing": [8, 7, 6, 5, 4, 3, 2, 1]})").status,
              201);
    for (int round = 0; round < 3; ++round) {
        device->command("route 1 5");
        EXPECT_EQ(http("PUT", "/api/devices/studio/routing", table).status, 200);
        EXPECT_EQ(device->routing(), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
        device->command("route 2 5");
        EXPECT_EQ(http("POST", "/api/devices/studio/presets/Lecture/recall").status, 200);
        EXPECT_EQ(device->routing(), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
    }
}

// quellix-cli reads the routing, changes one output and writes the table back
// through the shared line while HTTP changes another: neither undoes the other.
TEST_F(ClientsAgree, CommandLineAndHttpNeverUndoEachOther)
{
    startDaemon();
    ASSERT_TRUE(online());
    std::mt19937 random(7);
    std::vector<std::string> failures;
    for (int run = 0; run < 50; ++run) {
        const int cliInput = run % 8 + 1, httpInput = (run + 3) % 8 + 1;
        auto routed = std::async(std::launch::async, [&] {
            return testsupport::RunProcess(
                QUELLIX_CLI, {"--port", lineAddress(), "--model", "8x8", "route", "3:" + std::to_string(cliInput)});
        });
        // The HTTP request starts anywhere within the program's run.
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 800));
        const HttpReply reply =
            http("PUT", "/api/devices/studio/routing", "{\"1\": " + QByteArray::number(httpInput) + "}");
        const testsupport::ProcessResult result = routed.get();
        const Bytes routing = device->routing();
        if (reply.status != 200 || result.exitCode != 0 || routing[0] != httpInput || routing[2] != cliInput)
            failures.push_back("run " + std::to_string(run) + ": HTTP " + std::to_string(reply.status) + ", CLI exit "
                               + std::to_string(result.exitCode) + " " + result.err + ", outputs 1 and 3 on "
                               + std::to_string(routing[0]) + " and " + std::to_string(routing[2]));
    }
    EXPECT_TRUE(failures.empty()) << failures.size() << " of 50, first: " << failures.front();
}

// Two clients that send their next frame the moment they have an answer:
// the device still gets its 200 ms between frames.
TEST_F(ClientsAgree, DeviceRestsBetweenAnyTwoFrames)
{
    tavrik::SetWaitFunction({});  // the daemon's real pacing (the fixture puts its own back)
    startDaemon();
    ASSERT_TRUE(online());
    const size_t before = device->frames().size();
    const auto hurry = [&] {
        QTcpSocket socket;
        socket.connectToHost("127.0.0.1", daemon->linePort);
        if (!socket.waitForConnected(5000))
            return;
        const auto reader = xandrel::CreateModel(spec());
        reader->BeginFrame(INFODEVICEMATRIXBASE::kMinFrameLength, INFODEVICEMATRIXBASE::kReadRouting);
        const std::vector<BYTE> frame = reader->PreparedFrame();
        for (int k = 0; k < 6; ++k) {
            socket.write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size()));
            QByteArray answer;
            while (answer.size() < 11 && socket.waitForReadyRead(3000))
                answer += socket.readAll();
        }
    };
    std::thread other(hurry);
    hurry();
    other.join();
    ASSERT_GE(device->frames().size(), before + 12);
    EXPECT_GE(device->shortestFrameGap().count(), 200);
}

TEST_F(ClientsAgree, PresetsAndNamesAreOneSetForEveryClient)
{
    withDataFolder();
    startDaemon();
    ASSERT_TRUE(online());
    EXPECT_EQ(http("PUT", "/api/devices/studio/presets/Lecture", R"({"routing": [8, 7, 6, 5, 4, 3, 2, 1]})").status,
              201);
    EXPECT_EQ(http("PUT", "/api/devices/studio/presets/Lecture", R"({"routing": [2, 2, 2, 2, 2, 2, 2, 2]})").status,
              200);
    EXPECT_EQ(http("PUT", "/api/devices/studio/presets/Now").status, 201);  // the routing now
    EXPECT_EQ(http("POST", "/api/devices/studio/presets/Now/rename", R"({"name": "Later"})").status, 200);
    EXPECT_EQ(http("POST", "/api/devices/studio/presets/Later/rename", R"({"name": "Lecture"})").status, 409);
    EXPECT_EQ(
        http("PUT", "/api/devices/studio/names", R"({"inputs": {"2": "Laptop"}, "outputs": {"3": "Beamer"}})").status,
        200);

    const QJsonObject studio = http("GET", "/api/devices/studio").json().object();
    EXPECT_EQ(studio["names"]["inputs"][1], "Laptop");
    EXPECT_EQ(studio["names"]["outputs"][2], "Beamer");
    const QJsonArray presets = http("GET", "/api/devices/studio/presets").json().array();
    ASSERT_EQ(presets.size(), 2);
    EXPECT_EQ(presets[0]["routing"][0], 2);
    EXPECT_EQ(presets[1]["name"], "Later");

    // The command line, through the same data folder and the shared line.
    const auto listed = testsupport::RunProcess(
        QUELLIX_CLI,
        {"--data", folder + "/data", "--port", lineAddress(), "--model", "8x8", "--json", "preset", "list"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("\"Later\""), std::string::npos) << listed.out;

    EXPECT_EQ(http("DELETE", "/api/devices/studio/presets/Later").status, 204);
    struct Case {
        QByteArray method, path, body;
        int status;
    };
    const Case refused[] = {
        {"DELETE", "/api/devices/studio/presets/Later", {}, 404},
        {"POST", "/api/devices/studio/presets/Later/recall", {}, 404},
        {"POST", "/api/devices/studio/presets/Later/rename", R"({"name": "X"})", 404},
        {"PUT", "/api/devices/studio/presets/X", R"({"routing": [1]})", 400},
        {"PUT", "/api/devices/studio/presets/X", R"({"routing": [9, 1, 1, 1, 1, 1, 1, 1]})", 400},
        {"PUT", "/api/devices/studio/presets/%20X", {}, 400},
        {"POST", "/api/devices/studio/presets/Lecture/rename", R"({"name": ""})", 400},
        {"PUT", "/api/devices/studio/names", R"({"inputs": {"9": "x"}})", 400},
        {"PUT", "/api/devices/studio/names", R"({"inputs": {"02": "x"}})", 400},
        {"PUT", "/api/devices/studio/names", R"({"outputs": {"2": ""}})", 400},
        {"PUT", "/api/devices/studio/names", R"({"colours": {}})", 400},
        {"PUT", "/api/devices/studio/routing", R"({"+3": 1})", 400},
        {"PUT", "/api/devices/studio/routing", R"({"03": 1})", 400},
    };
    for (const Case& c : refused)
        EXPECT_EQ(http(c.method, c.path, c.body).status, c.status)
            << c.method.toStdString() << " " << c.path.toStdString();
}

}  // namespace
}  // namespace daemontest
