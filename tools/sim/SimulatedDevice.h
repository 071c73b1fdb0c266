// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>

#include "LineServer.h"
#include "VirtualMatrix.h"

namespace quellix::sim {

// Ways the simulated device misbehaves, as a faulty device or line would.
struct Faults {
    bool dropAcknowledge = false;        // stay silent: no AA, no reply
    bool wrongAcknowledge = false;       // answer with 0x55 where AA belongs
    int cutReplyTo = -1;                 // send only this many bytes after the AA (-1: all)
    std::chrono::milliseconds delay{0};  // before every answer
    int noisePercent = 0;                // chance of a stray byte before an answer
    bool realBaudRate = false;           // bytes leave about 1.04 ms apart, as at 9600 baud
    int hangUpAfterFrames = 0;           // drop the line instead of answering frame N (once)
    bool ignoreRouting = false;          // acknowledge routing writes but keep the routing

    std::string describe() const;
};

struct SimOptions {
    const xandrel::ModelSpec* model = nullptr;
    uint8_t deviceId = 0;
    Bytes signals;           // initial input signals (empty: none)
    std::string edidFolder;  // .bin files for the ports and slots (empty: built-in EDIDs)
    bool tcp = false;
    std::string host = "127.0.0.1";
    uint16_t port = 0;  // TCP port; 0 picks a free one
    Faults faults;
    bool trace = false;                           // log every frame as hex
    unsigned seed = 1;                            // for the line noise
    std::function<void(const std::string&)> log;  // where trace and notices go
};

// A virtual matrix on a line: the device of VirtualMatrix served over a
// pseudo-terminal or TCP, with fault injection, tracing and front-panel
// commands. Safe to drive from any thread.
class SimulatedDevice {
public:
    static std::unique_ptr<SimulatedDevice> Start(const SimOptions& options, std::string& error);
    ~SimulatedDevice();

    std::string address() const;

    // Runs one front-panel command and returns what to show, e.g.
    // "route 3 5", "signal 2 0", "id 7", "fault no-ack", "status", "help".
    // Lines starting with "error:" tell a command that was not understood.
    std::string command(const std::string& line);

    // Every well-formed frame for this device received so far, in order,
    // and when each arrived.
    std::vector<Bytes> frames() const;
    std::vector<std::chrono::steady_clock::time_point> frameTimes() const;
    // The shortest time between two frames the device received one after
    // the other (the rest a device needs between exchanges); zero when fewer
    // than two arrived.
    std::chrono::milliseconds shortestFrameGap() const;
    // True while answers wait to go out (held back by a delay fault).
    bool answering() const;
    Bytes routing() const;
    Bytes signals() const;
    uint8_t deviceId() const;
    // Access to the device's EDIDs and settings, under the device's lock.
    void withMatrix(const std::function<void(VirtualMatrix&)>& use);
    void setFaults(const Faults& faults);

    void stop();

    static const char* help();

private:
    explicit SimulatedDevice(const SimOptions& options);
    void onBytes(const Bytes& bytes);
    void sendAnswer(const Answer& answer);
    void sendEvent(const Bytes& message);
    void trace(const std::string& direction, const Bytes& bytes, const std::string& note = {}) const;
    std::string route(std::istringstream& words);
    std::string signal(std::istringstream& words);
    std::string fault(std::istringstream& words);
    std::string status() const;

    mutable std::mutex mutex_;
    VirtualMatrix matrix_;
    Faults faults_;
    bool trace_;
    std::function<void(const std::string&)> log_;
    std::mt19937 random_;
    int framesTaken_ = 0;
    std::vector<Bytes> frames_;
    std::vector<std::chrono::steady_clock::time_point> frameTimes_;
    std::chrono::steady_clock::time_point lastBytes_;
    std::unique_ptr<LineServer> line_;
};

// Hexadecimal bytes separated by blanks: "08 4B 58".
std::string Hex(const Bytes& bytes);

}  // namespace quellix::sim
