// SPDX-License-Identifier: GPL-3.0-or-later
// COM numbers for the ports of this computer, the pin file, and port numbers typed by a person.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <tuple>

#include "tavrik/PortTable.h"

namespace {

class PortTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousLister_ = table.setLister([this] { return listed; });
        previousPinFile_ = table.pinFile();
        pinFile_ =
            ::testing::TempDir() + "quellix-ports-" + std::to_string(::getpid()) + ".dat";  // tests run side by side
        std::remove(pinFile_.c_str());
        table.setPinFile(pinFile_);
    }

    void TearDown() override
    {
        table.setLister(previousLister_);
        table.setPinFile(previousPinFile_);
        table.forgetRunTimeAdditions();
        std::remove(pinFile_.c_str());
    }

    void writePins(const std::string& text) { std::ofstream(pinFile_) << text; }

    std::map<int, std::string> numbers()
    {
        std::map<int, std::string> result;
        for (const tavrik::PortEntry& entry : table.entries())
            result[entry.number] = entry.address;
        return result;
    }

    tavrik::PortTable& table = tavrik::PortTable::instance();
    std::vector<tavrik::SystemPort> listed;
    std::string pinFile_;
    tavrik::PortLister previousLister_;
    std::string previousPinFile_;
};

TEST_F(PortTableTest, SystemPortsGetNumbersByTheirNames)
{
    listed = {{"/dev/ttyXR0", "exar"},
              {"/dev/ttyUSB1", "FT232R USB UART"},
              {"/dev/ttyS0", ""},
              {"/dev/ttyACM0", "modem"},
              {"/dev/ttyS40", "far"}};
    EXPECT_EQ(
        numbers(),
        (std::map<int, std::string>{
            {1, "/dev/ttyS0"}, {18, "/dev/ttyUSB1"}, {49, "/dev/ttyACM0"}, {81, "/dev/ttyS40"}, {82, "/dev/ttyXR0"}}));
    // Numbers do not move when another port comes or goes.
    listed.erase(listed.begin() + 2);
    EXPECT_EQ(table.addressOf(18), "/dev/ttyUSB1");
    EXPECT_EQ(table.addressOf(1), "");
}

TEST_F(PortTableTest, PinFileFixesNumbersAndAddsPortsNoListingShows)
{
    listed = {{"/dev/ttyUSB0", "adapter"}, {"/dev/ttyUSB3", "other adapter"}};
    writePins("# pinned ports\n"
              "\n"
              "20 = /dev/pts/4\n"
              "  COM21 =  tcp://192.168.1.50:4001  \r\n"
              "17 = /dev/ttyUSB3\n"
              "20 = /dev/pts/9\n"
              "no number here\n"
              "0 = /dev/zero-is-no-port\n"
              "300 = /dev/too-high\n"
              "22 =\n");
    EXPECT_EQ(numbers(),
              (std::map<int, std::string>{
                  {17, "/dev/ttyUSB3"}, {20, "/dev/pts/4"}, {21, "tcp://192.168.1.50:4001"}, {81, "/dev/ttyUSB0"}}));
    for (const tavrik::PortEntry& entry : table.entries()) {
        if (entry.number == 17) {
            EXPECT_TRUE(entry.listed);
            EXPECT_EQ(entry.description, "other adapter");
        }
        if (entry.number == 20) {
            EXPECT_FALSE(entry.listed);
        }
    }
}

TEST_F(PortTableTest, PinFileIsReadWithinBoundsAndEachProblemToldOnce)
{
    const auto problemsTold = [this] {
        ::testing::internal::CaptureStderr();
        const auto result = numbers();
        numbers();  // read again: nothing new to tell
        return std::make_pair(result, ::testing::internal::GetCapturedStderr());
    };

    std::map<int, std::string> pins;
    std::string told;
    using namespace std::string_literals;
    writePins("20 = /dev/pts/4\n21 = /dev/pts/5\0.lock\n22 = /dev/pts/\x1b\n23 = /dev/pts/6\n"s);
    std::tie(pins, told) = problemsTold();
    EXPECT_EQ(pins, (std::map<int, std::string>{{20, "/dev/pts/4"}, {23, "/dev/pts/6"}}));
    EXPECT_EQ(told,
              pinFile_ + " line 2: the path holds a control character; the entry is skipped\n" + pinFile_
                  + " line 3: the path holds a control character; the entry is skipped\n");

    // 10 bytes short of the limit: the next line straddles it.
    const std::string kept = "20 = /dev/pts/4\n# " + std::string(tavrik::PortTable::kPinFileLimit - 29, '-') + "\n";
    writePins(kept + "21 = /dev/pts/across-the-limit\n22 = /dev/pts/past-the-limit\n");
    std::tie(pins, told) = problemsTold();
    EXPECT_EQ(pins, (std::map<int, std::string>{{20, "/dev/pts/4"}})) << "a line cut at the limit is dropped too";
    EXPECT_EQ(told,
              pinFile_ + ": larger than 1 MiB; everything after its first " + std::to_string(kept.size())
                  + " bytes is ignored\n");

    std::remove(pinFile_.c_str());
    ASSERT_EQ(::mkfifo(pinFile_.c_str(), 0600), 0);  // reading it would wait for a writer forever
    std::tie(pins, told) = problemsTold();
    EXPECT_TRUE(pins.empty());
    EXPECT_EQ(told, pinFile_ + ": not a regular file; no ports are pinned from it\n");
}

