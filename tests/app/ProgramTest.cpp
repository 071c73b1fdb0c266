// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program under a virtual display, driving the simulated matrix:
// the shaped splash, the matrix window about two seconds later with the
// caption from ds.dat and the program's icon, the port opened and the device
// read, and a clean end when the window is closed. Both windowed programs
// answer --help and --version without a display.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <unistd.h>

#include "ProcessRunner.h"
#include "SimulatedDevice.h"
#include "xandrel/custom/AtomicFile.h"

namespace fs = std::filesystem;

namespace {

bool OnPath(const std::string& program)
{
    return testsupport::RunProcess("sh", {"-c", "command -v " + program}).exitCode == 0;
}

TEST(Program, RunsUnderAVirtualDisplayAndEndsCleanly)
{
    if (!OnPath("xvfb-run"))
        GTEST_SKIP() << "xvfb-run is not installed";
    quellix::sim::SimOptions options;
    options.model = xandrel::FindModel("INFOHDMIMATRIX0001_8_8");
    options.signals = {1, 0, 1, 0, 0, 0, 0, 0};
    options.log = [](const std::string&) {};
    std::string error;
    auto device = quellix::sim::SimulatedDevice::Start(options, error);
    ASSERT_TRUE(device) << error;

    const fs::path work = fs::path(::testing::TempDir()) / ("program-" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work / "data");
    std::ofstream(work / "data" / "ds.dat", std::ios::binary)
        << "__title\r\nStudio Router E2E\r\nSetting\r\nScan\r\n__end\r\n";
    std::ofstream(work / "data" / "ports.dat") << "1 = " << device->address() << "\n";
    const fs::path shots = work / "shots";

    const auto result =
        testsupport::RunProcess("xvfb-run", {"-a", "-s", "-screen 0 1280x800x24", QUELLIX_PROGRAM},
                                {"QUELLIX_SNAPSHOT_DIR=" + shots.string(), "QT_QPA_PLATFORM=xcb"}, work.string());
    EXPECT_EQ(result.exitCode, 0) << result.err;

    std::string run;
    ASSERT_TRUE(xandrel::ReadFileBytes((shots / "run.txt").string(), run, error)) << result.err;
    std::smatch found;
    ASSERT_TRUE(std::regex_search(run, found, std::regex("splash 570x270 rects=(\\d+) visible=1 source=built-in")))
        << run;
    EXPECT_GT(std::stoi(found[1]), 20) << "the splash is cut to its shape";
    ASSERT_TRUE(std::regex_search(run, found, std::regex("handed off after (\\d+) ms"))) << run;
    EXPECT_GE(std::stoi(found[1]), 1900);
    EXPECT_LE(std::stoi(found[1]), 4000);
    EXPECT_NE(run.find("window visible=1 title=Studio Router E2E icon=set port=open"), std::string::npos) << run;
    EXPECT_FALSE(device->frames().empty()) << "Linkage read the device";
    EXPECT_TRUE(fs::exists(shots / "splash.png"));
    EXPECT_TRUE(fs::exists(shots / "matrix-window.png"));
    fs::remove_all(work);
}

// Built beside Quellix: build/app/Quellix, build/tools/edid-host/quellix-edid.
const fs::path kEdidProgram = fs::path(QUELLIX_PROGRAM).parent_path().parent_path() / "tools/edid-host/quellix-edid";

TEST(Program, AnswersTheCommandLineWithoutADisplayOrADataFolder)
{
    ASSERT_TRUE(fs::exists(kEdidProgram)) << "build quellix-edid too";
    const fs::path home = fs::path(::testing::TempDir()) / ("program-home-" + std::to_string(::getpid()));
    fs::remove_all(home);
    fs::create_directories(home);
    for (const fs::path& program : {fs::path(QUELLIX_PROGRAM), kEdidProgram}) {
        const std::string name = program.filename().string();
        // No display to reach: opening a window would abort the program.
        const auto run = [&](const std::string& argument) {
            return testsupport::RunProcess("env",
                                           {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "XDG_DATA_HOME",
                                            "HOME=" + home.string(), "QUELLIX_USER_DATA=1", "QT_QPA_PLATFORM=xcb",
                                            program.string(), argument},
                                           {}, home.string());
        };
        const auto help = run("--help");
        EXPECT_EQ(help.exitCode, 0) << help.err;
        EXPECT_EQ(help.out.rfind("usage: " + name + " [--help] [--version]", 0), 0u) << help.out;
        const auto version = run("--version");
        EXPECT_EQ(version.exitCode, 0) << version.err;
        EXPECT_EQ(version.out.rfind(name + " 1.0.0\nLicense GPL-3.0-or-later", 0), 0u) << version.out;
        const auto unknown = run("--colour");
        EXPECT_EQ(unknown.exitCode, 2);
        EXPECT_EQ(unknown.err, name + ": unknown option '--colour'; try '" + name + " --help'\n");
    }
    EXPECT_TRUE(fs::is_empty(home)) << "no data folder is made";
    fs::remove_all(home);
}

}  // namespace
