// SPDX-License-Identifier: GPL-3.0-or-later
// The presets and backup files: saved and read back, what a restore
// changes, and every way a file can be no such file, named with its entry.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "xandrel/custom/AtomicFile.h"
#include "xandrel/custom/BackupFile.h"
#include "xandrel/custom/StoredSetup.h"
#include "xandrel/custom/PresetFile.h"

namespace {

namespace fs = std::filesystem;
using xandrel::Preset;
using xandrel::PresetBook;
using xandrel::PresetDevice;

const PresetDevice kMatrix{"INFOHDMIMATRIX0001_4_4"};
const PresetDevice kOther{"INFOHDMIMATRIX0001_8_4"};

TEST(PresetFile, PresetsAreKeptPerModelAndReadBack)
{
    const fs::path folder = fs::path(::testing::TempDir()) / ("presets-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    const std::string path = (folder / "data" / "presets.json").string();  // the folder is made on saving
    PresetBook book;
    std::string error;
    ASSERT_TRUE(PresetBook::Load(path, book, error)) << "a missing file is an empty book: " << error;
    book.put(kMatrix, Preset{"Lecture", {1, 2, 3, 4}});
    book.put(kMatrix, Preset{"All from 2", {2, 2, 2, 2}});
    book.put(kOther, Preset{"Lecture", {4, 4, 4, 4}});
    book.put(kMatrix, Preset{"Lecture", {4, 3, 2, 1}});  // replaced
    EXPECT_TRUE(book.rename(kMatrix, "All from 2", "Panel discussion"));
    EXPECT_FALSE(book.rename(kMatrix, "Lecture", "Panel discussion")) << "a name in use";
    ASSERT_TRUE(book.Save(path, error)) << error;

    PresetBook read;
    ASSERT_TRUE(PresetBook::Load(path, read, error)) << error;
    ASSERT_EQ(read.of(kMatrix).size(), 2u);
    EXPECT_EQ(read.of(kMatrix)[0].routing, (std::vector<int>{4, 3, 2, 1}));
    EXPECT_EQ(read.of(kMatrix)[1].name, "Panel discussion");
    EXPECT_EQ(read.find(kOther, "Lecture")->routing, (std::vector<int>{4, 4, 4, 4}));
    EXPECT_TRUE(read.remove(kMatrix, "Lecture"));
    EXPECT_EQ(read.find(kMatrix, "Lecture"), nullptr);
    fs::remove_all(folder);
}

// Earlier files kept presets apart by the port and ID they were saved
// through: every one is still read, under a name of its own.
TEST(PresetFile, PresetsOfEarlierFilesAreAllKept)
{
    const std::string path = ::testing::TempDir() + "old-presets-" + std::to_string(::getpid()) + ".json";
    const std::string entry = R"({"model": "INFOHDMIMATRIX0001_4_4", "name": "A", )";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << R"({"presets": [)" << entry << R"("port": "/dev/ttyUSB0", "id": 0, "routing": [1, 1, 1, 1]}, )" << entry
        << R"("port": "tcp://box:4001", "id": 255, "routing": [2, 2, 2, 2]}, )" << entry
        << R"("routing": [3, 3, 3, 3]}]})";
    PresetBook book;
    std::string error;
    ASSERT_TRUE(PresetBook::Load(path, book, error)) << error;
    const std::vector<Preset> presets = book.of(kMatrix);
    ASSERT_EQ(presets.size(), 3u);
    EXPECT_EQ(presets[1].name, "A (2)");
    EXPECT_EQ(presets[2].name, "A (3)");
    EXPECT_EQ(presets[2].routing, (std::vector<int>{3, 3, 3, 3}));
    fs::remove(path);
}

TEST(PresetFile, BadFilesAreNamedWithTheirEntryAndLeaveAnEmptyBook)
{
    const std::string path = ::testing::TempDir() + "bad-presets-" + std::to_string(::getpid()) + ".json";
    const std::string entry = R"({"model": "INFOHDMIMATRIX0001_4_4", "name": "A", )";
    const std::pair<std::string, const char*> cases[] = {
        {"not json", "not a presets file"},
        {R"({"presets": {}})", "not a presets file"},
        {R"({"presets": [)" + entry + R"("routing": [1, 2, 3, 4], "colour": "red"}]})",
         "preset 1 has an unknown field 'colour'"},
        {R"({"presets": [)" + entry + R"("routing": [1, 2, 3]}]})", "3 outputs where the model has 4"},
        {R"({"presets": [)" + entry + R"("routing": [1, 2, 3, 9]}]})", "output 4: input 9"},
        {R"({"presets": [{"model": "INFOCOFFEE", "name": "A", "routing": []}]})", "no known model"},
        {R"({"presets": [)" + entry + R"("routing": [1, 1, 1, 1]}, )" + entry + R"("routing": [2, 2, 2, 2]}]})",
         "preset 2 repeats the name 'A'"},
    };
    for (const auto& [text, expected] : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        PresetBook book;
        book.put(kMatrix, Preset{"kept?", {1, 1, 1, 1}});
        std::string error;
        EXPECT_FALSE(PresetBook::Load(path, book, error)) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << error;
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_TRUE(book.of(kMatrix).empty());
    }
    fs::remove(path);
}

TEST(BackupFile, SetupRoundTripsThroughTheDataFolderAndTellsWhatChanges)
{
    const fs::path folder = fs::path(::testing::TempDir()) / ("backup-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    xandrel::DeviceBackup saved{"INFOHDMIMATRIX0001_4_4", 0, {1, 2, 3, 4}, {}, {}, {}};
    std::string error;
    ASSERT_TRUE(xandrel::ReadStoredSetup(folder.string(), kMatrix, saved, error)) << error;
    EXPECT_EQ(saved.inputNames, (std::vector<std::string>{"input 1", "input 2", "input 3", "input 4"}))
        << "built-in names without ds.dat";

    xandrel::DeviceBackup wanted = saved;
    wanted.routing = {4, 2, 3, 4};
    wanted.inputNames[0] = "Laptop";
    wanted.presets = {Preset{"Lecture", {2, 2, 2, 2}}};
    xandrel::DeviceBackup parsed;
    ASSERT_TRUE(xandrel::ParseBackup(xandrel::FormatBackup(wanted), "b.json", parsed, error)) << error;
    EXPECT_EQ(xandrel::BackupChanges(saved, parsed),
              (std::vector<std::string>{"output 1: input 1 -> 4", "input 1 name: \"input 1\" -> \"Laptop\"",
                                        "preset \"Lecture\" added"}));
    EXPECT_TRUE(xandrel::BackupChanges(parsed, parsed).empty());

    ASSERT_TRUE(xandrel::WriteStoredSetup(folder.string(), kMatrix, parsed, error)) << error;
    xandrel::DeviceBackup reread{"INFOHDMIMATRIX0001_4_4", 0, {}, {}, {}, {}};
    ASSERT_TRUE(xandrel::ReadStoredSetup(folder.string(), kMatrix, reread, error)) << error;
    EXPECT_EQ(reread.inputNames[0], "Laptop");
    ASSERT_EQ(reread.presets.size(), 1u);
    EXPECT_EQ(reread.presets[0].routing, (std::vector<int>{2, 2, 2, 2}));
    fs::remove_all(folder);
}

TEST(BackupFile, BadBackupsAreNamedWithTheirEntry)
{
    const std::string head = R"({"backup": "quellix", "version": 1, "model": "INFOHDMIMATRIX0001_4_4", "id": 0, )";
    const std::string names = R"("inputs": ["a", "b", "c", "d"], "outputs": ["e", "f", "g", "h"], )";
    const std::pair<std::string, const char*> cases[] = {
        {"[1, 2]", "no JSON object"},
        {R"({"backup": "other"})", "no Quellix backup"},
        {head + R"("routing": [1, 2, 3, 9], )" + names + R"("presets": []})", "output 4: input 9"},
        {head + R"("routing": [1, 2, 3, 4], "inputs": ["a"], "outputs": [], "presets": []})", "list of 4 names"},
        {head + R"("routing": [1, 2, 3, 4], )" + names + R"("presets": [{"name": "x", "routing": [1]}]})",
         "preset 1 has a routing that does not fit"},
        {head + R"("routing": [1, 2, 3, 4], )" + names + R"("presets": [], "extra": 1})", "unknown field 'extra'"},
    };
    for (const auto& [text, expected] : cases) {
        xandrel::DeviceBackup backup;
        std::string error;
        EXPECT_FALSE(xandrel::ParseBackup(text, "setup.json", backup, error)) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << error;
        EXPECT_EQ(error.rfind("setup.json: ", 0), 0u) << error;
    }
}

}  // namespace
