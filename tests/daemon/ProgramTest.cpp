// SPDX-License-Identifier: GPL-3.0-or-later
// quellixd as a program: its options, the configuration check, signals.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <future>

#include "ProcessRunner.h"
#include "SimulatedDevice.h"
#include "xandrel/custom/AtomicFile.h"

namespace {

using testsupport::RunProcess;

std::string TempFile(const std::string& name)
{
    return ::testing::TempDir() + "quellixd-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-"
        + name;
}

std::string Contents(const std::string& path)
{
    std::string bytes, error;
    xandrel::ReadFileBytes(path, bytes, error);
    return bytes;
}

TEST(DaemonProgram, OptionsAndConfigurationCheck)
{
    EXPECT_EQ(RunProcess(QUELLIXD, {"--help"}).exitCode, 0);
    const auto version = RunProcess(QUELLIXD, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.out.find(QUELLIX_VERSION), std::string::npos);
    EXPECT_EQ(RunProcess(QUELLIXD, {"--bogus"}).exitCode, 2);

    const auto good =
        RunProcess(QUELLIXD, {"--check-config", "--config", QUELLIX_SOURCE_DIR "/packaging/quellixd.conf.example"});
    EXPECT_EQ(good.exitCode, 0) << good.err;
    EXPECT_NE(good.out.find("good (2 devices)"), std::string::npos);

    const std::string bad = TempFile("bad.conf");
    std::ofstream(bad)
        << R"({"listen": "192.0.2.1", "devices": [{"name": "a", "port": "1", "model": "8x8", "line_port": 1}]})";
    const auto refused = RunProcess(QUELLIXD, {"--check-config", "--config", bad});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("a \"token\" is required"), std::string::npos) << refused.err;
    EXPECT_EQ(RunProcess(QUELLIXD, {"--config", TempFile("missing.conf")}).exitCode, 2);
}

// SIGHUP reads the configuration again (an unchanged device keeps running);
// SIGTERM ends the daemon with status 0.
TEST(DaemonProgram, RereadsOnHangUpAndEndsOnTerminate)
{
    using namespace quellix::sim;
    SimOptions options;
    options.model = xandrel::FindModel("INFOHDMIMATRIX0001_8_8");
    options.tcp = true;
    options.log = [](const std::string&) {};
    std::string error;
    auto device = SimulatedDevice::Start(options, error);
    ASSERT_TRUE(device) << error;
    const std::string config = TempFile("run.conf"), pid = TempFile("pid"), out = TempFile("out");
    std::ofstream(config) << R"({"http_port": 0, "devices": [{"name": "a", "port": ")" << device->address()
                          << R"(", "model": "8x8", "line_port": 0}]})";
    std::remove(pid.c_str());
    std::remove(out.c_str());
    const std::string shell = "echo $$ >'" + pid + "'; exec \"$0\" \"$@\" >'" + out + "' 2>&1";
    auto run = std::async(std::launch::async, [&] {
        return RunProcess("sh", {"-c", shell, QUELLIXD, "--config", config});
    });
    const auto logged = [&](const std::string& text) {
        for (int k = 0; k < 500; ++k) {
            if (Contents(out).find(text) != std::string::npos)
                return true;
            if (run.wait_for(std::chrono::milliseconds(20)) == std::future_status::ready)
                break;
        }
        return Contents(out).find(text) != std::string::npos;
    };
    ASSERT_TRUE(logged("device a: online")) << Contents(out);
    const int process = std::atoi(Contents(pid).c_str());
    ASSERT_GT(process, 0);
    ::kill(process, SIGHUP);
    EXPECT_TRUE(logged("configuration read again")) << Contents(out);
    EXPECT_NE(Contents(out).find("device a: unchanged"), std::string::npos);  // its line and port were kept
    ::kill(process, SIGTERM);
    EXPECT_EQ(run.get().exitCode, 0);
    EXPECT_NE(Contents(out).find("ending on SIGTERM"), std::string::npos);
}

}  // namespace
