// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX serial and TCP transports against a pseudo-terminal and a
// loopback socket, and a serial port shared with the Qt transport.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tavrik/PosixTransports.h"

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t kLong = 2000;  // ms: long enough for anything that is on its way

// Reads exactly `size` bytes from a descriptor, or fewer when `deadline` passes first.
Bytes ReadFrom(int descriptor, size_t size, std::chrono::milliseconds deadline = 2s)
{
    Bytes bytes;
    const auto giveUp = std::chrono::steady_clock::now() + deadline;
    while (bytes.size() < size && std::chrono::steady_clock::now() < giveUp) {
        pollfd entry{descriptor, POLLIN, 0};
        if (::poll(&entry, 1, 50) != 1)
            continue;
        uint8_t buffer[256];
        const ssize_t n = ::read(descriptor, buffer, std::min(sizeof buffer, size - bytes.size()));
        if (n <= 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

void WriteTo(int descriptor, const std::string& text)
{
    ASSERT_EQ(::write(descriptor, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

std::string ReadText(tavrik::Transport& transport, size_t size, uint32_t timeoutMs = kLong)
{
    std::string text(size, '\0');
    text.resize(transport.read(reinterpret_cast<uint8_t*>(text.data()), size, timeoutMs));
    return text;
}

bool WriteText(tavrik::Transport& transport, const std::string& text)
{
    return transport.write(reinterpret_cast<const uint8_t*>(text.data()), text.size(), kLong);
}

class PosixSerial : public ::testing::Test {
protected:
    void SetUp() override
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master), 0);
        ASSERT_EQ(::unlockpt(master), 0);
        path = ::ptsname(master);
    }

    void TearDown() override
    {
        if (master >= 0)
            ::close(master);
    }

    tavrik::OpenOutcome openPosix() const
    {
        tavrik::OpenOutcome outcome;
        outcome.transport = tavrik::MakePosixSerialTransport(path, 9600, outcome);
        return outcome;
    }

    // The lock file the Qt transport makes for the port: the same the POSIX one must use.
    std::string qtLockFile() const
    {
        const std::string name = "/LCK.." + path.substr(5).replace(path.substr(5).find('/'), 1, "_");
        auto qt = tavrik::OpenTransport(path, 9600);
        for (const char* folder : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp", "/var/tmp",
                                   "/var/lock/lockdev", "/run/lock"})
            if (::access((folder + name).c_str(), F_OK) == 0)
                return folder + name;
        return {};
    }

    int master = -1;
    std::string path;
};

TEST_F(PosixSerial, CarriesBytesRawWaitsItsTimeAndDiscards)
{
    auto outcome = openPosix();
    ASSERT_EQ(outcome.status, tavrik::OpenStatus::Opened) << outcome.message;
    tavrik::Transport& line = *outcome.transport;

    const std::string raw = std::string("\x01\r\n\x11\x13\xff\x00", 7);  // no byte is translated or eaten
    ASSERT_TRUE(WriteText(line, raw));
    EXPECT_EQ(ReadFrom(master, raw.size()), Bytes(raw.begin(), raw.end()));
    WriteTo(master, raw);
    EXPECT_EQ(ReadText(line, raw.size()), raw);

    WriteTo(master, "abc");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadText(line, 8, 150), "abc") << "what arrived, once the time is up";
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 140ms);
    EXPECT_LT(waited, 1500ms);
    EXPECT_EQ(ReadText(line, 1, 0), "");

    WriteTo(master, "xyz");
    ASSERT_EQ(ReadText(line, 1), "x");
    line.discardInput();
    WriteTo(master, "ok");
    EXPECT_EQ(ReadText(line, 2), "ok") << "\"yz\" is dropped";
    EXPECT_FALSE(line.broken());
}

TEST_F(PosixSerial, FarEndClosingBreaksTheLine)
{
    auto outcome = openPosix();
    ASSERT_EQ(outcome.status, tavrik::OpenStatus::Opened) << outcome.message;
    ::close(master);
    master = -1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadText(*outcome.transport, 1), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "a hung-up line is not waited on";
    EXPECT_TRUE(outcome.transport->broken());
    EXPECT_FALSE(WriteText(*outcome.transport, "x"));
}

// Qt SerialPort holds the port by a lock file (and TIOCEXCL, which root
// passes): the window or the daemon holding it keeps the launcher out and
// the reverse.
TEST_F(PosixSerial, PortHeldByQtOrByItselfIsInUse)
{
    {
        auto qt = tavrik::OpenTransport(path, 9600);
        ASSERT_EQ(qt.status, tavrik::OpenStatus::Opened) << qt.message;
        const auto posix = openPosix();
        EXPECT_EQ(posix.status, tavrik::OpenStatus::InUse);
        EXPECT_EQ(posix.message, path + " is in use by another program");
    }
    {
        auto posix = openPosix();
        ASSERT_EQ(posix.status, tavrik::OpenStatus::Opened) << posix.message;
        EXPECT_EQ(tavrik::OpenTransport(path, 9600).status, tavrik::OpenStatus::InUse);
        EXPECT_EQ(openPosix().status, tavrik::OpenStatus::InUse);
    }
    EXPECT_EQ(tavrik::OpenTransport(path, 9600).status, tavrik::OpenStatus::Opened) << "closing frees it";
}

