// SPDX-License-Identifier: GPL-3.0-or-later
// EDID files: which sizes load, that a refused file leaves the image as it
// was, and saving with both checksums.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "EdidTestImages.h"
#include "xandrel/custom/AtomicFile.h"

using namespace edidtest;
namespace fs = std::filesystem;

namespace {

class EdidFile : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }

    // A file of `size` bytes counting 1, 2, 3, ... with byte 126 set to `extensions`.
    std::string write(std::size_t size, int extensions)
    {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i == 126 ? extensions : i + 1);
        const std::string path = (folder / (std::to_string(size) + ".bin")).string();
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
        return path;
    }

    const fs::path folder = fs::path(::testing::TempDir()) / ("edid-file-" + std::to_string(::getpid()));
};

TEST_F(EdidFile, OnlyWholeBlocksLoadAndARefusalKeepsTheImage)
{
    const struct {
        std::size_t size;
        int extensions;
        const char* error;  // nullptr: loads
    } cases[] = {
        {0, 0, "the file is empty"},
        {1, 0, "it holds 1 byte;"},
        {127, 0, "it holds 127 bytes;"},
        {128, 0, nullptr},
        {128, 1, "it holds 128 bytes, but its base block announces 1 extension"},
        {129, 0, "it holds 129 bytes;"},
        {255, 1, "it holds 255 bytes;"},
        {256, 0, nullptr},  // the second half is not taken
        {256, 3, nullptr},
        {257, 1, "it holds 257 bytes;"},
        {384, 2, nullptr},  // an EDID with two extension blocks: the first two blocks
        {3 << 20, 1, "it holds more than 32768 bytes;"},
    };
    for (const auto& c : cases) {
        const std::string path = write(c.size, c.extensions);
        Image untouched;
        untouched.fill(0xEE);
        Image image = untouched;
        std::string error;
        const bool loaded = xandrel::LoadEdidFile(path, image, error);
        SCOPED_TRACE(path);
        if (c.error) {
            EXPECT_FALSE(loaded);
            EXPECT_NE(error.find("Cannot load " + path + ": " + c.error), std::string::npos) << error;
            EXPECT_EQ(image, untouched) << "a refused file must not touch the image";
            continue;
        }
        ASSERT_TRUE(loaded) << error;
        const std::size_t taken = c.extensions ? 256 : 128;
        for (std::size_t i = 0; i < 256; ++i)
            ASSERT_EQ(image[i], i >= taken ? 0 : i == 126 ? c.extensions : static_cast<BYTE>(i + 1)) << i;
    }
}

TEST_F(EdidFile, MissingFileOrFolderSaysWhichAndWhy)
{
    Image image = HeaderOnly();
    std::string error;
    const std::string missing = (folder / "missing.bin").string();
    EXPECT_FALSE(xandrel::LoadEdidFile(missing, image, error));
    EXPECT_EQ(error, "Cannot open " + missing + ": No such file or directory.");
    EXPECT_FALSE(xandrel::LoadEdidFile(folder.string(), image, error));
    EXPECT_NE(error.find(folder.string()), std::string::npos) << error;
    EXPECT_EQ(image, HeaderOnly());
}

TEST_F(EdidFile, SaveRecomputesBothChecksums)
{
    const std::string path = (folder / "saved.bin").string();
    std::string error, bytes;
    ASSERT_TRUE(xandrel::SaveEdidFile(path, Image{}, error)) << error;
    ASSERT_TRUE(xandrel::ReadFileBytes(path, bytes, error));
    EXPECT_EQ(bytes, std::string(256, '\0')) << "a zero block sums to 0 already";

    // Header and bytes 8-19 sum to 0x79F, so byte 127 must be 0x61.
    const Image edited =
        With(With(HeaderOnly(), 8, {0x04, 0x69, 0xF2, 0x24, 1, 1, 1, 1, 7, 0x13, 1, 3}), 127, {0x33, 0x02, 0x03});
    ASSERT_TRUE(xandrel::SaveEdidFile(path, edited, error)) << error;
    ASSERT_TRUE(xandrel::ReadFileBytes(path, bytes, error));
    EXPECT_EQ(bytes.size(), 256u);
    EXPECT_EQ(bytes[127], '\x61');
    EXPECT_EQ(bytes[255], static_cast<char>(0x100 - 5));
    EXPECT_EQ(edited[127], 0x33) << "the caller's image keeps its bytes";

    Image sound = edited;
    xandrel::SetEdidChecksums(sound);
    EXPECT_EQ(bytes, std::string(sound.begin(), sound.end()));
    EXPECT_TRUE(xandrel::EdidBlockIsSound(std::span(sound).first<128>()));
    EXPECT_FALSE(xandrel::EdidBlockIsSound(std::span(edited).first<128>()));
    EXPECT_TRUE(xandrel::EdidBlockIsSound(std::span(sound).last<128>()));

    EXPECT_FALSE(xandrel::SaveEdidFile((folder / "no" / "x.bin").string(), edited, error));
    EXPECT_NE(error.find("x.bin"), std::string::npos) << error;
}

}  // namespace
