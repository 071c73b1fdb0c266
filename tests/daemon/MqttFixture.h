// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the MQTT tests run against: Debian's mosquitto started on a free
// loopback port with a configuration of its own, and a probe, a client that
// hears every topic and publishes commands.
#include <gtest/gtest.h>

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <mosquitto.h>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace daemontest {

inline constexpr const char* kBrokerProgram = "/usr/sbin/mosquitto";

inline bool BrokerInstalled()
{
    return QFile::exists(kBrokerProgram);
}

// Polls `condition` until it holds or `seconds` went by.
template <typename Condition>
bool Within(int seconds, Condition condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        QThread::msleep(10);
    }
    return condition();
}

// Started with posix_spawn, not QProcess: the thread sanitizer cannot
// follow the clone() with which Qt starts a process, and the MQTT tests run
// under it.
class Broker {
public:
    ~Broker() { stop(); }

    // Starts the broker on `port` (0: a free one); false when it does not
    // take connections within 10 s.
    bool start(quint16 port = 0)
    {
        if (port == 0) {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            port = probe.serverPort();
        }
        port_ = port;
        const std::string path = ::testing::TempDir() + "mosquitto-" + std::to_string(port) + ".conf";
        std::ofstream(path) << "listener " << port
                            << " 127.0.0.1\nallow_anonymous true\npersistence false\nlog_type error\n"
                               "connection_messages false\n";
        std::string program = kBrokerProgram, option = "-c";
        char* arguments[] = {program.data(), option.data(), const_cast<char*>(path.c_str()), nullptr};
        if (posix_spawn(&pid_, kBrokerProgram, nullptr, nullptr, arguments, environ) != 0)
            return false;
        return Within(10, [&] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port_);
            return socket.waitForConnected(200);
        });
    }
    void stop()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        if (!Within(5, [&] { return ::waitpid(pid_, nullptr, WNOHANG) == pid_; })) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = 0;
    }
    quint16 port() const { return port_; }

private:
    pid_t pid_ = 0;
    quint16 port_ = 0;
};

// A client that subscribes to everything (again after each reconnection)
// and keeps every payload heard per topic.
class Probe {
public:
    explicit Probe(quint16 port)
    {
        // libmosquitto writes to a socket the broker may have closed; the
        // daemon ignores SIGPIPE as well.
        std::signal(SIGPIPE, SIG_IGN);
        mosquitto_lib_init();
        handle_ = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(handle_, [](mosquitto* handle, void*, int code) {
            if (code == 0)
                mosquitto_subscribe(handle, nullptr, "#", 1);
        });
        mosquitto_message_callback_set(handle_, [](mosquitto*, void* self, const mosquitto_message* message) {
            auto* probe = static_cast<Probe*>(self);
            std::lock_guard lock(probe->mutex_);
            probe->heard_[message->topic].emplace_back(static_cast<const char*>(message->payload),
                                                       static_cast<size_t>(message->payloadlen));
        });
        mosquitto_connect_async(handle_, "127.0.0.1", port, 30);
        mosquitto_loop_start(handle_);
    }
    ~Probe()
    {
        mosquitto_disconnect(handle_);
        mosquitto_loop_stop(handle_, false);
        mosquitto_destroy(handle_);
    }

    void publish(const std::string& topic, const std::string& payload, bool retain = false)
    {
        mosquitto_publish(handle_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1, retain);
    }
    // The last payload heard on `topic`; "<none>" before any.
    std::string last(const std::string& topic)
    {
        std::lock_guard lock(mutex_);
        const auto found = heard_.find(topic);
        return found == heard_.end() ? "<none>" : found->second.back();
    }
    int count(const std::string& topic)
    {
        std::lock_guard lock(mutex_);
        const auto found = heard_.find(topic);
        return found == heard_.end() ? 0 : static_cast<int>(found->second.size());
    }
    // The topics starting with `prefix` whose last payload is not empty.
    std::vector<std::string> topics(const std::string& prefix)
    {
        std::lock_guard lock(mutex_);
        std::vector<std::string> found;
        for (const auto& [topic, payloads] : heard_)
            if (topic.rfind(prefix, 0) == 0 && !payloads.back().empty())
                found.push_back(topic);
        return found;
    }
    void forget()
    {
        std::lock_guard lock(mutex_);
        heard_.clear();
    }

private:
    mosquitto* handle_ = nullptr;
    std::mutex mutex_;
    std::map<std::string, std::vector<std::string>> heard_;
};

}  // namespace daemontest
