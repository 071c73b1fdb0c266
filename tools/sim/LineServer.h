#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PseudoTerminal.h"

namespace quellix::sim {

using Bytes = std::vector<uint8_t>;

// Serves one device line on its own thread: a pseudo-terminal whose slave
// path programs open as a serial port, or a TCP port that takes one client at
// a time. Received bytes go to the receiver (on the server's thread); bytes to
// send are queued with a delay and an optional pause between bytes.
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
    struct Pending {
        std::chrono::steady_clock::time_point due;
        std::chrono::microseconds byteGap;
        Bytes bytes;
        size_t sent = 0;
    };

    LineServer(Receiver receiver);
    void run();
    void wake();
    int lineFd() const;
    void acceptClient();
    void closeClient();
    void readLine();
    int flushDue();
    void reopenPseudoTerminal();

    Receiver receiver_;
    std::unique_ptr<PseudoTerminal> pty_;
    int listenFd_ = -1;
    std::atomic<int> clientFd_{-1};
    std::string host_;
    uint16_t tcpPort_ = 0;
    int wakePipe_[2] = {-1, -1};

    mutable std::mutex mutex_;
    std::deque<Pending> outgoing_;
    bool hangUpRequested_ = false;
    std::function<void(const std::string&)> addressChanged_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace quellix::sim
