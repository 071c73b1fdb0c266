// SPDX-License-Identifier: GPL-3.0-or-later
// quellixd as a network service, against the real program and the simulator
// on loopback: no client, however hostile, stops it serving others, makes it
// hold memory, or drives it from another site's page; reload and stop drop
// no answer; a write whose outcome is unknown says so.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QWebSocket>

#include <csignal>
#include <fstream>
#include <random>

#include "DaemonFixture.h"

namespace daemontest {
namespace {

// quellixd as a program, serving the simulated device.
class Hostile : public DaemonTest {
protected:
    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
        DaemonTest::TearDown();
    }

    // Starts the program with `settings` added to the configuration, its
    // descriptors limited to `files` when given.
    void run(const QByteArray& settings = {}, int files = 0)
    {
        const std::string path = ::testing::TempDir() + "hostile-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".conf";
        std::ofstream(path) << R"({"http_port": 0, "poll_ms": 200, )" << settings.toStdString()
                            << R"( "devices": [{"name": "studio", "port": ")" << device->address()
                            << R"(", "model": "8x8", "line_port": 0}]})";
        log_.clear();
        program.setProcessChannelMode(QProcess::MergedChannels);
        const QString limit = files > 0 ? "ulimit -n " + QString::number(files) + " && " : QString();
        program.start("sh", {"-c", limit + "exec \"$0\" \"$@\"", QUELLIXD, "--config", QString::fromStdString(path)});
        ASSERT_TRUE(until([&] { return output().contains("device studio: online"); }, 10000)) << log();
        httpPort = QRegularExpression("HTTP API on http://[^:]+:(\\d+)/").match(output()).captured(1).toUShort();
        linePort = QRegularExpression("shared line on port (\\d+)").match(output()).captured(1).toUShort();
    }

    QString output()
    {
        log_ += program.readAll();
        return QString::fromUtf8(log_);
    }
    std::string log() { return output().toStdString(); }

    template <typename Condition>
    bool until(Condition condition, int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (!condition() && clock.elapsed() < ms)
            program.waitForReadyRead(10);
        return condition();
    }

    HttpReply get(const QByteArray& path, const QByteArray& headers = {})
    {
        return Http(httpPort, "GET", path, {}, headers);
    }

    // Sends `bytes` on a connection of its own; what came back by the time
    // the daemon closed it (or `ms` went by).
    QByteArray exchange(const QByteArray& bytes, int ms = 3000)
    {
        QTcpSocket socket;
        socket.connectToHost("127.0.0.1", httpPort);
        socket.waitForConnected(2000);
        socket.write(bytes);
        QByteArray answer;
        QElapsedTimer clock;
        clock.start();
        while (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < ms)
            if (socket.waitForReadyRead(50))
                answer += socket.readAll();
        return answer + socket.readAll();
    }

    // Resident memory of the program, in KiB.
    long residentKiB() const
    {
        std::ifstream status("/proc/" + std::to_string(program.processId()) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmRSS:", 0) == 0)
                return std::stol(line.substr(6));
        return 0;
    }

    // CPU seconds the program has used.
    double cpuSeconds() const
    {
        std::ifstream stat("/proc/" + std::to_string(program.processId()) + "/stat");
        std::string skip;
        for (int field = 1; field < 14; ++field)
            stat >> skip;
        long user = 0, system = 0;
        stat >> user >> system;
        return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }

    QProcess program;
    quint16 httpPort = 0;
    quint16 linePort = 0;

private:
    QByteArray log_;
};

const QByteArray kHead = "Host: 127.0.0.1\r\n";

std::vector<std::unique_ptr<QTcpSocket>> Connections(quint16 port, int count, const char* from = "127.0.0.1")
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int k = 0; k < count; ++k) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->bind(QHostAddress(from));
        sockets.back()->connectToHost("127.0.0.1", port);
        sockets.back()->waitForConnected(1000);
    }
    return sockets;
}

TEST_F(Hostile, ClientsBeyondTheLimitAndTheDescriptorsStopNobody)
{
    run(R"("max_clients": 64,)");
    // One host takes a quarter of the clients at most: the others are served.
    auto flood = Connections(httpPort, 40, "127.0.0.2");
    ASSERT_TRUE(until([&] { return output().contains("as many clients from there as one host may have"); }, 3000))
        << log();
    EXPECT_EQ(get("/api/devices").status, 200);
    flood.clear();
    program.kill();
    program.waitForFinished();

    // Few descriptors: the clients they allow, never an exhausted listener.
    run(R"("max_clients": 256,)", 48);
    EXPECT_TRUE(until([&] { return output().contains("at most 24 clients"); }, 2000)) << log();
    const double before = cpuSeconds();
    flood = Connections(httpPort, 80);
    EXPECT_TRUE(until([&] { return output().contains("refused a connection"); }, 3000)) << log();
    QThread::msleep(500);  // a listener that spins would burn this
    EXPECT_LT(cpuSeconds() - before, 0.4);
    flood.clear();
    EXPECT_TRUE(until([&] { return get("/api/devices").status == 200; }, 3000)) << log();
}

