#pragma once
// What every quellix-cli verb shares: the global options, exit codes, the
// device session, and plain or JSON output.
#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"

namespace quellix::cli {

enum ExitCode : int {
    kOk = 0,
    kNoAnswer = 1,     // the device gave no valid answer
    kUsage = 2,        // bad verb, option or number; nothing was sent
    kPortProblem = 3,  // the port could not be opened or was not open
    kFileProblem = 4,
};

struct GlobalOptions {
    std::string port;                   // as typed: 3, COM3, /dev/ttyUSB0, tcp://host:port
    const xandrel::ModelSpec* model = nullptr;
    std::optional<int> deviceId;        // --id; the model's own (255) when absent
    bool json = false;
};

// A usage error: the message goes to stderr and the program exits with 2.
struct UsageError {
    std::string message;
};

// Set by Ctrl+C while a long verb runs.
extern volatile std::sig_atomic_t g_interrupted;

// Waits, in steps short enough that Ctrl+C ends the wait soon.
void PauseUnlessInterrupted(std::chrono::steady_clock::duration duration);

// Prints "quellix-cli: <text>" on stderr.
void Complain(const std::string& text);

// Reads a whole decimal number within [low, high]; throws UsageError naming `what`.
int ParseNumber(const std::string& text, int low, int high, const std::string& what);

// One result as a line of text or as one JSON object per line.
class Output {
public:
    explicit Output(bool json) : json_(json) {}
    bool json() const { return json_; }
    void text(const std::string& line) const;

    class Object {
    public:
        Object& add(const std::string& key, const std::string& value);
        Object& add(const std::string& key, const char* value) { return add(key, std::string(value)); }
        Object& add(const std::string& key, long long value);
        Object& add(const std::string& key, int value) { return add(key, static_cast<long long>(value)); }
        Object& add(const std::string& key, bool value);
        Object& add(const std::string& key, const std::vector<int>& values);
        Object& addNull(const std::string& key);
        Object& addRaw(const std::string& key, const std::string& json);
        std::string str() const { return "{" + body_ + "}"; }

    private:
        void key(const std::string& name);
        std::string body_;
    };
    void object(const Object& object) const;

private:
    bool json_;
};

std::string JsonString(const std::string& text);

// A progress bar on stderr while a long exchange runs; silent when stderr is
// not a terminal.
class TerminalProgress {
public:
    explicit TerminalProgress(std::string label);
    ~TerminalProgress();
    void setRange(int maximum);
    void setPosition(int position);
    void finish();

private:
    std::string label_;
    int maximum_ = 100;
    int shown_ = -1;
    bool active_;
};

// The model and the port driver a device verb works with.
class DeviceSession {
public:
    explicit DeviceSession(const GlobalOptions& options);
    ~DeviceSession();

    INFODEVICEMATRIXBASE& model() { return *model_; }
    INFOPORTDRIVER& driver() { return driver_; }
    int portNumber() const { return portNumber_; }
    // "COM200 (/dev/pts/4)".
    std::string portLabel() const;

    // Opens the port of --port; on failure prints why and returns the exit code.
    int open();

    // After the device went away: waits for the port to come back, trying
    // again after 1 s, then twice as long each time up to 30 s, and says so
    // once each way. False when interrupted.
    bool reopen();

    // Reads routing and signals the way the model's family refreshes; where
    // the refresh sends nothing, reads them one by one. nullptr on success,
    // else what was being read when it failed. `signalsKnown` tells whether
    // the signals were read.
    const char* stateReadFailure(bool& signalsKnown);
    // The same, printing what failed: 0, or the exit code of the failure.
    int readState(bool& signalsKnown);

    // After an operation returned 0: prints what failed and returns the exit
    // code that m_ErrorCode calls for.
    int failed(const std::string& doing);

private:
    const GlobalOptions& options_;
    INFOPORTDRIVER driver_;
    std::unique_ptr<INFODEVICEMATRIXBASE> model_;
    int portNumber_ = 0;
};

// The routing and signals of a model as numbers.
std::vector<int> RoutingOf(const INFODEVICEMATRIXBASE& model);
std::vector<int> SignalsOf(const INFODEVICEMATRIXBASE& model);
std::string Join(const std::vector<int>& values, const char* separator = " ");

}  // namespace quellix::cli
