// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-cli's operator verbs against the simulator: routes by name and
// confirmed, presets, backup and restore, and the traffic trace.
#include "CliFixture.h"

#include "xandrel/custom/StringTableFile.h"

namespace clitest {
namespace {

class CliOperator : public Cli {
protected:
    void SetUp() override
    {
        Cli::SetUp();
        data = file("data");
        std::filesystem::remove_all(data);
        std::filesystem::create_directories(data);
        xandrel::StringTable names = xandrel::DefaultStringTable();
        names.inputs[2] = "Laptop";
        names.inputs[4] = "Camera";
        names.inputs[5] = "camera";
        names.outputs[0] = "Projector";
        std::string error;
        ASSERT_TRUE(xandrel::WriteStringTableFile(names, error, data)) << error;
    }
    void TearDown() override
    {
        std::filesystem::remove_all(data);
        Cli::TearDown();
    }

    ProcessResult runWithData(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--data", data});
        return run(arguments);
    }

    std::string data;
};

TEST_F(CliOperator, RoutesByNameConfirmedAndTracedAndPresetsRecallOnlyWhatChanges)
{
    device->command("route all 1");
    ProcessResult result = runWithData({"route", "Projector:laptop,2:3", "--trace"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(device->routing(), (Bytes{3, 3, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(Occurrences(result.err, "read routing, ID 255"), 2u) << "read, then read back: " << result.err;
    EXPECT_NE(result.err.find("received  aa  acknowledged"), std::string::npos) << result.err;
    result = runWithData({"route", "1:Camera"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("more than one input is named 'Camera'; the inputs are 1 'input 1'"), std::string::npos)
        << result.err;
    EXPECT_NE(runWithData({"status"}).out.find("output 1 (Projector): input 3 (Laptop)"), std::string::npos);

    ASSERT_EQ(runWithData({"preset", "save", "Show", "A"}).exitCode, 0);
    ASSERT_EQ(run({"route", "--all", "8"}).exitCode, 0);
    ASSERT_EQ(runWithData({"preset", "recall", "Show A"}).exitCode, 0);
    EXPECT_EQ(device->routing(), (Bytes{3, 3, 1, 1, 1, 1, 1, 1}));
    const size_t frames = device->frames().size();
    result = runWithData({"preset", "recall", "Show A"});
    EXPECT_NE(result.out.find("already matches; nothing was sent"), std::string::npos) << result.out;
    EXPECT_EQ(device->frames().size(), frames + 1) << "the routing is read, nothing written";
    EXPECT_EQ(JsonOf(runWithData({"--json", "preset", "list"}).out)[0]["name"].toString(), "Show A");

    device->command("fault ignore-routing");
    result = run({"route", "2:5"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("the device did not follow: output 2 is on input 3, not 5"), std::string::npos)
        << result.err;
    EXPECT_EQ(run({"--no-confirm", "route", "2:5"}).exitCode, 0);
}

TEST_F(CliOperator, BackupRestoresRoutingNamesAndPresetsAndRefusesAnotherModel)
{
    device->command("route all 2");
    ASSERT_EQ(runWithData({"preset", "save", "All two"}).exitCode, 0);
    const std::string backup = file("backup.json");
    ASSERT_EQ(runWithData({"backup", backup}).exitCode, 0);
    const QJsonObject saved = JsonOf(contents(backup)).toObject();
    EXPECT_EQ(saved["id"].toInt(), 4);
    EXPECT_EQ(saved["inputs"][2].toString(), "Laptop");

    device->command("route all 5");
    std::filesystem::remove(std::filesystem::path(data) / "ds.dat");
    std::filesystem::remove(std::filesystem::path(data) / "presets.json");
    ProcessResult result = runWithData({"restore", backup});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("output 1: input 5 -> 2"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("input 3 name: \"input 3\" -> \"Laptop\""), std::string::npos) << result.out;
    EXPECT_EQ(device->routing(), Bytes(8, 2));
    EXPECT_EQ(runWithData({"preset", "list"}).out, "All two: 2 2 2 2 2 2 2 2\n");

    result = runWithData({"--model", "4x4", "restore", backup});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("is a backup of INFOHDMIMATRIX0001_8_8"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace clitest