TEST_F(Hostile, HugeOrHalfSentRequestsHoldNoMemoryAndNoConnection)
{
    run();
    const long start = residentKiB();
    std::vector<std::unique_ptr<QTcpSocket>> uploads = Connections(httpPort, 4);
    for (auto& upload : uploads) {
        upload->write("PUT /api/devices/studio/routing HTTP/1.1\r\n" + kHead
                      + "Content-Type: application/json\r\nContent-Length: 134217728\r\n\r\n");
        upload->write(QByteArray(1 << 20, '1'));
    }
    for (auto& upload : uploads) {
        ASSERT_TRUE(upload->waitForReadyRead(3000));
        EXPECT_TRUE(upload->readAll().startsWith("HTTP/1.1 413"));
    }
    QByteArray chunked = "PUT /api/devices/studio/routing HTTP/1.1\r\n" + kHead
        + "Content-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int k = 0; k < 64; ++k)
        chunked += "10000\r\n" + QByteArray(0x10000, ' ') + "\r\n";  // 4 MiB of a body without end
    EXPECT_TRUE(exchange(chunked).startsWith("HTTP/1.1 413"));
    EXPECT_TRUE(exchange("GET / HTTP/1.1\r\nX-Long: " + QByteArray(4 << 20, 'a')).startsWith("HTTP/1.1 431"));
    EXPECT_LT(residentKiB() - start, 5 * 1024) << "KiB held after the uploads";

    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(exchange("GET / HTTP/1.1\r\n" + kHead, 15000).startsWith("HTTP/1.1 408"));
    EXPECT_LT(clock.elapsed(), 12000);
}

