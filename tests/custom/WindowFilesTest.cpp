// SPDX-License-Identifier: GPL-3.0-or-later
// The window's own files: its settings (window.json) and the output locks
// (locks.json), read back as saved, and every way a file can be no such file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "xandrel/custom/OutputLocks.h"
#include "xandrel/custom/WindowSettings.h"

namespace {

namespace fs = std::filesystem;

std::string TempPath(const char* name)
{
    return ::testing::TempDir() + name + std::to_string(::getpid()) + ".json";
}

TEST(WindowFiles, SettingsAndLocksAreReadBackAsSaved)
{
    const std::string settingsPath = TempPath("window-");
    const std::string locksPath = TempPath("locks-");
    fs::remove(settingsPath);
    fs::remove(locksPath);
    xandrel::WindowSettings settings;
    xandrel::OutputLocks locks;
    std::string error;
    ASSERT_TRUE(xandrel::WindowSettings::Load(settingsPath, settings, error)) << "a missing file: the defaults";
    EXPECT_TRUE(settings.checkDevice);
    EXPECT_FALSE(settings.takeMode);
    ASSERT_TRUE(xandrel::OutputLocks::Load(locksPath, locks, error)) << "a missing file locks nothing";

    settings = {"INFOHDMIMATRIX0001_4_4", "tcp://127.0.0.1:5600", 0, true, false};
    ASSERT_TRUE(settings.Save(settingsPath, error)) << error;
    EXPECT_TRUE(locks.toggle(3));
    locks.set(8, true);
    locks.set(300, true);  // no output number: ignored
    EXPECT_FALSE(locks.toggle(8));
    locks.set(1, true);
    ASSERT_TRUE(locks.Save(locksPath, error)) << error;

    xandrel::WindowSettings readSettings;
    xandrel::OutputLocks readLocks;
    ASSERT_TRUE(xandrel::WindowSettings::Load(settingsPath, readSettings, error)) << error;
    EXPECT_EQ(readSettings, settings);
    ASSERT_TRUE(xandrel::OutputLocks::Load(locksPath, readLocks, error)) << error;
    EXPECT_EQ(readLocks.locked(), (std::set<int>{1, 3}));
    EXPECT_EQ(readLocks.keepLocked({5, 5, 5, 5}, {1, 2, 3, 4}), (std::vector<int>{1, 5, 3, 5}))
        << "a whole table keeps the locked outputs' current inputs";
    fs::remove(settingsPath);
    fs::remove(locksPath);
}

TEST(WindowFiles, BadFilesAreRefusedWithTheReasonAndLeaveTheDefaults)
{
    const std::string path = TempPath("bad-window-file-");
    const std::tuple<std::string, const char*, bool> cases[] = {
        // text, the error names, a settings file (else a locks file)
        {"[1, 2]", "one JSON object expected", true},
        {R"({"model": "INFOHDMIMATRIX0001_9_9"})", "names no known model", true},
        {R"({"id": 300})", "no device ID 0-255", true},
        {R"({"take_mode": "yes"})", "\"take_mode\" is neither true nor false", true},
        {R"({"colour": "red"})", "unknown field 'colour'", true},
        {"{\"locked\": [3", "not a locks file", false},
        {R"({"locked": [0]})", "no output number 1-255", false},
        {R"({"locked": 3})", "not a list of output numbers", false},
        {R"({"locked": [], "by": "me"})", "unknown field 'by'", false},
    };
    for (const auto& [text, named, settingsFile] : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        std::string error;
        xandrel::WindowSettings settings{"INFOHDMIMATRIX0001_4_4", "x", 1, true, false};
        xandrel::OutputLocks locks;
        locks.set(2, true);
        const bool loaded = settingsFile ? xandrel::WindowSettings::Load(path, settings, error)
                                         : xandrel::OutputLocks::Load(path, locks, error);
        EXPECT_FALSE(loaded) << text;
        EXPECT_NE(error.find(named), std::string::npos) << text << ": " << error;
        EXPECT_EQ(error.rfind(path, 0), 0u) << "the file is named";
        if (settingsFile)
            EXPECT_EQ(settings, xandrel::WindowSettings{}) << text;
        else
            EXPECT_TRUE(locks.locked().empty()) << text;
    }
    fs::remove(path);
}

}  // namespace
