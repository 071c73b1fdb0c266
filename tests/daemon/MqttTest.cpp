// SPDX-License-Identifier: GPL-3.0-or-later
// quellixd on MQTT against a real broker and the simulated 8x8: Home
// Assistant's discovery, state, commands, availability, the broker coming
// back; and the parts that need no broker: the payload parser, the log
// limit and the configuration section.
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

#include <csignal>
#include <fstream>
#include <future>
#include <random>

#include "Config.h"
#include "DaemonFixture.h"
#include "MqttFixture.h"
#include "MqttLogLimiter.h"
#include "MqttPayload.h"
#include "ProcessRunner.h"
#include "xandrel/custom/AtomicFile.h"

namespace daemontest {
namespace {

class Mqtt : public DaemonTest {
protected:
    void SetUp() override
    {
        if (!BrokerInstalled())
            GTEST_SKIP() << kBrokerProgram << " is not installed (Debian's mosquitto)";
        DaemonTest::SetUp();
        ASSERT_TRUE(broker.start());
        quellixd::MqttSettings mqtt;
        mqtt.host = "127.0.0.1";
        mqtt.port = broker.port();
        mqtt.clientId = "test";
        config.mqtt = mqtt;
        const QString folder = QString::fromStdString(::testing::TempDir()) + "quellixd-mqtt-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        config.devices.front().dataFolder = folder;
    }

    static QJsonObject Json(const std::string& payload)
    {
        return QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
    }
    std::string output(int n) { return probe->last("quellix/studio/output/" + std::to_string(n)); }
    void set(int n, const std::string& payload)
    {
        probe->publish("quellix/studio/output/" + std::to_string(n) + "/set", payload);
    }

