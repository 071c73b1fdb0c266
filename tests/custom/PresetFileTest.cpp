// The presets file: saved and read back per device, and every way a file
// can be no presets file, named with its entry.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "xandrel/custom/AtomicFile.h"
#include "xandrel/custom/PresetFile.h"

namespace {

namespace fs = std::filesystem;
using xandrel::Preset;
using xandrel::PresetBook;
using xandrel::PresetDevice;

const PresetDevice kMatrix{"INFOHDMIMATRIX0001_4_4", "/dev/ttyUSB0", 0};
const PresetDevice kOther{"INFOHDMIMATRIX0001_4_4", "/dev/ttyUSB1", 0};

TEST(PresetFile, PresetsAreKeptPerDeviceAndReadBack)
{
    const std::string path = ::testing::TempDir() + "presets-" + std::to_string(::getpid()) + ".json";
    fs::remove(path);
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
    fs::remove(path);
}

TEST(PresetFile, BadFilesAreNamedWithTheirEntryAndLeaveAnEmptyBook)
{
    const std::string path = ::testing::TempDir() + "bad-presets-" + std::to_string(::getpid()) + ".json";
    const std::string entry = R"({"model": "INFOHDMIMATRIX0001_4_4", "port": "/dev/ttyUSB0", "id": 0, "name": "A", )";
    const std::pair<std::string, const char*> cases[] = {
        {"not json", "not a presets file"},
        {R"({"presets": {}})", "not a presets file"},
        {R"({"presets": [)" + entry + R"("routing": [1, 2, 3, 4], "colour": "red"}]})", "preset 1 has an unknown field 'colour'"},
        {R"({"presets": [)" + entry + R"("routing": [1, 2, 3]}]})", "3 outputs where the model has 4"},
        {R"({"presets": [)" + entry + R"("routing": [1, 2, 3, 9]}]})", "output 4: input 9"},
        {R"({"presets": [{"model": "INFOCOFFEE", "port": "p", "id": 0, "name": "A", "routing": []}]})", "no known model"},
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

}  // namespace
