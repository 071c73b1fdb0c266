// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-cli against the simulated device over a pseudo-terminal (and once
// over TCP): every verb, the exit codes, and every fault the device can show.
#include <filesystem>
#include <future>
#include <numeric>
#include <regex>
#include <sstream>

#include "CliFixture.h"
#include "ScriptedPeer.h"
#include "WaitUntil.h"
#include "xandrel/custom/StringTableFile.h"

using namespace clitest;
using testsupport::WaitUntil;

namespace {

// Local time with its offset from UTC, to the second and to the millisecond.
const std::string kIsoSeconds = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(Z|[+-]\d\d:\d\d))";
const std::string kIsoMilliseconds = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d))";

TEST_F(Cli, StatusPrintsRoutingAndSignals)
{
    device->command("signal 2 1");
    device->command("route 3 6");
    const ProcessResult result = run({"status"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("INFOHDMIMATRIX0001_8_8 at COM90 (" + device->address() + "), device ID 4"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("output 3: input 6"), std::string::npos);
    EXPECT_NE(result.out.find("input 2: signal"), std::string::npos);
    EXPECT_NE(result.out.find("input 1: no signal"), std::string::npos);
}

// One document per run, with the same fields in every verb: a port is
// { com, path }, com null where the port table has no number of its own.
TEST_F(Cli, JsonIsOneDocumentWithTheSameFieldsInEveryVerb)
{
    device->command("signal 2 1");
    device->command("route 3 6");
    xandrel::StringTable names = xandrel::DefaultStringTable();
    names.inputs[5] = "Camera \xFF";  // no UTF-8: still a valid document
    names.outputs[2] = "Projector";
    const std::string dataFolder = file("data");
    std::filesystem::create_directories(dataFolder);
    std::string error;
    ASSERT_TRUE(xandrel::WriteStringTableFile(names, error, dataFolder)) << error;

    const QJsonObject port{{"com", 90}, {"path", QString::fromStdString(device->address())}};
    const QJsonObject status = JsonOf(run({"--json", "status", "--data", dataFolder}).out).toObject();
    EXPECT_EQ(status["port"], port);
    EXPECT_EQ(status["model"], "INFOHDMIMATRIX0001_8_8");
    EXPECT_EQ(status["id"], 4);
    EXPECT_EQ(status["routing"], QJsonArray({1, 1, 6, 1, 1, 1, 1, 1}));
    EXPECT_EQ(status["signals"], QJsonArray({0, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(status["names"]["inputs"][5], QString::fromUtf8("Camera \uFFFD"));
    EXPECT_EQ(status["names"]["outputs"][2], "Projector");
    EXPECT_NE(run({"status"}, true, {"QUELLIX_DATA=" + dataFolder}).out.find("output 3 (Projector): input 6 (Camera"),
              std::string::npos);

    EXPECT_EQ(JsonOf(run({"--json", "id"}).out)["port"], port);
    EXPECT_EQ(JsonOf(run({"--json", "route", "1:2"}).out)["routing"], QJsonArray({2, 1, 6, 1, 1, 1, 1, 1}));
    const QJsonArray ports = JsonOf(run({"--json", "ports"}, false).out).toArray();
    EXPECT_TRUE(
        std::any_of(ports.begin(), ports.end(), [&](const QJsonValue& entry) { return entry["port"] == port; }));
    // scan finds the device without its model or ID.
    const QJsonValue scan = JsonOf(run({"--json", "scan"}).out);
    EXPECT_EQ(scan[0]["port"], port);
    EXPECT_EQ(scan[0]["devices"][0]["id"], 4);
    EXPECT_TRUE(scan[0]["devices"][0]["models"].toArray().contains("INFOHDMIMATRIX0001_4_8"));

    // A port the table does not number is named by its path alone.
    std::ofstream(portsFile, std::ios::trunc).flush();
    EXPECT_EQ(JsonOf(run({"--json", "id"}).out)["port"], QJsonObject({{"com", QJsonValue()}, {"path", port["path"]}}));
    device->command("fault no-ack");
    const ProcessResult failure = run({"--json", "id"});
    EXPECT_EQ(failure.exitCode, 1);
    const QJsonObject failed = JsonOf(failure.out)["error"].toObject();
    EXPECT_EQ(failed["code"], 1);
    EXPECT_NE(
        failed["message"].toString().toStdString().find("no valid answer from the device at " + device->address()),
        std::string::npos)
        << failure.out;
    EXPECT_EQ(failure.err.find("COM"), std::string::npos) << "no number the table does not give: " << failure.err;
}

TEST_F(Cli, ModelsListsEveryModelClass)
{
    const size_t catalog = xandrel::AllModels().size();
    const ProcessResult plain = run({"models"}, false);
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(Occurrences(plain.out, "\n"), catalog + 1) << "a heading and a line per model: " << plain.out;
    EXPECT_NE(plain.out.find("INFOVGAMATRIX_5_5         vga-5x5    5   5  VGA matrix       no     no      10  "
                             "VGA 5x5 Ports Matrix"),
              std::string::npos)
        << plain.out;

    const QJsonArray models = JsonOf(run({"models", "--json"}, false).out).toArray();
    ASSERT_EQ(models.size(), static_cast<qsizetype>(catalog));
    EXPECT_EQ(models[12].toObject(),
              QJsonObject({{"model", "INFOHDMIMATRIX0001_8_8"},
                           {"short", "8x8"},
                           {"inputs", 8},
                           {"outputs", 8},
                           {"family", "HDMI 8x8 matrix"},
                           {"events", true},
                           {"edid", true},
                           {"mode", QJsonValue()},
                           {"name", QJsonValue()}}));
}

TEST_F(Cli, RouteChangesOnlyTheOutputsNamedOrAllOfThem)
{
    device->command("route all 2");
    ProcessResult result = run({"route", "1:5", "8:3"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(device->routing(), (Bytes{5, 2, 2, 2, 2, 2, 2, 3}));
    ASSERT_EQ(run({"route", "3:5,4:1", "6:8"}).exitCode, 0);
    EXPECT_EQ(device->routing(), (Bytes{5, 2, 5, 1, 2, 8, 2, 3}));

    ASSERT_EQ(run({"route", "--all", "7"}).exitCode, 0);
    EXPECT_EQ(device->routing(), Bytes(8, 7));

    ASSERT_EQ(run({"--json", "route", "--one-to-one"}).exitCode, 0);
    EXPECT_EQ(device->routing(), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(Cli, OneToOneWrapsWhenOutputsOutnumberInputs)
{
    model = "INFOHDMIMATRIX0001_4_8";
    start(SimOptions{});
    ASSERT_EQ(run({"route", "--one-to-one"}).exitCode, 0);
    EXPECT_EQ(device->routing(), (Bytes{1, 2, 3, 4, 1, 2, 3, 4}));
}

TEST_F(Cli, DeviceIdIsReadAndSet)
{
    ProcessResult result = run({"id"});
    EXPECT_EQ(result.out, "device ID 4\n");
    result = run({"--id", "4", "id", "set", "11"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(device->deviceId(), 11);
    EXPECT_EQ(run({"--id", "4", "id"}).exitCode, 1) << "frames for ID 4 now reach nobody";
}

TEST_F(Cli, WatchPrintsFrontPanelChanges)
{
    auto watching = std::async(std::launch::async, [this] {
        return run({"watch", "--count", "2", "--interval", "100"});
    });
    // The front panel changes once watch has read the device (ID, signals,
    // routing): a message arriving earlier would be dropped by those reads.
    ASSERT_TRUE(WaitUntil([this] { return device->frames().size() >= 3; }));
    device->command("route 5 2");
    device->command("signal 3 1");
    const ProcessResult result = watching.get();
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(std::regex_match(result.out,
                                 std::regex(kIsoSeconds + " routing changed:  output 5: input 2\n" + kIsoSeconds
                                            + " signals changed:  input 3: signal\n")))
        << result.out;
}

// Messages the line lost, or sent to an ID the device no longer has, go
// unseen: a look at the whole state after a quiet spell tells what they
// carried, or that the device no longer answers at the ID watched.
TEST_F(Cli, WatchLooksAtTheWholeStateAfterAQuietSpell)
{
    startInBackground({"--trace", "watch", "--interval", "100", "--check", "300"});
    ASSERT_TRUE(waitForOutput("watching "));
    device->withMatrix([](VirtualMatrix& matrix) { matrix.frontPanelRoute(5, 2); });  // its message never leaves
    EXPECT_TRUE(waitForOutput("routing changed:  output 5: input 2"));

    device->command("id 7");
    device->command("route 6 3");
    EXPECT_TRUE(waitForOutput("the device no longer answers at ID 4; its ID may have changed"));
    // Another whole look (a read and its second try) goes unanswered.
    const auto unanswered = [this] { return Occurrences(contents(file("out")), "no acknowledgement of read"); };
    const size_t before = unanswered();
    EXPECT_TRUE(WaitUntil([&] { return unanswered() >= before + 2; }));
    device->command("id 4");
    EXPECT_TRUE(waitForOutput("routing changed:  output 6: input 3"));
    const ProcessResult result = stop(SIGTERM);
    EXPECT_EQ(result.exitCode, 0) << result.out;
    EXPECT_EQ(Occurrences(result.out, "no longer answers"), 1u) << "once while it does not answer: " << result.out;
}

// The simulator gone is a serial line whose far end closed, as when a
// device is unplugged: watch says so and waits; Ctrl+C then tells the loss.
TEST_F(Cli, WatchTellsWhenTheDeviceGoesAwayAndWaitsForIt)
{
    startInBackground({"watch", "--interval", "100", "--json"});
    ASSERT_TRUE(waitForOutput("watching "));
    device.reset();
    EXPECT_TRUE(waitForOutput("the device went away"));
    const ProcessResult result = stop(SIGINT);
    EXPECT_EQ(result.exitCode, 1) << result.out;
    // JSON Lines among the complaints: the loss with its time, then the failure.
    std::vector<QJsonValue> lines;
    std::string complaints;
    std::istringstream text(result.out);
    for (std::string line; std::getline(text, line);) {
        if (line.starts_with("{"))
            lines.push_back(JsonOf(line));
        else
            complaints += line + "\n";
    }
    EXPECT_EQ(Occurrences(complaints, "went away"), 1u) << result.out;
    ASSERT_EQ(lines.size(), 2u) << result.out;
    EXPECT_EQ(lines[0]["event"], "gone");
    EXPECT_TRUE(std::regex_match(lines[0]["time"].toString().toStdString(), std::regex(kIsoMilliseconds)));
    EXPECT_EQ(lines[1]["error"]["code"], 1);
}

// Options before or after the verb, their defaults from the environment,
// help, and every usage error: exit status 2, a message and a hint at the
// verb's help, and nothing sent. "<port>" stands for the device's address.
TEST_F(Cli, CommandLinesAreParsedConventionally)
{
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string expected;       // on stdout for success, on stderr otherwise
        std::string helpVerb = "";  // the verb whose help a usage error points at
        std::vector<std::string> environment = {};
    };
    const std::vector<Case> cases = {
        {{"status", "--json", "-p", "<port>"}, 0, "\"routing\":[1,"},
        {{"--json", "--port=<port>", "-m", "8x8", "status"}, 0, "\"routing\":[1,"},
        {{"status"}, 0, "device ID 4", "", {"QUELLIX_PORT=<port>", "QUELLIX_MODEL=8x8", "QUELLIX_ID=4"}},
        {{"--help"}, 0, "'quellix-cli help VERB' or 'quellix-cli VERB --help' tells more"},
        {{"help", "route"}, 0, "usage: quellix-cli [OPTIONS] route OUT:IN[,OUT:IN]...\n"},
        {{"route", "-h"}, 0, "       quellix-cli [OPTIONS] route --all IN\n"},
        {{"edid", "read", "--help"}, 0, "  -o, --output FILE"},
        {{"stauts"},
         2,
         "did you mean 'status'? The verbs: ports, models, scan, status, route, id, preset, backup, restore, watch, "
         "edid"},
        {{"fly"}, 2, "unknown verb 'fly'. The verbs: ports"},
        {{"status", "--jsn"}, 2, "unknown option '--jsn' for status; did you mean '--json'?", "status"},
        {{"edid", "write", "--forse", "x", "all"}, 2, "did you mean '--force'?", "edid write"},
        {{"edid", "reprot", "x.bin"}, 2, "unknown edid verb 'reprot'; did you mean 'report'?", "edid"},
        {{"edid"}, 2, "edid needs one of its verbs: report, read, write, copy, ids", "edid"},
        {{"-p", "<port>", "route", "3:5,4:2", "3:1"}, 2, "output 3 is given twice ('3:5' and '3:1')", "route"},
        {{"-p", "<port>", "route", "1-2"}, 2, "'1-2' is not OUT:IN", "route"},
        {{"-p", "<port>", "route", "1:2,"}, 2, "'1:2,' holds an empty pair", "route"},
        {{"-p", "<port>", "route", ":2"}, 2, "':2' has no output", "route"},
        {{"-p", "<port>", "route", "9:1"}, 2, "the output in '9:1' must be from 1 to 8, not 9", "route"},
        {{"-p", "<port>", "route", "1:0"}, 2, "the input in '1:0' must be from 1 to 8", "route"},
        {{"-p", "<port>", "route", "--all", "x"}, 2, "the input of --all must be a number", "route"},
        {{"-p", "<port>", "route", "1:2", "--one-to-one"}, 2, "route takes one of", "route"},
        {{"-p", "<port>", "id", "set", "256"}, 2, "the new device ID must be from 0 to 255", "id"},
        {{"-p", "<port>", "watch", "--count"}, 2, "missing value after '--count'", "watch"},
        {{"-p", "<port>", "watch", "--check", "0"}, 2, "--check must be from 1", "watch"},
        {{"-p", "<port>", "status", "extra"}, 2, "unexpected argument 'extra'", "status"},
        {{"-p", "<port>", "--model", "INFOCOFFEEMAKER", "status"}, 2, "unknown model 'INFOCOFFEEMAKER'", "status"},
        {{"-p", "<port>", "status"}, 2, "$QUELLIX_ID must be a number", "status", {"QUELLIX_ID=x"}},
        {{"status"}, 2, "no port given", "status", {"QUELLIX_PORT="}},
        {{"-p", "tcp://127.0.0.1", "status"}, 2, "'tcp://127.0.0.1' needs a port number", "status"},
        {{"-p", "/dev/quellix-nowhere", "id"}, 2, "COM90 (<port>)", "id"},
        {{"-p", "quellix-nowhere", "id"}, 2, "$QUELLIX_PORTS", "id"},
        {{"--json", "edid", "report", "--raw", "x.bin"}, 2, "--raw", "edid report"},
    };
    const auto withPort = [&](std::string text) {
        for (auto at = text.find("<port>"); at != std::string::npos; at = text.find("<port>"))
            text.replace(at, 6, device->address());
        return text;
    };
    for (const Case& test : cases) {
        std::vector<std::string> arguments, environment;
        std::transform(test.arguments.begin(), test.arguments.end(), std::back_inserter(arguments), withPort);
        std::transform(test.environment.begin(), test.environment.end(), std::back_inserter(environment), withPort);
        const ProcessResult result = run(arguments, false, environment);
        const std::string line =
            std::accumulate(arguments.begin(), arguments.end(), std::string(),
                            [](const std::string& all, const std::string& word) { return all + word + " "; });
        EXPECT_EQ(result.exitCode, test.exitCode) << line << "\n" << result.err;
        EXPECT_NE((test.exitCode == 0 ? result.out : result.err).find(withPort(test.expected)), std::string::npos)
            << line << "\n"
            << result.out << result.err;
        const std::string hint = "try 'quellix-cli " + test.helpVerb + (test.helpVerb.empty() ? "" : " ") + "--help'";
        if (test.exitCode == 2) {
            EXPECT_NE(result.err.find(hint), std::string::npos) << line << "\n" << result.err;
        }
    }
    EXPECT_EQ(device->routing(), Bytes(8, 1)) << "no usage error sent a routing";
    EXPECT_EQ(JsonOf(run({"--json", "route", "1:9"}).out)["error"]["code"], 2);
}

TEST_F(Cli, PortsThatDoNotOpenAndDevicesThatDoNotAnswerHaveTheirOwnExitCodes)
{
    std::ofstream(portsFile, std::ios::app) << "91 = /dev/quellix-nowhere\n";
    ProcessResult result = run({"--port", "COM91", "status"}, false);
    EXPECT_EQ(result.exitCode, 3) << "a pinned port that does not open: " << result.err;
    EXPECT_NE(result.err.find("cannot open COM91"), std::string::npos) << result.err;

    device->command("fault no-ack");
    const size_t before = device->frames().size();
    result = run({"id"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("no valid answer"), std::string::npos);
    EXPECT_LE(device->frames().size() - before, 3u) << "a silent device is asked a bounded number of times";
}

struct FaultCase {
    const char* command;
    int exitCode;
};

class CliFaults : public Cli, public ::testing::WithParamInterface<FaultCase> { };

TEST_P(CliFaults, StatusUnderTheFault)
{
    device->command(GetParam().command);
    const ProcessResult result = run({"status"});
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
    device->command("fault none");
    ASSERT_TRUE(WaitUntil([this] { return !device->answering(); })) << "answers the fault held back go out";
    EXPECT_EQ(run({"status"}).exitCode, 0) << "the next command works once the device behaves";
}

INSTANTIATE_TEST_SUITE_P(Faults, CliFaults,
                         ::testing::Values(FaultCase{"fault wrong-ack", 1}, FaultCase{"fault cut 3", 1},
                                           FaultCase{"fault noise 100", 1}, FaultCase{"fault delay 1500", 1},
                                           FaultCase{"fault delay 40", 0}, FaultCase{"fault baud", 0},
                                           FaultCase{"fault hang-up-after 1", 1}));

TEST_F(Cli, AnswersThatAreNoRoutingOrEdidAreRefusedAndSayWhy)
{
    // A line that answers every frame with AA and then noise.
    auto peer = testsupport::ScriptedPeer::OverPseudoTerminal([](const Bytes&) { return Bytes(300, 0xAA); });
    ASSERT_TRUE(peer);
    const std::vector<std::string> port = {"--port", peer->address(), "--model", model};
    auto runOnPeer = [&](std::vector<std::string> words) {
        words.insert(words.begin(), port.begin(), port.end());
        return run(words, false);
    };
    ProcessResult result = runOnPeer({"status"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("input 1: signal value 170"), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find("170"), std::string::npos) << "nothing of it is shown as the device's state";

    result = runOnPeer({"route", "1:2"});
    EXPECT_EQ(result.exitCode, 1);
    for (const Bytes& frame : peer->frames())
        EXPECT_NE(frame[6], 0x02) << "no routing is written back";

    const std::string file = ::testing::TempDir() + "noise-" + std::to_string(::getpid()) + ".bin";
    result = runOnPeer({"edid", "read", "input", "1", "-o", file});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("header"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(runOnPeer({"edid", "read", "--force", "input", "1", "-o", file}).exitCode, 0);
    std::filesystem::remove(file);
}

// The launcher runs the device verbs itself, without Qt, on ports it can
// open so; the full program runs the same verbs on Qt. A script must see the
// same whichever ran, failures included.
TEST_F(Cli, TheLauncherAnswersAsTheFullProgramDoes)
{
    const std::vector<std::vector<std::string>> lines = {
        {"id"},
        {"--json", "status"},
        {"route", "2:3,4:5"},
        {"--json", "route", "--all", "4"},
        {"route", "9:1"},
        {"--json", "id", "set", "300"},
        {"--port", "COM90", "--json", "id"},
        {"--port", "tcp://127.0.0.1:1", "id"},
        {"--json", "--port", "/dev/quellix-nowhere", "status"},
    };
    for (const std::vector<std::string>& line : lines) {
        const ProcessResult quick = run(line);
        std::vector<std::string> full = {"--port", device->address(), "--model", model};
        full.insert(full.end(), line.begin(), line.end());
        const ProcessResult slow = testsupport::RunProcess(QUELLIX_CLI_FULL, full, {"QUELLIX_PORTS=" + portsFile});
        const std::string shown = std::accumulate(line.begin(), line.end(), std::string());
        EXPECT_EQ(quick.exitCode, slow.exitCode) << shown;
        EXPECT_EQ(quick.out, slow.out) << shown;
        EXPECT_EQ(quick.err, slow.err) << shown;
    }
}

TEST_F(Cli, PortsListsTheDevice)
{
    ProcessResult result = run({"ports"}, false);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("COM90"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find(device->address() + " "), std::string::npos);
}

TEST_F(Cli, WorksOverTcp)
{
    SimOptions options;
    options.tcp = true;
    start(options);
    device->command("route 2 8");
    const ProcessResult result = run({"--json", "status"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(JsonOf(result.out)["routing"], QJsonArray({1, 8, 1, 1, 1, 1, 1, 1})) << result.out;
    EXPECT_EQ(JsonOf(result.out)["port"]["com"], 90) << "pinned";
    std::ofstream(portsFile, std::ios::trunc).flush();
    EXPECT_EQ(JsonOf(run({"--json", "id"}).out)["port"]["com"], QJsonValue()) << "not pinned";
}

}  // namespace
