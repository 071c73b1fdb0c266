// quellix-cli against the simulated device over a pseudo-terminal (and once
// over TCP): every verb, the exit codes, and every fault the device can show.
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "CliFixture.h"
#include "ScriptedPeer.h"

using namespace clitest;

namespace {

TEST_F(Cli, StatusPrintsRoutingAndSignals)
{
    device->command("signal 2 1");
    device->command("route 3 6");
    const ProcessResult result = run({"status"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("output 3: input 6"), std::string::npos);
    EXPECT_NE(result.out.find("input 2: signal"), std::string::npos);
    EXPECT_NE(result.out.find("input 1: no signal"), std::string::npos);

    const ProcessResult json = run({"--json", "status"});
    EXPECT_NE(json.out.find("\"routing\":[1,1,6,1,1,1,1,1],\"signals\":[0,1,0,0,0,0,0,0]"), std::string::npos)
        << json.out;
}

TEST_F(Cli, RouteChangesOnlyTheOutputsNamedOrAllOfThem)
{
    device->command("route all 2");
    ProcessResult result = run({"route", "1:5", "8:3"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(device->routing(), (Bytes{5, 2, 2, 2, 2, 2, 2, 3}));

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
    auto watching = std::async(std::launch::async, [this] { return run({"watch", "--count", "2", "--interval", "100"}); });
    // The front panel changes once watch has read the device (ID, signals,
    // routing): a message arriving earlier would be dropped by those reads.
    for (int waited = 0; device->frames().size() < 3 && waited < 10000; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    device->command("route 5 2");
    device->command("signal 3 1");
    const ProcessResult result = watching.get();
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("routing changed:  output 5: input 2"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("signals changed:  input 3: signal"), std::string::npos) << result.out;
}

// Messages the line lost, or sent to an ID the device no longer has, go
// unseen: a look at the whole state after a quiet spell tells what they
// carried, or that the device no longer answers at the ID watched.
TEST_F(Cli, WatchLooksAtTheWholeStateAfterAQuietSpell)
{
    startInBackground({"watch", "--interval", "100", "--check", "300"});
    ASSERT_TRUE(waitForOutput("watching "));
    device->withMatrix([](VirtualMatrix& matrix) { matrix.frontPanelRoute(5, 2); });  // its message never leaves
    EXPECT_TRUE(waitForOutput("routing changed:  output 5: input 2"));

    device->command("id 7");
    device->command("route 6 3");
    EXPECT_TRUE(waitForOutput("the device no longer answers at ID 4; its ID may have changed"));
    std::this_thread::sleep_for(std::chrono::seconds(3));  // room for another look that goes unanswered
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
    startInBackground({"watch", "--interval", "100"});
    ASSERT_TRUE(waitForOutput("watching "));
    device.reset();
    EXPECT_TRUE(waitForOutput("the device went away"));
    const ProcessResult result = stop(SIGINT);
    EXPECT_EQ(result.exitCode, 1) << result.out;
    EXPECT_EQ(Occurrences(result.out, "went away"), 1u) << result.out;
}

TEST_F(Cli, UsageErrorsSendNothing)
{
    const std::vector<std::vector<std::string>> wrong = {
        {"route", "9:1"}, {"route", "1:0"}, {"route", "1-2"}, {"route", "--all", "x"}, {"id", "set", "256"},
        {"watch", "--count"}, {"watch", "--check", "0"}, {"fly"}, {"--model", "INFOCOFFEEMAKER", "status"},
        {"status", "extra"},
    };
    for (const auto& arguments : wrong) {
        const ProcessResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments[0];
        EXPECT_FALSE(result.err.empty());
    }
    device->withMatrix([](VirtualMatrix& matrix) { EXPECT_EQ(matrix.routing(), Bytes(8, 1)); });
    EXPECT_EQ(run({"route", "--help"}).exitCode, 0);
    EXPECT_EQ(run({"--help"}, false).exitCode, 0);
}

TEST_F(Cli, MissingPortsAndDevicesHaveTheirOwnExitCodes)
{
    ProcessResult result = run({"--port", "/dev/quellix-nowhere", "status"}, false);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("no such port"), std::string::npos) << result.err;
    EXPECT_EQ(run({"status"}, false).exitCode, 2) << "no --port at all";

    device->command("fault no-ack");
    const auto start = std::chrono::steady_clock::now();
    result = run({"id"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("no valid answer"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

struct FaultCase {
    const char* command;
    int exitCode;
    int settleMs = 0;  // until answers the fault held back have arrived
};

class CliFaults : public Cli, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(CliFaults, StatusUnderTheFault)
{
    device->command(GetParam().command);
    const ProcessResult result = run({"status"});
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
    device->command("fault none");
    std::this_thread::sleep_for(std::chrono::milliseconds(GetParam().settleMs));
    EXPECT_EQ(run({"status"}).exitCode, 0) << "the next command works once the device behaves";
}

INSTANTIATE_TEST_SUITE_P(Faults, CliFaults,
                         ::testing::Values(FaultCase{"fault wrong-ack", 1}, FaultCase{"fault cut 3", 1},
                                           FaultCase{"fault noise 100", 1}, FaultCase{"fault delay 1500", 1, 1000},
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

TEST_F(Cli, PortsAndScanFindTheDevice)
{
    ProcessResult result = run({"ports"}, false);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("COM90"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find(device->address() + " "), std::string::npos);

    result = run({"--model", model, "--json", "scan"}, false);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("{\"port\":90,\"path\":\"" + device->address() + "\",\"id\":4}"), std::string::npos)
        << result.out;
}

TEST_F(Cli, WorksOverTcp)
{
    SimOptions options;
    options.tcp = true;
    start(options);
    device->command("route 2 8");
    const ProcessResult result = run({"--json", "status"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\"routing\":[1,8,1,1,1,1,1,1]"), std::string::npos) << result.out;
}

}  // namespace
