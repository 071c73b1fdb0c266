// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The daemon in a thread of its own, serving a simulated device on TCP; and
// the clients tests use against it: the port driver over the shared line,
// raw sockets, plain HTTP requests.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QTcpSocket>
#include <QThread>

#include <future>
#include <mutex>

#include "Config.h"
#include "Daemon.h"
#include "SimulatedDevice.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "tavrik/Wait.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"

namespace daemontest {

using namespace quellix::sim;
using quellixd::DaemonConfig;
using quellixd::DeviceConfig;

class DaemonThread : public QThread {
public:
    explicit DaemonThread(DaemonConfig config)
        : config_(std::move(config))
    {
    }

    // Starts the daemon; false with its error when it cannot listen.
    bool begin(QString& error)
    {
        std::future<QString> started = ready_.get_future();
        start();
        error = started.get();
        return error.isEmpty();
    }
    void end()
    {
        quit();
        wait();
    }
    quint16 httpPort = 0;
    quint16 linePort = 0;

protected:
    void run() override
    {
        quellixd::Daemon daemon;
        QString error;
        const bool ok = daemon.start(config_, error);
        httpPort = daemon.httpPort();
        linePort = daemon.linePort(config_.devices.front().name);
        ready_.set_value(ok ? QString() : error);
        if (ok)
            exec();
        daemon.stop();
    }

private:
    DaemonConfig config_;
    std::promise<QString> ready_;
};

struct HttpReply {
    int status = 0;
    QByteArray headers;
    QByteArray body;
    QJsonDocument json() const { return QJsonDocument::fromJson(body); }
};

// One request on a connection of its own; status 0 when no whole answer came.
inline HttpReply Http(quint16 port, const QByteArray& method, const QByteArray& path, const QByteArray& body = {},
                      const QByteArray& extraHeaders = {})
{
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(method + " " + path + " HTTP/1.1\r\nHost: localhost\r\nContent-Type: application/json\r\n"
                 + "Content-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n" + body);
    QByteArray received;
    HttpReply reply;
    for (;;) {
        const int end = received.indexOf("\r\n\r\n");
        if (end >= 0) {
            reply.headers = received.left(end);
            const QByteArray lower = reply.headers.toLower();
            const int at = lower.indexOf("content-length:");
            const int length = at < 0 ? 0 : lower.mid(at + 15, lower.indexOf("\r\n", at) - at - 15).trimmed().toInt();
            if (received.size() >= end + 4 + length) {
                reply.body = received.mid(end + 4, length);
                reply.status = reply.headers.mid(9, 3).toInt();
                return reply;
            }
        }
        if (!socket.waitForReadyRead(15000))
            return {};
        received += socket.readAll();
    }
}

class DaemonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The clients' and the daemon's command pacing, shortened: the line's
        // read time-outs still hold.
        previousWait_ = tavrik::SetWaitFunction([](uint32_t ms) { QThread::msleep(std::min<uint32_t>(ms, 2)); });
        startDevice(0);
        config.httpPort = 0;
        config.pollMs = 100;
        config.devices = {DeviceConfig{"studio", device->address(), xandrel::FindModelByAnyName(model), 255, 0, {}}};
    }

    void TearDown() override
    {
        if (daemon)
            daemon->end();
        tavrik::SetWaitFunction(previousWait_);
    }

    void startDevice(uint16_t port, Faults faults = {})
    {
        device.reset();
        SimOptions options;
        options.model = xandrel::FindModelByAnyName(model);
        options.deviceId = 4;
        options.tcp = true;
        options.port = port;
        options.trace = true;
        options.faults = faults;
        options.log = [this](const std::string& line) {
            std::lock_guard lock(mutex_);
            simLog_.push_back(line);
        };
        std::string error;
        device = SimulatedDevice::Start(options, error);
        ASSERT_TRUE(device) << error;
    }

    void startDaemon()
    {
        daemon = std::make_unique<DaemonThread>(config);
        QString error;
        ASSERT_TRUE(daemon->begin(error)) << error.toStdString();
    }

    // Lines the simulator logged that contain `text`.
    int simLogged(const std::string& text)
    {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count_if(simLog_.begin(), simLog_.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        }));
    }

    std::string lineAddress() const { return "tcp://127.0.0.1:" + std::to_string(daemon->linePort); }

    HttpReply http(const QByteArray& method, const QByteArray& path, const QByteArray& body = {},
                   const QByteArray& headers = {})
    {
        return Http(daemon->httpPort, method, path, body, headers);
    }

    // Polls `condition` until it holds or about 10 s went by.
    template <typename Condition>
    static bool eventually(Condition condition)
    {
        for (int k = 0; k < 500; ++k) {
            if (condition())
                return true;
            QThread::msleep(20);
        }
        return condition();
    }

    const char* model = "INFOHDMIMATRIX0001_8_8";
    std::unique_ptr<SimulatedDevice> device;
    DaemonConfig config;
    std::unique_ptr<DaemonThread> daemon;

private:
    tavrik::WaitFunction previousWait_;
    std::mutex mutex_;
    std::vector<std::string> simLog_;
};

// A program's client of the shared line: the port driver and a model, as
// quellix-cli has them.
struct LineClient {
    explicit LineClient(const std::string& address, const char* modelName = "INFOHDMIMATRIX0001_8_8")
        : model(xandrel::CreateModel(*xandrel::FindModelByAnyName(modelName)))
    {
        std::string problem;
        const int number = tavrik::ResolvePort(address, problem);
        model->DEVMA_SetPortDriver(&driver);
        driver.m_ShowError = 0;
        opened = number != 0 && driver.RS232_OpenPort(number, 9600) == 1;
    }
    ~LineClient() { driver.RS232_ClosePort(); }

    INFOPORTDRIVER driver;
    std::unique_ptr<INFODEVICEMATRIXBASE> model;
    bool opened = false;
};

}  // namespace daemontest