    Broker broker;
    std::unique_ptr<Probe> probe;
};

TEST_F(Mqtt, DiscoversTheMatrixAndFollowsItBothWays)
{
    // A command kept by the broker would route again on every connection.
    probe = std::make_unique<Probe>(broker.port());
    const int seventh = device->routing()[6];
    const std::string kept = seventh == 3 ? "4" : "3";
    probe->publish("quellix/studio/output/7/set", kept, true);
    ASSERT_TRUE(eventually([&] { return probe->last("quellix/studio/output/7/set") == kept; }));  // the broker has it
    startDaemon();
    const std::string selects = "homeassistant/select/quellix_studio_output_";
    const std::string sensors = "homeassistant/binary_sensor/quellix_studio_input_";
    ASSERT_TRUE(eventually([&] { return probe->topics(selects).size() == 8 && probe->topics(sensors).size() == 8; }));
    const QJsonObject daemonConfig = Json(probe->last("homeassistant/binary_sensor/quellixd_test/config"));
    for (int n = 1; n <= 8; ++n) {
        const std::string number = std::to_string(n);
        const QJsonObject select = Json(probe->last(selects + number + "/config"));
        EXPECT_EQ(select["unique_id"], QString::fromStdString("quellix_studio_output_" + number));
        EXPECT_EQ(select["name"], QString::fromStdString("output " + number));
        EXPECT_EQ(select["state_topic"], QString::fromStdString("quellix/studio/output/" + number));
        EXPECT_EQ(select["command_topic"], QString::fromStdString("quellix/studio/output/" + number + "/set"));
        EXPECT_EQ(select["options"].toArray().size(), 8);
        EXPECT_EQ(select["availability_topic"], "quellix/studio/availability");
        EXPECT_EQ(select["device"]["identifiers"][0], "quellix_studio");
        EXPECT_EQ(select["device"]["manufacturer"], "Quellix");
        // The device Home Assistant is told it comes through exists.
        EXPECT_EQ(select["device"]["via_device"], daemonConfig["device"]["identifiers"][0]);
        const QJsonObject sensor = Json(probe->last(sensors + number + "/config"));
        EXPECT_EQ(sensor["state_topic"], QString::fromStdString("quellix/studio/input/" + number + "/signal"));
        EXPECT_EQ(sensor["device_class"], "connectivity");
    }
    ASSERT_TRUE(eventually([&] { return probe->last("quellix/studio/availability") == "online"; }));
    EXPECT_EQ(Json(probe->last("quellix/studio/state"))["name"], "studio");
    EXPECT_EQ(probe->last("quellix/studio/input/1/signal"), device->signals()[0] ? "ON" : "OFF");

    // Routing by number and by label, and from the front panel.
    set(3, "5");
    ASSERT_TRUE(eventually([&] { return device->routing()[2] == 5 && output(3) == "input 5"; })) << output(3);
    set(4, " INPUT 2 ");
    ASSERT_TRUE(eventually([&] { return device->routing()[3] == 2 && output(4) == "input 2"; }));
    device->command("route 6 7");
    ASSERT_TRUE(eventually([&] { return output(6) == "input 7"; }));

    // Payloads that name no input and a locked output change nothing; each refused output has its true state published
    // again. A later command on another output is the fence.
    ASSERT_EQ(http("PUT", "/api/devices/studio/locks", R"({"5": true})").status, 200);
    const Bytes before = device->routing();
    const int heard = probe->count("quellix/studio/output/1");
    std::string garbage(10 * 1024, '\0');
    std::mt19937 random(7);
    for (char& byte : garbage)
        byte = static_cast<char>(random());
    for (const std::string& bad : {std::string("9"), std::string("input nine"), std::string("0"), garbage})
        set(1, bad);
    set(5, before[4] == 1 ? "2" : "1");
    set(2, before[1] == 8 ? "7" : "8");
    ASSERT_TRUE(eventually([&] { return device->routing()[1] != before[1]; }));
    Bytes expected = before;
    expected[1] = device->routing()[1];
    EXPECT_EQ(device->routing(), expected);
    EXPECT_EQ(device->routing()[6], seventh);
    EXPECT_TRUE(eventually([&] { return probe->count("quellix/studio/output/1") >= heard + 4; }));
    probe->publish("quellix/studio/output/7/set", "", true);
    ASSERT_EQ(http("PUT", "/api/devices/studio/locks", R"({"5": false})").status, 200);

    // Presets and names made through HTTP reach the discovery; a preset and
    // a renamed input recall and route.
    ASSERT_EQ(http("PUT", "/api/devices/studio/presets/Lecture", R"({"routing": [8, 7, 6, 5, 4, 3, 2, 1]})").status,
              201);
    ASSERT_TRUE(eventually([&] {
        return Json(probe->last("homeassistant/select/quellix_studio_presets/config"))["options"]
            == QJsonArray{"Lecture"};
    }));
    EXPECT_EQ(probe->last("quellix/studio/presets"), R"([{"name":"Lecture","routing":[8,7,6,5,4,3,2,1]}])");
    probe->publish("quellix/studio/preset/set", "Lecture");
    ASSERT_TRUE(eventually([&] { return probe->last("quellix/studio/preset") == "Lecture"; }));
    EXPECT_EQ(device->routing(), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
    ASSERT_EQ(http("PUT", "/api/devices/studio/names", R"({"inputs": {"2": "Camera"}, "outputs": {"3": "Projector"}})")
                  .status,
              200);
    ASSERT_TRUE(eventually([&] { return Json(probe->last(selects + "3/config"))["name"] == "Projector"; }));
    EXPECT_EQ(Json(probe->last(selects + "3/config"))["options"][1], "Camera");
    set(3, "Camera");
    ASSERT_TRUE(eventually([&] { return output(3) == "Camera" && device->routing()[2] == 2; }));

    // A preset that quellix-cli saves in the data folder, past the API.
    const auto saved =
        testsupport::RunProcess(QUELLIX_CLI,
                                {"--port", lineAddress(), "--model", "8x8", "--data",
                                 config.devices.front().dataFolder.toStdString(), "preset", "save", "Evening"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    EXPECT_TRUE(eventually([&] {
        return Json(probe->last("homeassistant/select/quellix_studio_presets/config"))["options"].toArray().size() == 2;
    }));

    // Home Assistant coming back gets the configurations again.
    const int configs = probe->count(selects + "1/config");
    probe->publish("homeassistant/status", "online");
    EXPECT_TRUE(eventually([&] { return probe->count(selects + "1/config") > configs; }));
}

TEST_F(Mqtt, AvailabilityFollowsTheDeviceAndTheBroker)
{
    startDaemon();
    probe = std::make_unique<Probe>(broker.port());
    ASSERT_TRUE(eventually([&] { return probe->last("quellix/studio/availability") == "online"; }));
    Faults silent;
    silent.dropAcknowledge = true;
    device->setFaults(silent);
    // The daemon listens for event messages: the next exchange, this route,
    // finds the device silent.
    const int heard = probe->count("quellix/studio/output/1");
    set(1, device->routing()[0] == 2 ? "3" : "2");
    ASSERT_TRUE(eventually([&] { return probe->last("quellix/studio/availability") == "offline"; }));
    EXPECT_TRUE(eventually([&] { return probe->count("quellix/studio/output/1") > heard; }));  // its true state
    device->setFaults({});
    ASSERT_TRUE(eventually([&] { return probe->last("quellix/studio/availability") == "online"; }));

    // A broker that keeps nothing comes back: the daemon connects again
    // (1 s, then 2 s ... after it went) and publishes everything again.
    broker.stop();
    probe->forget();
    ASSERT_TRUE(broker.start(broker.port()));
    EXPECT_TRUE(Within(30, [&] {
        return probe->topics("homeassistant/select/quellix_studio_output_").size() == 8
            && probe->last("quellix/studio/availability") == "online" && probe->last("quellix/status") == "online";
    }));
}

std::string Contents(const std::string& path)
{
    std::string bytes, error;
    xandrel::ReadFileBytes(path, bytes, error);
    return bytes;
}

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// quellixd as a program: a flood of bad commands logs a few lines, a device
// that leaves the configuration clears its retained topics, and the will
// tells of a killed daemon.
TEST(MqttProgram, FloodRemovalAndLastWill)
{
    if (!BrokerInstalled())
        GTEST_SKIP() << kBrokerProgram << " is not installed (Debian's mosquitto)";
    Broker broker;
    ASSERT_TRUE(broker.start());
    SimOptions options;
    options.model = xandrel::FindModel("INFOHDMIMATRIX0001_8_8");
    options.tcp = true;
    options.log = [](const std::string&) {};
    std::string error;
    auto first = SimulatedDevice::Start(options, error), second = SimulatedDevice::Start(options, error);
    ASSERT_TRUE(first && second) << error;
    const std::string base = ::testing::TempDir() + "quellixd-mqtt-program-";
    const std::string config = base + "conf", pid = base + "pid", out = base + "out";
    const auto writeConfig = [&](bool both) {
        std::ofstream(config) << R"({"http_port": 0, "poll_ms": 200, "mqtt": {"host": "127.0.0.1", "port": )"
                              << broker.port() << R"(, "client_id": "program"}, "devices": [{"name": "a", "port": ")"
                              << first->address() << R"(", "model": "8x8", "line_port": 0})"
                              << (both ? R"(, {"name": "b", "port": ")" + second->address()
                                          + R"(", "model": "8x8", "line_port": 0})"
                                       : "")
                              << "]}";
    };
    writeConfig(true);
    std::remove(pid.c_str());
    const std::string shell = "echo $$ >'" + pid + "'; exec \"$0\" \"$@\" >'" + out + "' 2>&1";
    auto run = std::async(std::launch::async, [&] {
        return testsupport::RunProcess("sh", {"-c", shell, QUELLIXD, "--config", config});
    });
    Probe probe(broker.port());
    ASSERT_TRUE(Within(10, [&] {
        return probe.last("quellix/a/availability") == "online" && probe.last("quellix/b/availability") == "online";
    })) << Contents(out);
    const int process = std::atoi(Contents(pid).c_str());
    ASSERT_GT(process, 0);

    const std::string garbage(10 * 1024, '#');
    for (int k = 0; k < 200; ++k)
        probe.publish("quellix/a/output/1/set", garbage);
    const int input = first->routing()[1] == 4 ? 5 : 4;
    probe.publish("quellix/a/output/2/set", std::to_string(input));
    ASSERT_TRUE(Within(10, [&] { return first->routing()[1] == input; }));
    EXPECT_LE(Occurrences(Contents(out), "names no input"), 5u) << Contents(out);

    writeConfig(false);
    ::kill(process, SIGHUP);
    EXPECT_TRUE(Within(10, [&] {
        return probe.last("homeassistant/select/quellix_b_output_1/config").empty()
            && probe.last("quellix/b/availability").empty() && probe.topics("quellix/b/").empty();
    })) << Contents(out);

    ::kill(process, SIGKILL);
    EXPECT_EQ(run.get().exitCode, 128 + SIGKILL);
    EXPECT_TRUE(Within(10, [&] {
        return probe.last("quellix/a/availability") == "offline" && probe.last("quellix/status") == "offline";
    }));
}

