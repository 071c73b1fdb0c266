// SPDX-License-Identifier: GPL-3.0-or-later
// The splash picture's fallbacks, the delivered data folder, and where the
// program runs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "CommandLine.h"
#include "DataFolderSetup.h"
#include "SplashPicture.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/custom/AtomicFile.h"
#include "xandrel/custom/StringTableFile.h"

namespace fs = std::filesystem;

namespace {

fs::path FreshFolder(const std::string& name)
{
    const fs::path folder = fs::path(::testing::TempDir()) / (name + "-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

TEST(Splash, UnusableFilesFallBackToTheBuiltInPicture)
{
    const fs::path folder = FreshFolder("splash");
    const quellix::SplashPicture builtIn = quellix::LoadSplashPicture((folder / "missing.dat").string());
    EXPECT_EQ(builtIn.source, "built-in");
    EXPECT_TRUE(builtIn.problem.empty()) << "no file is no problem";
    EXPECT_EQ(builtIn.picture.size(), QSize(570, 270));
    EXPECT_EQ(builtIn.bitmap.width, 570);
    EXPECT_EQ(builtIn.bitmap.bitsPerPixel, 24);
    EXPECT_GT(quellix::SplashRegion(builtIn.bitmap).rectCount(), 20) << "black is cut away around the shape";

    const std::string notAPicture = (folder / "sp.dat").string();
    std::ofstream(notAPicture) << "this is text, not a bitmap";
    const quellix::SplashPicture fallback = quellix::LoadSplashPicture(notAPicture);
    EXPECT_EQ(fallback.source, "built-in");
    EXPECT_NE(fallback.problem.find("not a BMP"), std::string::npos) << fallback.problem;
}

TEST(DeliveredData, StringTableIsTheWritersDefaults)
{
    std::string delivered, error;
    ASSERT_TRUE(xandrel::ReadFileBytes(QUELLIX_SOURCE_DATA "/ds.dat", delivered, error)) << error;
    EXPECT_EQ(delivered, xandrel::FormatStringTable(xandrel::DefaultStringTable()));
}

TEST(DataFolder, MovesToAPerUserCopyOnlyWhenThereIsNoDataFolderHere)
{
    const QString before = QDir::currentPath();
    const fs::path work = FreshFolder("launch");
    const fs::path delivered = work / "delivered";
    fs::create_directories(delivered);
    std::ofstream(delivered / "ds.dat") << "delivered";
    std::ofstream(delivered / "ports.dat") << "delivered";
    const fs::path user = work / "user";
    fs::create_directories(user / "data");
    std::ofstream(user / "data" / "ds.dat") << "edited by the person";

    QDir::setCurrent(QString::fromStdString(work.string()));
    const quellix::DataFolderChoice moved = quellix::ChooseDataFolder(
        {QString::fromStdString((work / "nowhere").string()), QString::fromStdString(delivered.string())},
        QString::fromStdString(user.string()));
    EXPECT_EQ(QDir::currentPath(), QString::fromStdString(user.string()));
    std::string text, error;
    xandrel::ReadFileBytes((user / "data" / "ds.dat").string(), text, error);
    EXPECT_EQ(text, "edited by the person") << "the person's file is never overwritten";
    xandrel::ReadFileBytes((user / "data" / "ports.dat").string(), text, error);
    EXPECT_EQ(text, "delivered");

    const quellix::DataFolderChoice stays = quellix::ChooseDataFolder({}, "/nonexistent");
    EXPECT_EQ(stays.workingFolder, QString::fromStdString(user.string())) << "a data folder here is used as it is";
    QDir::setCurrent(before);
}

TEST(CommandLine, ModelIsAnyNameTheCommandLineProgramTakes)
{
    const quellix::ProgramUsage usage{"Quellix", ""};
    const std::tuple<std::vector<const char*>, const char*, std::optional<int>> cases[] = {
        {{"--model", "4x4"}, "INFOHDMIMATRIX0001_4_4", std::nullopt},
        {{"--model=vga-5x5"}, "INFOVGAMATRIX_5_5", std::nullopt},
        {{"-m", "INFOHDMIMATRIX0001_8_4", "-style", "fusion"}, "INFOHDMIMATRIX0001_8_4", std::nullopt},
        {{"--model", "9x9"}, nullptr, 2},
        {{"--model"}, nullptr, 2},
        {{}, nullptr, std::nullopt},
    };
    for (const auto& [arguments, className, status] : cases) {
        std::vector<char*> argv{const_cast<char*>("Quellix")};
        for (const char* argument : arguments)
            argv.push_back(const_cast<char*>(argument));
        quellix::ProgramOptions options;
        EXPECT_EQ(quellix::AnswerCommandLine(static_cast<int>(argv.size()), argv.data(), usage, &options), status)
            << (arguments.empty() ? "" : arguments[0]);
        EXPECT_EQ(options.model, className ? xandrel::FindModel(className) : nullptr);
    }
}

}  // namespace
