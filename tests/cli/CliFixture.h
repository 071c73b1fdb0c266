// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// quellix-cli run as a process against a simulated device over a
// pseudo-terminal, with a port table file of its own.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>

#include "ProcessRunner.h"
#include "SimulatedDevice.h"
#include "xandrel/custom/AtomicFile.h"

namespace clitest {

using namespace quellix::sim;
using testsupport::ProcessResult;

inline size_t Occurrences(const std::string& text, const std::string& word)
{
    size_t count = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size()))
        ++count;
    return count;
}

// The one JSON document a run printed: fails the test unless the output is
// exactly one document.
inline QJsonValue JsonOf(const std::string& out)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << " in: " << out;
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override { start(SimOptions{}); }

    void TearDown() override
    {
        if (background_.valid())
            stop(SIGKILL);
    }

    void start(SimOptions options)
    {
        device.reset();
        options.model = xandrel::FindModel(model);
        options.deviceId = 4;
        options.log = [](const std::string&) {};
        std::string error;
        device = SimulatedDevice::Start(options, error);
        ASSERT_TRUE(device) << error;
        // One file per test: ctest runs the tests side by side.
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        portsFile = ::testing::TempDir() + "ports-" + test->test_suite_name() + "-" + test->name() + ".dat";
        std::replace(portsFile.begin() + static_cast<long>(::testing::TempDir().size()), portsFile.end(), '/', '-');
        std::ofstream(portsFile) << "90 = " << device->address() << "\n";
    }

    ProcessResult run(std::vector<std::string> arguments, bool withPort = true,
                      std::vector<std::string> environment = {})
    {
        std::vector<std::string> all;
        if (withPort)
            all = {"--port", device->address(), "--model", model};
        all.insert(all.end(), arguments.begin(), arguments.end());
        environment.push_back("QUELLIX_PORTS=" + portsFile);
        return testsupport::RunProcess(QUELLIX_CLI, all, environment);
    }

    // A file of this test's own.
    std::string file(const std::string& name) const { return portsFile + "." + name; }

    // Runs quellix-cli through a shell that leaves its process ID and its
    // output (stdout and stderr) in files, so the test can follow it and end
    // it with a signal.
    void startInBackground(const std::vector<std::string>& arguments)
    {
        for (const char* name : {"pid", "out"})
            std::remove(file(name).c_str());
        const std::string shell = "echo $$ >'" + file("pid") + "'; exec \"$0\" \"$@\" >'" + file("out") + "' 2>&1";
        std::vector<std::string> all = {"-c", shell, QUELLIX_CLI, "--port", device->address(), "--model", model};
        all.insert(all.end(), arguments.begin(), arguments.end());
        background_ = std::async(std::launch::async, [all, ports = portsFile] {
            return testsupport::RunProcess("sh", all, {"QUELLIX_PORTS=" + ports});
        });
        while (backgroundPid_ <= 0 && background_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
            backgroundPid_ = std::atoi(contents(file("pid")).c_str());
    }

    // True once the background run has printed `text`; false if it ended or
    // 20 s went by without.
    bool waitForOutput(const std::string& text) const
    {
        const auto printed = [&] { return contents(file("out")).find(text) != std::string::npos; };
        for (int waited = 0; waited < 20000 && !printed(); waited += 20)
            if (background_.wait_for(std::chrono::milliseconds(20)) == std::future_status::ready)
                break;
        return printed();
    }

    // Ends the background run with `signal`: its exit status, and its output in `out`.
    ProcessResult stop(int signal)
    {
        if (backgroundPid_ > 0 && background_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            ::kill(backgroundPid_, signal);
        ProcessResult result = background_.get();
        result.out = contents(file("out"));
        return result;
    }

    // The simulator opens its pseudo-terminal without close-on-exec: a child
    // that inherited the master would keep the line up after the simulator
    // closes it.
    static std::string contents(const std::string& path)
    {
        std::string bytes, error;
        xandrel::ReadFileBytes(path, bytes, error);
        return bytes;
    }

    const char* model = "INFOHDMIMATRIX0001_8_8";
    std::unique_ptr<SimulatedDevice> device;
    std::string portsFile;

private:
    std::future<ProcessResult> background_;
    int backgroundPid_ = 0;
};

}  // namespace clitest