TEST(MqttParts, PayloadsLabelsAndTheLogLimit)
{
    using quellixd::ParseChoice;
    const std::vector<std::string> labels = quellixd::DistinctLabels({"Camera", "", "Camera", "3", "input 5"}, "input");
    EXPECT_EQ(labels, (std::vector<std::string>{"Camera (1)", "input 2", "Camera (3)", "3", "input 5"}));
    const struct {
        std::string payload;
        bool numbers;
        int index;
    } cases[] = {
        {"2", true, 2},       {" 5\n", true, 5},       {"3", true, 4},  // a label first
        {"INPUT 5", true, 5}, {"Camera (3)", true, 3}, {"9", true, 0},
        {"0", true, 0},       {"0002", true, 0},       {"input nine", true, 0},
        {"", true, 0},        {"2", false, 0},         {std::string(300, 'a'), true, 0},
    };
    for (const auto& c : cases) {
        const quellixd::MqttChoice choice = ParseChoice(c.payload, labels, c.numbers);
        EXPECT_EQ(choice.index, c.index) << c.payload;
        EXPECT_EQ(choice.error.empty(), c.index != 0) << c.payload;
    }
    EXPECT_EQ(quellixd::PayloadPreview(std::string("a\nb\\") + std::string(50, 'x')),
              "a\\x0Ab\\x5C" + std::string(36, 'x') + "...");

    quellixd::MqttLogLimiter limiter(2, 1000);
    EXPECT_EQ(limiter.pass("one", 0), "one");
    EXPECT_EQ(limiter.pass("two", 10), "two");
    EXPECT_EQ(limiter.pass("three", 20), "");
    EXPECT_EQ(limiter.pass("four", 30), "");
    EXPECT_EQ(limiter.pass("five", 1000), "five (and 2 more like it not logged)");
}