TEST_F(PosixSerial, LockLeftByADeadProcessIsTakenOverALiveOneIsNot)
{
    const std::string lockFile = qtLockFile();
    ASSERT_FALSE(lockFile.empty()) << "Qt made no lock file for " << path;
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);

    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    std::ofstream(lockFile) << dead << "\nquellix\n" << host << "\n";
    {
        auto posix = openPosix();
        ASSERT_EQ(posix.status, tavrik::OpenStatus::Opened) << posix.message;
        std::ifstream taken(lockFile);
        long long owner = 0;
        taken >> owner;
        EXPECT_EQ(owner, ::getpid());
    }
    EXPECT_NE(::access(lockFile.c_str(), F_OK), 0) << "closing removes the lock file";

    char program[4096] = {};  // this very process, as a live owner that is not us
    ASSERT_GT(::readlink("/proc/self/exe", program, sizeof program - 1), 0);
    std::ofstream(lockFile) << ::getpid() << "\n" << program << "\n" << host << "\n";
    EXPECT_EQ(openPosix().status, tavrik::OpenStatus::InUse);
    std::remove(lockFile.c_str());
}

TEST_F(PosixSerial, OpenFailuresAreToldApart)
{
    tavrik::OpenOutcome outcome;
    EXPECT_FALSE(tavrik::MakePosixSerialTransport("/dev/quellix-no-such-port", 9600, outcome));
    EXPECT_EQ(outcome.status, tavrik::OpenStatus::NotFound);
    EXPECT_EQ(outcome.message, "/dev/quellix-no-such-port: no such port");

    const std::string plainFile = ::testing::TempDir() + "quellix-not-a-port-" + std::to_string(::getpid());
    std::ofstream(plainFile) << "x";
    EXPECT_FALSE(tavrik::MakePosixSerialTransport(plainFile, 9600, outcome));
    EXPECT_EQ(outcome.status, tavrik::OpenStatus::Failed);
    EXPECT_NE(outcome.message.find(plainFile + ": "), std::string::npos);

    if (::geteuid() != 0) {  // root opens any device file
        ASSERT_EQ(::chmod(plainFile.c_str(), 0), 0);
        EXPECT_FALSE(tavrik::MakePosixSerialTransport(plainFile, 9600, outcome));
        EXPECT_EQ(outcome.status, tavrik::OpenStatus::NoPermission);
        EXPECT_EQ(outcome.message.rfind(plainFile + ": permission denied. ", 0), 0u) << outcome.message;
    }
    std::remove(plainFile.c_str());
}

class PosixTcp : public ::testing::Test {
protected:
    void SetUp() override
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
        ASSERT_EQ(::listen(listener, 1), 0);
        ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
        port = ntohs(address.sin_port);
    }

    void TearDown() override
    {
        ::close(listener);
        if (peer >= 0)
            ::close(peer);
    }

    tavrik::OpenOutcome open(const std::string& query = "")
    {
        tavrik::OpenOutcome outcome;
        outcome.transport = tavrik::MakePosixTcpTransport("tcp://127.0.0.1:" + std::to_string(port) + query, outcome);
        pollfd entry{listener, POLLIN, 0};
        if (::poll(&entry, 1, kLong) == 1)
            peer = ::accept(listener, nullptr, nullptr);
        return outcome;
    }

    int listener = -1;
    int peer = -1;
    uint16_t port = 0;
};

TEST_F(PosixTcp, SendsTheTokenFirstCarriesBytesAndSeesThePeerGo)
{
    auto outcome = open("?token=s3cret");
    ASSERT_EQ(outcome.status, tavrik::OpenStatus::Opened) << outcome.message;
    ASSERT_GE(peer, 0);
    tavrik::Transport& line = *outcome.transport;

    ASSERT_TRUE(WriteText(line, "ping"));
    const std::string expected = "AUTH s3cret\nping";
    EXPECT_EQ(ReadFrom(peer, expected.size()), Bytes(expected.begin(), expected.end()));
    WriteTo(peer, "pong");
    EXPECT_EQ(ReadText(line, 4), "pong");

    WriteTo(peer, "xyz");
    ASSERT_EQ(ReadText(line, 1), "x");
    line.discardInput();
    WriteTo(peer, "ok");
    EXPECT_EQ(ReadText(line, 2), "ok") << "\"yz\" is dropped";
    EXPECT_FALSE(line.broken());

    ::close(peer);
    peer = -1;
    EXPECT_EQ(ReadText(line, 1), "");
    EXPECT_TRUE(line.broken());
    EXPECT_FALSE(WriteText(line, "x")) << "and no SIGPIPE ends the test";
}

TEST_F(PosixTcp, RefusedOrMalformedAddressesAreNotFound)
{
    ::close(listener);  // nothing listens on the port now
    listener = -1;
    tavrik::OpenOutcome outcome;
    const std::string refused = "tcp://127.0.0.1:" + std::to_string(port);
    EXPECT_FALSE(tavrik::MakePosixTcpTransport(refused, outcome));
    EXPECT_EQ(outcome.status, tavrik::OpenStatus::NotFound);
    EXPECT_EQ(outcome.message.rfind(refused + ": ", 0), 0u) << outcome.message;

    for (const char* malformed : {"tcp://host", "tcp://:80", "tcp://host:0", "tcp://host:65536", "tcp://host:8x",
                                  "tcp://host:80?token=", "tcp://host:80?user=me"}) {
        EXPECT_FALSE(tavrik::MakePosixTcpTransport(malformed, outcome));
        EXPECT_EQ(outcome.status, tavrik::OpenStatus::NotFound) << malformed;
        EXPECT_EQ(outcome.message, std::string(malformed) + ": not a tcp://host:port[?token=SECRET] address");
    }
}

}  // namespace
