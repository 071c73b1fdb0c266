// SPDX-License-Identifier: GPL-3.0-or-later
// The shared line: clients of the device's own protocol through the daemon.
#include <QJsonArray>
#include <QJsonObject>
#include <QTcpSocket>

#include <map>
#include <thread>

#include "DaemonFixture.h"
#include "ProcessRunner.h"
#include "xandrel/edid/EdidExchange.h"

namespace daemontest {
namespace {

class SharedLine : public DaemonTest { };

// N commands from each of two clients at once: every one answered, and the
// device took every frame whole.
TEST_F(SharedLine, TwoClientsShareTheLineWithoutInterleavedFrames)
{
    startDaemon();
    constexpr int kCommands = 50;
    const auto run = [&](int client, int& succeeded) {
        LineClient line(lineAddress());
        ASSERT_TRUE(line.opened);
        for (int k = 0; k < kCommands; ++k) {
            if (k % 2 == 0) {
                BYTE routing[8];
                for (int output = 0; output < 8; ++output)
                    routing[output] = static_cast<BYTE>((output + k + client) % 8 + 1);
                succeeded += line.model->DEVMA_SetVideoOutputChannel(routing);
            } else {
                succeeded += line.model->DEVMA_GetVideoOutputChannel();
            }
        }
    };
    int first = 0, second = 0;
    std::thread other([&] { run(1, second); });
    run(0, first);
    other.join();
    EXPECT_EQ(first, kCommands);
    EXPECT_EQ(second, kCommands);
    EXPECT_GE(device->frames().size(), 2u * kCommands);
    EXPECT_EQ(simLogged("ignored"), 0);
}

TEST_F(SharedLine, FrontPanelEventReachesEveryClient)
{
    startDaemon();
    LineClient a(lineAddress()), b(lineAddress());
    ASSERT_TRUE(a.opened && b.opened);
    // Both clients are known to the daemon once each had an answer.
    ASSERT_EQ(a.model->DEVMA_GetDeviceID(), 1);
    ASSERT_EQ(b.model->DEVMA_GetDeviceID(), 1);
    device->command("route 3 5");
    for (LineClient* client : {&a, &b}) {
        EXPECT_TRUE(eventually([&] { return client->model->DEVMA_GetEventMessage() == 1; }));
        EXPECT_EQ(client->model->m_EventType, 1);
        EXPECT_EQ(client->model->m_VideoOutputChannel[2], 5);
    }
}

// An event message the daemon reads while a client's frame waits its turn
// reaches that client after its answer, not in its place.
TEST_F(SharedLine, EventWaitsForTheAnswerInFlight)
{
    device->withMatrix([](VirtualMatrix& matrix) { matrix.copyTime = std::chrono::milliseconds(300); });
    startDaemon();
    LineClient copying(lineAddress()), waiting(lineAddress());
    ASSERT_EQ(waiting.model->DEVMA_GetDeviceID(), 1);
    const size_t framesBefore = device->frames().size();
    copying.driver.RS232_ReleaseThread();  // its socket moves to the copy's thread, and back after
    auto copied = std::async(std::launch::async, [&] {
        xandrel::PlainEdidHost host(*copying.model);
        xandrel::EdidProgress progress;
        const bool done = EDID_DeviceCopy(host, progress, xandrel::edid::kInputToSlot, xandrel::edid::kDefaultA, 2);
        copying.driver.RS232_ReleaseThread();
        return done;
    });
    // The copy is under way: the front panel's event follows its B6, and the
    // waiting client's frame is queued behind it.
    ASSERT_TRUE(eventually([&] { return device->frames().size() > framesBefore; }));
    device->command("route 3 5");
    EXPECT_EQ(waiting.model->DEVMA_GetVideoOutputChannel(), 1);
    EXPECT_TRUE(copied.get());
    EXPECT_TRUE(eventually([&] { return waiting.model->DEVMA_GetEventMessage() == 1; }));
    EXPECT_EQ(waiting.model->m_VideoOutputChannel[2], 5);
}

// The daemon's event poll reads with short time-outs; the exchanges after
// it (its own and the shared line's) wait as long as a line at the real
// 9600 baud needs.
TEST_F(SharedLine, ExchangesAfterThePollWaitForSlowAnswers)
{
    startDevice(0, Faults{.realBaudRate = true});
    config.devices.front().port = device->address();
    startDaemon();
    LineClient line(lineAddress());
    // A front-panel change on output 8 that the daemon shows: its poll took
    // the event message, so the poll ran last on the line.
    const auto pollTakes = [&](int input) {
        device->command("route 8 " + std::to_string(input));
        return eventually(
            [&] { return http("GET", "/api/devices/studio").json()["routing"].toArray().at(7).toInt() == input; });
    };
    for (int input = 2; input <= 3; ++input) {
        ASSERT_TRUE(pollTakes(2 * input));
        const HttpReply reply =
            http("PUT", "/api/devices/studio/routing", "{\"1\": " + QByteArray::number(input) + "}");
        EXPECT_EQ(reply.status, 200) << reply.body.toStdString();
        ASSERT_TRUE(pollTakes(2 * input + 1));
        EXPECT_EQ(line.model->DEVMA_GetVideoOutputChannel(), 1);
        EXPECT_EQ(line.model->m_VideoOutputChannel[0], input);
    }
}

// A client that stops half-way through a frame, or leaves in the middle of
// one, holds nobody up; its part-frame is dropped after a second.
TEST_F(SharedLine, StalledOrVanishedClientsBlockNobody)
{
    startDaemon();
    QTcpSocket stalled, vanished;
    for (QTcpSocket* socket : {&stalled, &vanished}) {
        socket->connectToHost("127.0.0.1", daemon->linePort);
        ASSERT_TRUE(socket->waitForConnected(5000));
        socket->write(QByteArray::fromHex("10 4B 58"));
        socket->waitForBytesWritten(1000);
    }
    vanished.abort();
    LineClient line(lineAddress());
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(line.model->DEVMA_GetVideoOutputChannel(), 1);
    // The stalled client's next frame starts afresh after its part was
    // dropped. The daemon drops a part-frame after 1 s of real time on its
    // own timer, which nothing here can tell: this wait lets that time pass.
    QThread::msleep(1200);
    BYTE frame[8] = {8, 0, 0, 0, 0, 255, 1, 0};
    std::copy_n(xandrel::FindModelByAnyName(model)->header.begin(), 4, frame + 1);
    frame[7] = line.model->DEVMA_CommandCheckSum(frame, 7);
    stalled.write(reinterpret_cast<const char*>(frame), 8);
    ASSERT_TRUE(stalled.waitForReadyRead(5000));
    EXPECT_EQ(static_cast<uint8_t>(stalled.read(1)[0]), 0xAA);
    EXPECT_EQ(simLogged("ignored"), 0);
}

TEST_F(SharedLine, CommandLineProgramWorksThroughIt)
{
    startDaemon();
    const auto result =
        testsupport::RunProcess(QUELLIX_CLI, {"--port", lineAddress(), "--model", "8x8", "route", "3:5,4:2"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(device->routing()[2], 5);
    EXPECT_EQ(device->routing()[3], 2);
    const auto status =
        testsupport::RunProcess(QUELLIX_CLI, {"--port", lineAddress(), "--model", "8x8", "--json", "status"});
    EXPECT_EQ(status.exitCode, 0) << status.err;
}

// Two quellix-cli programs routing at once, each one invocation after
// another: every invocation succeeds, and every routing write reaches the
// device whole and exactly once. Each program sends every output one input
// of its own (2, 3, 4, 1, ... or 6, 7, 8, 5, ...), so a frame spliced from
// both would show in the tables the device took; none is the table the
// device has then (the model does not send that one). The read-back is
// skipped: the other program's write may come between a write and its
// read-back.
TEST_F(SharedLine, TwoCommandLineProgramsRouteAtOnce)
{
    startDaemon();
    // An invocation takes 0.4 s at least (the model paces each of its two
    // frames by 200 ms): about 25 s for the 60.
    constexpr int kRuns = 60;
    const auto run = [&](int program, std::vector<std::string>& failures) {
        for (int k = 0; k < kRuns; ++k) {
            const std::string input = std::to_string(program * 4 + (k + 1) % 4 + 1);
            const auto result = testsupport::RunProcess(
                QUELLIX_CLI, {"--port", lineAddress(), "--model", "8x8", "--no-confirm", "route", "--all", input});
            if (result.exitCode != 0)
                failures.push_back("run " + std::to_string(k) + ": exit " + std::to_string(result.exitCode) + ": "
                                   + result.err);
        }
    };
    std::vector<std::string> firstFailures, secondFailures;
    std::thread other([&] { run(1, secondFailures); });
    run(0, firstFailures);
    other.join();
    EXPECT_TRUE(firstFailures.empty()) << firstFailures.size() << " failed, first " << firstFailures.front();
    EXPECT_TRUE(secondFailures.empty()) << secondFailures.size() << " failed, first " << secondFailures.front();

    std::map<Bytes, int> writes;
    for (const Bytes& frame : device->frames())
        if (frame[6] == INFODEVICEMATRIXBASE::kWriteRouting)
            ++writes[Bytes(frame.begin() + 7, frame.end() - 1)];
    std::map<Bytes, int> expected;
    for (int input = 1; input <= 8; ++input)
        expected[Bytes(8, static_cast<uint8_t>(input))] = kRuns / 4;
    EXPECT_EQ(writes, expected);
    EXPECT_EQ(simLogged("ignored"), 0);
}

// EDID exchanges: a body the device sends after working on it (a whole
// EDID, a copy's B6) and the B6 of each written chunk reach the client.
TEST_F(SharedLine, EdidExchangesPassThrough)
{
    device->withMatrix([](VirtualMatrix& matrix) {
        matrix.edidReadTime = std::chrono::milliseconds(300);
        matrix.copyTime = std::chrono::milliseconds(300);
    });
    startDaemon();
    LineClient line(lineAddress());
    xandrel::PlainEdidHost host(*line.model);
    xandrel::EdidProgress progress;
    xandrel::EdidImage image{};
    ASSERT_TRUE(EDID_DeviceRead(host, image, progress, xandrel::edid::kReadInput, 2));
    Edid expected{};
    device->withMatrix([&](VirtualMatrix& matrix) { expected = matrix.inputEdid(2); });
    EXPECT_TRUE(std::equal(image.begin(), image.end(), expected.begin()));

    EXPECT_TRUE(EDID_DeviceCopy(host, progress, xandrel::edid::kInputToSlot, xandrel::edid::kDefaultA, 2));
    image[20] ^= 0xFF;
    EXPECT_TRUE(EDID_DeviceWrite(host, image, progress, 1, xandrel::edid::kWriteInput));
    device->withMatrix([&](VirtualMatrix& matrix) {
        EXPECT_EQ(matrix.slotEdid(xandrel::edid::kDefaultA), expected);
        EXPECT_EQ(matrix.inputEdid(1)[20], image[20]);
    });
}

// With a token, a client's first line must name it; a client that does not
// is put off the line.
TEST_F(SharedLine, TokenWantsAnAuthLineFirst)
{
    config.token = "s3cret-for-the-line";
    startDaemon();
    QByteArray frame = QByteArray::fromHex("08 00 00 00 00 FF 04 00");
    const auto header = xandrel::FindModelByAnyName(model)->header;
    for (int k = 0; k < 4; ++k)
        frame[1 + k] = static_cast<char>(header[k]);
    uint8_t sum = 0;
    for (int k = 0; k < 7; ++k)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(frame[k]));
    frame[7] = static_cast<char>(sum);

    QTcpSocket refused;
    refused.connectToHost("127.0.0.1", daemon->linePort);
    ASSERT_TRUE(refused.waitForConnected(5000));
    refused.write("AUTH wrong\n" + frame);
    EXPECT_TRUE(refused.state() == QAbstractSocket::UnconnectedState || refused.waitForDisconnected(5000));

    QTcpSocket admitted;
    admitted.connectToHost("127.0.0.1", daemon->linePort);
    ASSERT_TRUE(admitted.waitForConnected(5000));
    admitted.write("AUTH s3cret-for-the-line\n" + frame);
    QByteArray reply;
    while (reply.size() < 4 && admitted.waitForReadyRead(5000))
        reply += admitted.readAll();
    ASSERT_EQ(reply.size(), 4);  // AA and the 3-byte ID answer
    EXPECT_EQ(static_cast<uint8_t>(reply[0]), 0xAA);
    EXPECT_EQ(static_cast<uint8_t>(reply[2]), 4);

    LineClient program(lineAddress() + "?token=s3cret-for-the-line");  // the port library sends the line itself
    ASSERT_TRUE(program.opened);
    EXPECT_EQ(program.model->DEVMA_GetDeviceID(), 1);
}

// A device that goes away is reported offline and taken up again once back.
TEST_F(SharedLine, LostDeviceIsOpenedAgainWhenBack)
{
    startDaemon();
    ASSERT_TRUE(eventually([&] { return http("GET", "/api/devices/studio").json()["connection"] == "online"; }));
    const uint16_t port = static_cast<uint16_t>(std::stoi(device->address().substr(device->address().rfind(':') + 1)));
    device->stop();
    device.reset();
    LineClient line(lineAddress());
    EXPECT_EQ(line.model->DEVMA_GetVideoOutputChannel(), 0);
    EXPECT_TRUE(eventually([&] { return http("GET", "/api/devices/studio").json()["connection"] == "offline"; }));
    startDevice(port);
    EXPECT_TRUE(eventually([&] { return http("GET", "/api/devices/studio").json()["connection"] == "online"; }));
    EXPECT_EQ(line.model->DEVMA_GetVideoOutputChannel(), 1);
}

}  // namespace
}  // namespace daemontest