TEST(MqttParts, ConfigurationSection)
{
    const std::string missing = ::testing::TempDir() + "no-such-file";
    const std::string device = R"(, "devices": [{"name": "a.b", "port": "tcp://127.0.0.1:1", "model": "8x8",
                                   "line_port": 0}]})";
    const auto parse = [&](const std::string& mqtt, quellixd::DaemonConfig& config, QString& error) {
        return quellixd::ParseConfig(QByteArray::fromStdString(R"({"mqtt": )" + mqtt + device), config, error);
    };
    quellixd::DaemonConfig config;
    QString error;
    ASSERT_TRUE(parse(R"({"host": "broker.local"})", config, error)) << error.toStdString();
    ASSERT_TRUE(config.mqtt);
    EXPECT_EQ(config.mqtt->port, 1883);
    EXPECT_EQ(config.mqtt->baseTopic, "quellix");
    EXPECT_EQ(config.mqtt->discoveryPrefix, "homeassistant");
    EXPECT_TRUE(config.mqtt->clientId.startsWith("quellixd-"));
    ASSERT_TRUE(parse(R"({"host": "h", "tls": {}, "protocol": "3.1.1", "base_topic": "site/av"})", config, error));
    EXPECT_EQ(config.mqtt->port, 8883);
    EXPECT_EQ(config.mqtt->protocol, quellixd::MqttProtocol::V311);

    const std::pair<std::string, std::string> refused[] = {
        {R"({})", "\"host\" is missing"},
        {R"({"host": "h", "qos": 1})", "unknown key \"qos\""},
        {R"({"host": "h", "port": "1883"})", "\"port\" must be a whole number"},
        {R"({"host": "h", "password": "p"})", "needs a \"username\""},
        {R"({"host": "h", "username": "u", "password": "p", "password_file": "f"})", "not both"},
        {R"({"host": "h", "username": "u", "password_file": ")" + missing + "\"}", "\"password_file\""},
        {R"({"host": "h", "tls": {"ca_file": ")" + missing + "\"}}", "\"ca_file\""},
        {R"({"host": "h", "tls": {"cert_file": "c"}})", "go together"},
        {R"({"host": "h", "base_topic": "a/#"})", "\"base_topic\""},
        {R"({"host": "h", "discovery_prefix": "ha/"})", "\"discovery_prefix\""},
        {R"({"host": "h", "protocol": 5})", "\"protocol\""},
        {R"({"host": "h", "client_id": "a b"})", "\"client_id\""},
        {R"("127.0.0.1")", "must be an object"},
    };
    for (const auto& [mqtt, message] : refused) {
        EXPECT_FALSE(parse(mqtt, config, error)) << mqtt;
        EXPECT_NE(error.toStdString().find(message), std::string::npos) << mqtt << ": " << error.toStdString();
    }
}

}  // namespace
}  // namespace daemontest
