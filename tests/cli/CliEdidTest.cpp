// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-cli edid: report from files, and read, write, copy and ids
// against the simulated device.
#include <cstdio>
#include <fstream>
#include <random>

#include "CliFixture.h"
#include "xandrel/custom/AtomicFile.h"
#include "xandrel/edid/EdidFile.h"
#include "xandrel/edid/EdidReport.h"

using namespace clitest;

namespace {

class CliEdid : public Cli {
protected:
    std::string writeFile(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(file(name), std::ios::binary) << bytes;
        return file(name);
    }

    static std::string Bytes(const Edid& edid) { return std::string(edid.begin(), edid.end()); }

    // 256 bytes that are no EDID: no header, no sound checksums.
    std::string writeGarbage() const
    {
        std::mt19937 random(7);
        std::string bytes(256, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        return writeFile("garbage.bin", bytes);
    }
};

TEST_F(CliEdid, ReportGivesTheDecodersBytesOrReadableText)
{
    const Edid edid = MakeDefaultEdid(0x4321);
    const std::string path = writeFile("report.bin", Bytes(edid));
    std::string expected;
    EDID_MakeReport(edid, expected);

    const ProcessResult raw = run({"edid", "report", "--raw", path}, false);
    ASSERT_EQ(raw.exitCode, 0) << raw.err;
    EXPECT_EQ(raw.out, expected) << "CR LF and code page 950, byte for byte";

    const ProcessResult text = run({"edid", "report", path}, false);
    EXPECT_NE(text.out.find("Manufacturer ID: QLX4321\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("\xC3\x97"), std::string::npos) << "the multiplication sign in UTF-8";
    EXPECT_EQ(text.out.find('\r'), std::string::npos);

    // A file that is no EDID: the report's one line, ended, and a failure.
    const ProcessResult notEdid = run({"edid", "report", "--raw", writeGarbage()}, false);
    EXPECT_EQ(notEdid.exitCode, 1);
    EXPECT_EQ(notEdid.out, "error edid format\r\n");
    EXPECT_EQ(run({"edid", "report", writeGarbage()}, false).out, "error edid format\n");
}

// Several files in one run: each report under a line naming its file; the
// worst outcome sets the exit status. A name that is no UTF-8 is read as
// typed and still gives valid JSON.
TEST_F(CliEdid, ReportTakesSeveralFiles)
{
    const std::string good = writeFile("good-\xFF.bin", Bytes(MakeDefaultEdid(0x4321)));
    const std::string garbage = writeGarbage();
    const std::string missing = file("missing.bin");

    ProcessResult result = run({"edid", "report", good, garbage}, false);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const size_t first = result.out.find("==> " + good + " <==\nManufacturer ID: QLX4321\n");
    const size_t second = result.out.find("\n\n==> " + garbage + " <==\nerror edid format\n");
    EXPECT_TRUE(first == 0 && second != std::string::npos) << result.out;
    EXPECT_EQ(run({"edid", "report", missing, good}, false).exitCode, 4);
    // quellix-cli reports plain runs itself; any option hands the run to the
    // full program, which must answer byte for byte alike.
    const ProcessResult plain = run({"edid", "report", good, garbage, missing}, false);
    const ProcessResult handedOn = run({"--model", "4x4", "edid", "report", good, garbage, missing}, false);
    EXPECT_EQ(handedOn.out, plain.out);
    EXPECT_EQ(handedOn.err, plain.err);
    EXPECT_EQ(handedOn.exitCode, plain.exitCode);

    result = run({"edid", "report", good, "--json", garbage, missing}, false);
    EXPECT_EQ(result.exitCode, 4);
    const QJsonArray reports = JsonOf(result.out).toArray();
    ASSERT_EQ(reports.size(), 3);
    EXPECT_EQ(reports[0]["file"], QString::fromUtf8(good.substr(0, good.size() - 5)) + QChar(0xFFFD) + ".bin");
    EXPECT_TRUE(reports[0]["report"].toString().contains("Manufacturer ID: QLX4321"));
    EXPECT_EQ(reports[1]["error"]["code"], 1);
    EXPECT_EQ(reports[2]["error"]["code"], 4);
}

TEST_F(CliEdid, UnusableFilesAreRefusedWithExit4BeforeAnythingIsSent)
{
    for (size_t size : {size_t{0}, size_t{100}, size_t{255}, size_t{257}}) {
        const std::string path = writeFile("size" + std::to_string(size), std::string(size, '\0'));
        const ProcessResult result = run({"edid", "report", path}, false);
        EXPECT_EQ(result.exitCode, 4) << size;
        EXPECT_NE(result.err.find(path), std::string::npos) << result.err;
        EXPECT_EQ(run({"edid", "write", path, "input", "1"}).exitCode, 4);
    }
    EXPECT_EQ(run({"edid", "report", file("missing.bin")}, false).exitCode, 4);

    const ProcessResult garbage = run({"edid", "write", writeGarbage(), "input", "1"});
    EXPECT_EQ(garbage.exitCode, 4);
    EXPECT_NE(garbage.err.find("header"), std::string::npos) << garbage.err;

    for (const std::string& target : {std::string("/quellix-no-such-folder/x.bin"), ::testing::TempDir()}) {
        const ProcessResult read = run({"edid", "read", "input", "1", "-o", target});
        EXPECT_EQ(read.exitCode, 4) << target;
        EXPECT_NE(read.err.find("cannot save to " + target), std::string::npos) << read.err;
    }
    EXPECT_TRUE(device->frames().empty()) << "nothing is sent for a file that cannot be used";
}

TEST_F(CliEdid, ReadSavesTheWholeEdidWithSoundChecksums)
{
    Edid edid = MakeDefaultEdid(0x0202);
    edid[127] ^= 0xFF;  // a device EDID with a wrong checksum
    device->withMatrix([&](VirtualMatrix& matrix) {
        matrix.inputEdid(2) = edid;
        matrix.edidReadTime = std::chrono::milliseconds(20);
    });
    const std::string path = file("read.bin");
    const ProcessResult result = run({"edid", "read", "--output=" + path, "input", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("checksums were wrong"), std::string::npos) << result.out;
    std::string saved, error;
    ASSERT_TRUE(xandrel::ReadFileBytes(path, saved, error));
    edid[127] ^= 0xFF;
    EXPECT_EQ(saved, Bytes(edid));
}

// A write is 32 commands of 200 ms pacing each: one is enough here.
TEST_F(CliEdid, WriteAndCopyChangeTheDevicesEdids)
{
    const Edid edid = MakeDefaultEdid(0x7777);
    const std::string path = writeFile("write.bin", Bytes(edid));
    ASSERT_EQ(run({"edid", "write", path, "input", "5"}).exitCode, 0);
    ASSERT_EQ(run({"edid", "copy", "output", "2", "input", "7"}).exitCode, 0);
    device->withMatrix([&](VirtualMatrix& matrix) {
        EXPECT_EQ(matrix.inputEdid(5), edid);
        EXPECT_EQ(matrix.inputEdid(7), matrix.outputEdid(2));
    });
    const ProcessResult ids = run({"edid", "ids"});
    EXPECT_NE(ids.out.find("Input5 Manufacturer ID: QLX7777\n"), std::string::npos) << ids.out;

    const size_t framesBefore = device->frames().size();
    const ProcessResult unsupported = run({"edid", "copy", "input", "1", "input", "2"});
    EXPECT_EQ(unsupported.exitCode, 2);
    EXPECT_EQ(run({"edid", "copy", "output", "9", "all"}).exitCode, 2) << "an 8x8 has no output 9";
    EXPECT_EQ(device->frames().size(), framesBefore);
}

TEST_F(CliEdid, IdsSayUnknowForInputsThatDoNotAnswer)
{
    model = "INFOHDMIMATRIX0001_4_8";
    start(SimOptions{});
    const ProcessResult result = run({"--json", "edid", "ids"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const QJsonValue ids = JsonOf(result.out);
    EXPECT_EQ(ids[3], QJsonObject({{"input", 4}, {"manufacturer", "QLX"}, {"product", "0104"}})) << result.out;
    EXPECT_EQ(ids[4], QJsonObject({{"input", 5}, {"manufacturer", QJsonValue()}, {"product", QJsonValue()}}));

    device->command("fault wrong-ack");
    const ProcessResult none = run({"edid", "ids"});
    EXPECT_EQ(none.exitCode, 1) << "no input gave a valid answer";
    EXPECT_EQ(Occurrences(none.out, "Manufacturer ID: Unknow!\n"), 8u) << none.out;
}

TEST_F(CliEdid, DeviceThatStopsAnsweringFailsTheWrite)
{
    const std::string path = writeGarbage();  // --force sends even an image that is no EDID
    device->command("fault hang-up-after 5");
    const ProcessResult result = run({"edid", "write", "--force", "--no-restore-on-failure", path, "input", "1"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find("input 1: failed after 5 of 32 chunks; input 1 may hold a broken EDID"),
              std::string::npos)
        << result.out;
}

// The device server drops the line while it takes chunk 5; the EDID input 3
// held, read and kept first, is written back over the line opened afresh.
TEST_F(CliEdid, AWriteCutOffPartWayIsUndone)
{
    SimOptions overTcp;
    overTcp.tcp = true;
    start(overTcp);
    Edid former{};
    device->withMatrix([&former](VirtualMatrix& matrix) {
        former = matrix.inputEdid(3);
        matrix.edidReadTime = std::chrono::milliseconds(20);
    });
    const std::string path = writeFile("cut.bin", Bytes(MakeDefaultEdid(0x7777)));
    device->command("fault hang-up-after 6");  // the read that keeps input 3, then chunks 1 to 5
    const ProcessResult result = run({"edid", "write", path, "input", "3"});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.out.find("input 3: failed after 5 of 32 chunks; the EDID it held before was written back"),
              std::string::npos)
        << result.out;
    device->withMatrix([&former](VirtualMatrix& matrix) { EXPECT_EQ(matrix.inputEdid(3), former); });
}

}  // namespace
