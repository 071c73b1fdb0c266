#pragma once
// quellix-cli run as a process against a simulated device over a
// pseudo-terminal, with a port table file of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "ProcessRunner.h"
#include "SimulatedDevice.h"

namespace clitest {

using namespace quellix::sim;
using testsupport::ProcessResult;

class Cli : public ::testing::Test {
protected:
    void SetUp() override { start(SimOptions{}); }

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

    ProcessResult run(std::vector<std::string> arguments, bool withPort = true)
    {
        std::vector<std::string> all;
        if (withPort)
            all = {"--port", device->address(), "--model", model};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return testsupport::RunProcess(QUELLIX_CLI, all, {"QUELLIX_PORTS=" + portsFile});
    }

    const char* model = "INFOHDMIMATRIX0001_8_8";
    std::unique_ptr<SimulatedDevice> device;
    std::string portsFile;
};

}  // namespace clitest