TEST_F(PortTableTest, AddressesGivenAtRunTimeKeepTheirNumber)
{
    listed = {{"/dev/ttyS0", ""}};
    writePins("81 = /dev/pts/1\n");
    const int number = table.numberOf("/dev/pts/7");
    EXPECT_EQ(number, 82);
    EXPECT_EQ(table.numberOf("/dev/pts/7"), 82);
    EXPECT_EQ(table.numberOf("/dev/ttyS0"), 1);
    EXPECT_EQ(table.numberOf("/dev/ttyUSB2"), 19) << "a conventional name takes its number";
    EXPECT_TRUE(table.assign(5, "tcp://localhost:5000"));
    EXPECT_FALSE(table.assign(256, "/dev/x"));
    EXPECT_EQ(table.addressOf(5), "tcp://localhost:5000");
    table.forgetRunTimeAdditions();
    EXPECT_EQ(table.addressOf(82), "");
}

TEST_F(PortTableTest, PortsAreFoundAsPeopleTypeThemAndAnUnknownOneIsNamedWithThePortsPresent)
{
    listed = {{"/dev/ttyS0", ""}};
    std::string problem;
    EXPECT_EQ(tavrik::ResolvePort("COM1", problem), 1);
    EXPECT_EQ(tavrik::ResolvePort("1", problem), 1);
    const int null = tavrik::ResolvePort("/dev/null", problem);  // a device path no listing shows
    EXPECT_GE(null, tavrik::PortTable::kFirstExtraNumber) << problem;
    EXPECT_EQ(tavrik::ResolvePort("null", problem), null) << "a bare device name";
    const std::string link = ::testing::TempDir() + "quellix-by-id-" + std::to_string(::getpid());
    std::remove(link.c_str());
    ASSERT_EQ(::symlink("/dev/null", link.c_str()), 0);
    EXPECT_EQ(tavrik::ResolvePort(link, problem), null) << "a link is followed to its device";
    std::remove(link.c_str());
    EXPECT_GT(tavrik::ResolvePort("tcp://127.0.0.1:4001", problem), 0);

    for (const char* wrong : {"COM0", "COM9", "ttyQX7", "/dev/nothing-here", "tcp://127.0.0.1"}) {
        problem.clear();
        EXPECT_EQ(tavrik::ResolvePort(wrong, problem), 0) << wrong;
        EXPECT_NE(problem.find(wrong), std::string::npos) << problem;
    }
    EXPECT_NE(problem.find("tcp://host:port"), std::string::npos) << problem;
    tavrik::ResolvePort("COM9", problem);
    EXPECT_NE(problem.find("COM1 (/dev/ttyS0)"), std::string::npos) << "the ports present: " << problem;
    EXPECT_NE(problem.find("QUELLIX_PORTS"), std::string::npos) << problem;
}

// A program told one port by its path or address need not know the others:
// listing them is the slowest part of its start.
TEST_F(PortTableTest, PortsNamedByAddressAreLocatedWithoutListingTheSystemsPorts)
{
    int listings = 0;
    table.setLister([&] {
        ++listings;
        return listed;
    });
    listed = {{"/dev/ttyS0", ""}};
    writePins("20 = /dev/null\n21 = tcp://127.0.0.1:4001\n17 = /dev/zero\n");
    std::string problem;
    const auto located = [&](const std::string& text) {
        const tavrik::LocatedPort port = tavrik::LocatePort(text, problem);
        return std::make_tuple(port.number, port.address, port.lasting);
    };
    using Located = std::tuple<int, std::string, bool>;
    EXPECT_EQ(located("/dev/null"), Located(20, "/dev/null", true)) << "pinned";
    EXPECT_EQ(located("null"), Located(20, "/dev/null", true));
    EXPECT_EQ(located("tcp://127.0.0.1:4001"), Located(21, "tcp://127.0.0.1:4001", true));
    EXPECT_EQ(located("COM21"), Located(21, "tcp://127.0.0.1:4001", true)) << "a pinned number";
    EXPECT_EQ(located("tcp://127.0.0.1:4002"), Located(81, "tcp://127.0.0.1:4002", false)) << "for this run only";
    EXPECT_EQ(tavrik::PortLabel(81), "COM81 (tcp://127.0.0.1:4002)");
    bool lasting = false;
    EXPECT_EQ(table.numberWithoutListing("/dev/ttyUSB2", lasting), 19);
    EXPECT_TRUE(lasting) << "a number its name fixes";
    EXPECT_EQ(table.numberWithoutListing("/dev/ttyUSB0", lasting), 82);
    EXPECT_FALSE(lasting) << "its number 17 is pinned to another port";
    EXPECT_EQ(listings, 0);

    EXPECT_EQ(located("COM1"), Located(1, "/dev/ttyS0", true)) << "a number no pin gives is looked up";
    EXPECT_EQ(located("/dev/nothing-here"), Located(0, "", false));
    EXPECT_NE(problem.find("COM1 (/dev/ttyS0)"), std::string::npos) << "the ports present: " << problem;
    EXPECT_GT(listings, 0);
}

TEST(PortNumbers, ReadAsAPersonTypesThem)
{
    EXPECT_EQ(tavrik::ParsePortNumber("3"), 3);
    EXPECT_EQ(tavrik::ParsePortNumber("COM3"), 3);
    EXPECT_EQ(tavrik::ParsePortNumber("com255"), 255);
    EXPECT_EQ(tavrik::ParsePortNumber("COM"), 0);
    EXPECT_EQ(tavrik::ParsePortNumber("0"), 0);
    EXPECT_EQ(tavrik::ParsePortNumber("256"), 0);
    EXPECT_EQ(tavrik::ParsePortNumber("3a"), 0);
    EXPECT_EQ(tavrik::ParsePortNumber("-3"), 0);
    EXPECT_EQ(tavrik::ParsePortNumber(""), 0);
}

}  // namespace