TEST_F(Hostile, PagesOfOtherSitesCannotUseTheApi)
{
    run(R"("allowed_origins": ["http://panel.example"],)");
    const QByteArray put = "PUT /api/devices/studio/routing HTTP/1.1\r\nContent-Length: 8\r\n";
    struct Case {
        QByteArray request;
        const char* answer;
    };
    const Case cases[] = {
        {put + kHead + "Origin: http://evil.example\r\nContent-Type: application/json\r\n\r\n{\"1\": 2}", " 403 "},
        {put + kHead + "Origin: null\r\nContent-Type: application/json\r\n\r\n{\"1\": 2}", " 403 "},
        {put + kHead + "Content-Type: text/plain\r\n\r\n{\"1\": 2}", " 415 "},
        {put + "Host: rebound.example:8470\r\nContent-Type: application/json\r\n\r\n{\"1\": 2}", " 421 "},
        {"POST /api/devices/studio/presets/x/recall HTTP/1.1\r\n" + kHead
             + "Origin: http://evil.example\r\nContent-Type: text/plain\r\nContent-Length: 0\r\n\r\n",
         " 403 "},
        {"GET /api/events HTTP/1.1\r\n" + kHead
             + "Upgrade: websocket\r\nConnection: Upgrade\r\nOrigin: http://evil.example\r\n"
               "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n",
         " 403 "},
        {put + kHead + "Origin: http://panel.example\r\nContent-Type: application/json\r\n\r\n{\"1\": 2}", " 200 "},
        {put + "Host: 127.0.0.1:" + QByteArray::number(httpPort) + "\r\nOrigin: http://127.0.0.1:"
             + QByteArray::number(httpPort) + "\r\nContent-Type: application/json\r\n\r\n{\"1\": 3}",
         " 200 "},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(exchange(c.request).left(13).contains(c.answer)) << c.request.left(120).toStdString();
    const QByteArray options =
        exchange("OPTIONS /api/devices HTTP/1.1\r\n" + kHead + "Origin: http://evil.example\r\n\r\n");
    EXPECT_FALSE(options.toLower().contains("access-control-allow-origin")) << options.toStdString();
}

TEST_F(Hostile, HttpAsClientsRelyOnIt)
{
    run();
    EXPECT_TRUE(exchange("GET /api/devices HTTP/1.0\r\n\r\n", 10000).startsWith("HTTP/1.1 200"));  // then closed
    EXPECT_TRUE(exchange("GET /api/devices HTTP/1.1\r\n" + kHead + "Connection: close\r\n\r\n", 10000)
                    .startsWith("HTTP/1.1 200"));
    const QByteArray body = "{\"1\": 4}";
    const QByteArray put =
        "PUT /api/devices/studio/routing HTTP/1.1\r\n" + kHead + "Content-Type: application/json\r\n";
    EXPECT_TRUE(
        exchange(put + "Content-Length: 8\r\nTransfer-Encoding: chunked\r\n\r\n" + body).startsWith("HTTP/1.1 400"));
    EXPECT_TRUE(exchange(put + "Content-Length: 8\r\nContent-Length: 9\r\n\r\n" + body).startsWith("HTTP/1.1 400"));
    QTcpSocket waiting;  // a client that sends its body once told to go on
    waiting.connectToHost("127.0.0.1", httpPort);
    ASSERT_TRUE(waiting.waitForConnected(2000));
    waiting.write(put + "Content-Length: 8\r\nExpect: 100-continue\r\n\r\n");
    ASSERT_TRUE(waiting.waitForReadyRead(3000));
    EXPECT_EQ(waiting.readAll(), "HTTP/1.1 100 Continue\r\n\r\n");
    waiting.write(body);
    ASSERT_TRUE(waiting.waitForReadyRead(5000));
    EXPECT_TRUE(waiting.readAll().startsWith("HTTP/1.1 200"));
    const QByteArray head = exchange("HEAD /api/devices HTTP/1.1\r\n" + kHead + "Connection: close\r\n\r\n");
    EXPECT_TRUE(head.startsWith("HTTP/1.1 200") && head.endsWith("\r\n\r\n")) << head.toStdString();
    for (const QByteArray& bad : {QByteArray(R"({" 3": 1})"), QByteArray(R"({"+3": 1})"), QByteArray(R"({"03": 1})"),
                                  QByteArray(R"({"3": 1, "3": 2})")})
        EXPECT_EQ(Http(httpPort, "PUT", "/api/devices/studio/routing", bad).status, 400) << bad.toStdString();
}

TEST_F(Hostile, AbandonedRequestsAndLineNoiseHoldUpNobody)
{
    run();
    for (int k = 0; k < 20; ++k)
        exchange("GET /api/devices/studio/edid/inputs HTTP/1.1\r\n" + kHead + "\r\n", 0);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Http(httpPort, "PUT", "/api/devices/studio/routing", R"({"2": 5})").status, 200);
    EXPECT_LT(clock.elapsed(), 3000) << "the abandoned EDID reads were dropped";

    QTcpSocket noise;
    noise.connectToHost("127.0.0.1", linePort);
    ASSERT_TRUE(noise.waitForConnected(2000));
    std::mt19937 random(3);
    QByteArray garbage;
    for (int k = 0; k < 2000; ++k)
        garbage += static_cast<char>(random());
    noise.write(garbage);
    noise.waitForBytesWritten(2000);
    EXPECT_EQ(Http(httpPort, "PUT", "/api/devices/studio/routing", R"({"2": 6})").status, 200);
    EXPECT_EQ(get("/api/devices/studio").json()["connection"], "online");
    EXPECT_EQ(device->routing()[1], 6);
}

// SIGHUP with the same configuration and SIGTERM while a PUT waits for the
// (slow) device: both PUTs are answered, the event socket stays.
TEST_F(Hostile, ReloadAndStopAnswerWhatIsInFlight)
{
    run();
    QWebSocket events;
    int messages = 0;
    QObject::connect(&events, &QWebSocket::textMessageReceived, [&] { ++messages; });
    events.open(QUrl("ws://127.0.0.1:" + QString::number(httpPort) + "/api/events"));
    ASSERT_TRUE(until([&] { return QCoreApplication::processEvents(), messages > 0; }, 5000));
    device->setFaults(Faults{.delay = std::chrono::milliseconds(300)});
    for (int signal : {SIGHUP, SIGTERM}) {
        auto put = std::async(std::launch::async,
                              [&] { return Http(httpPort, "PUT", "/api/devices/studio/routing", R"({"5": 7})"); });
        QThread::msleep(150);  // the request is under way
        ::kill(static_cast<pid_t>(program.processId()), signal);
        EXPECT_EQ(put.get().status, 200) << log();
        if (signal == SIGHUP) {
            const int before = messages;
            device->command("route 6 2");
            EXPECT_TRUE(until([&] { return QCoreApplication::processEvents(), messages > before; }, 5000));
            EXPECT_EQ(events.state(), QAbstractSocket::ConnectedState);
            device->command("route 5 1");
        }
    }
    EXPECT_TRUE(program.waitForFinished(8000));
    EXPECT_EQ(program.exitCode(), 0) << log();
}

// In the daemon's own process, with its timeouts shortened.
TEST_F(DaemonTest, IdleConnectionsAreClosedAndUnknownOutcomesSaySo)
{
    config.idleTimeMs = 300;
    startDaemon();
    QTcpSocket idleHttp, idleLine;
    idleHttp.connectToHost("127.0.0.1", daemon->httpPort);
    idleLine.connectToHost("127.0.0.1", daemon->linePort);
    ASSERT_TRUE(idleHttp.waitForConnected(2000) && idleLine.waitForConnected(2000));
    idleHttp.write("GET /api/devices HTTP/1.1\r\n" + kHead + "\r\n");
    EXPECT_TRUE(idleHttp.waitForDisconnected(5000)) << "an answered connection left idle";
    EXPECT_TRUE(idleLine.state() == QAbstractSocket::UnconnectedState || idleLine.waitForDisconnected(5000));

    // The line goes at the routing write: it may have reached the device.
    device->command("fault hang-up-after 2");
    const HttpReply reply = http("PUT", "/api/devices/studio/routing", R"({"4": 8})");
    EXPECT_EQ(reply.status, 502) << reply.body.toStdString();
    EXPECT_EQ(reply.json()["state"], "unknown");
    EXPECT_TRUE(eventually(
        [&] { return http("GET", "/api/devices/studio").json()["routing"][3].toInt() == device->routing()[3]; }));
}

}  // namespace
}  // namespace daemontest
