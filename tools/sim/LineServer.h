// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QThread;

namespace quellix::sim {

using Bytes = std::vector<uint8_t>;

class LineWorker;

// Serves one device line on its own thread: a pseudo-terminal whose slave
// path programs open as a serial port (POSIX systems only), or a TCP port
// that takes one client at a time. Received bytes go to the receiver (on the
// server's thread); bytes to send are queued with a delay and an optional
// pause between bytes. The thread runs a Qt event loop, so the process needs
// a QCoreApplication (it need not run it).
class LineServer {
public:
    using Receiver = std::function<void(const Bytes& bytes)>;

    static std::unique_ptr<LineServer> OnPseudoTerminal(Receiver receiver, std::string& error);
    // Port 0 picks a free port; address() tells which.
    static std::unique_ptr<LineServer> OnTcp(const std::string& host, uint16_t port, Receiver receiver,
                                             std::string& error);
    ~LineServer();

    // The slave path, or tcp://host:port.
    std::string address() const;

    // Queues bytes to go out `delay` from now, `byteGap` apart (0: at once).
    void send(Bytes bytes, std::chrono::microseconds delay = {}, std::chrono::microseconds byteGap = {});
    // True while queued bytes have not gone out yet.
    bool sending() const;

    // Drops the line: a pseudo-terminal is closed and a fresh one made (its path
    // may differ; address() tells), a TCP client is disconnected. Queued bytes are lost.
    void hangUp();

    // Called after every hang-up with the new address.
    void onAddressChange(std::function<void(const std::string&)> callback);

    void stop();

    // True once a program has the line: a TCP client was taken, or a
    // pseudo-terminal (always). Waits up to `timeout` for it.
    bool waitForClient(std::chrono::milliseconds timeout);

private:
    friend class LineWorker;

    struct Pending {
        std::chrono::steady_clock::time_point due;
        std::chrono::microseconds byteGap;
        Bytes bytes;
        size_t sent = 0;
    };

    explicit LineServer(Receiver receiver);
    // Starts the thread and opens the line on it with `open`, which returns
    // why it could not ("" when it did).
    bool start(const std::function<std::string(LineWorker&)>& open, std::string& error);
    void wake();

    Receiver receiver_;

    mutable std::mutex mutex_;
    std::condition_variable clientChanged_;
    std::string address_;
    bool hasClient_ = false;
    std::deque<Pending> outgoing_;
    bool hangUpRequested_ = false;
    bool wakePosted_ = false;
    std::function<void(const std::string&)> addressChanged_;
    LineWorker* worker_ = nullptr;  // lives on thread_; null once stopped

    std::atomic<bool> stopping_{false};
    std::unique_ptr<QThread> thread_;
};

}  // namespace quellix::sim
