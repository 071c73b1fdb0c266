// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every quellix-cli verb shares: the global options, exit codes, the
// device session, and plain or JSON output.
#include <array>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Complaints.h"
#include "ExitCodes.h"
#include "Json.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/device/TrafficLog.h"

namespace quellix::cli {

struct GlobalOptions {
    std::string port;  // as typed: 3, COM3, /dev/ttyUSB0, ttyUSB0, tcp://host:port
    const xandrel::ModelSpec* model = nullptr;
    std::optional<int> deviceId;  // --id; the model's own (255) when absent
    bool json = false;
    std::string dataFolder;  // where ds.dat and presets.json are looked for
    bool trace = false;      // every frame on stderr
    bool confirm = true;     // read the routing back after writing it
};

// A usage error: the message goes to stderr and the program exits with 2.
struct UsageError {
    std::string message;
};

// Set by Ctrl+C while a long verb runs.
extern volatile std::sig_atomic_t g_interrupted;

// Waits, in steps short enough that Ctrl+C ends the wait soon.
void PauseUnlessInterrupted(std::chrono::steady_clock::duration duration);

// Reads a whole decimal number within [low, high]; throws UsageError naming `what`.
int ParseNumber(const std::string& text, int low, int high, const std::string& what);

JsonArray JsonNumbers(const std::vector<int>& values);
// { "code": N, "message": "…" }: what went wrong, as every verb tells it.
JsonObject ErrorJson(int code, const std::string& message);

// The local time as ISO 8601 with the UTC offset: 2024-05-01T12:00:03+02:00,
// 2024-05-01T12:00:03.250+02:00 when `precise`, and Z for the offset in UTC.
std::string Timestamp(bool precise);
std::string Timestamp(std::chrono::system_clock::time_point when, bool precise);

// Results as lines of text, or as JSON: one document per run (an object, or
// an array for lists), printed by finish(); watch prints JSON Lines instead.
class Output {
public:
    explicit Output(bool json)
        : json_(json)
    {
    }
    bool json() const { return json_; }

    // A line of plain output, printed at once.
    void text(const std::string& line) const;
    // The run's document: an object, or an array for a list.
    void set(JsonValue document) { document_ = std::move(document); }
    // The document holds a result for each item, failures included, and is
    // printed even when the run fails (else a failure prints the error).
    void keepOnFailure() { keepOnFailure_ = true; }
    // One JSON line, printed at once, with the time it was made.
    void line(JsonObject object) const;

    // Prints the document; for a failure with --json the error object
    // { "error": { "code": N, "message": "…" } } unless the document tells
    // the failures itself. Returns `code`.
    int finish(int code) const;

private:
    bool json_;
    bool keepOnFailure_ = false;
    std::optional<JsonValue> document_;
};

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

// A port as the JSON of every verb shows it: { "com": 3, "path": "/dev/ttyS2" },
// com null for a port the table numbers for this run only.
JsonObject PortJson(std::optional<int> com, const std::string& path);

// The model and the port driver a device verb works with.
class DeviceSession {
public:
    explicit DeviceSession(const GlobalOptions& options);
    ~DeviceSession();

    INFODEVICEMATRIXBASE& model() { return *model_; }
    INFOPORTDRIVER& driver() { return driver_; }
    // "COM3 (/dev/ttyS2)" for a port of the table, else the path or address
    // alone: a number given for this run only is no name of the port.
    std::string portLabel() const;
    JsonObject portJson() const;

    // Opens the port of --port; on failure prints why and returns the exit
    // code. A port that names nothing is a UsageError.
    int open();
    // Opens the port again after the device went away; true when it opened.
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
    std::unique_ptr<xandrel::traffic::Listening> trace_;  // --trace: the line's frames on stderr
    int portNumber_ = 0;
    std::string address_;
    bool numberIsTheTables_ = false;  // false: numbered for this run only
};

// The names ds.dat in the data folder gives inputs and outputs; the
// built-in "input 1" ... "output 8" where it gives none.
struct PortNames {
    std::array<std::string, 8> inputs;
    std::array<std::string, 8> outputs;
};
PortNames NamesIn(const std::string& dataFolder);
// "input 6", or "input 6 (Camera)" when ds.dat names it otherwise.
std::string Named(const std::string& kind, size_t number, const std::array<std::string, 8>& names);
// Whether two names in UTF-8 are the same, letter case aside: the letters
// of ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic are matched in
// either case.
bool SameNameCaseAside(std::string_view a, std::string_view b);
// An input or output as typed in `pair`: its number (1 to `count`) or its name, letter
// case aside. A name that is no one's, or several ones', is a UsageError
// that lists the names.
int NumberOrName(const std::string& text, const char* kind, const std::array<std::string, 8>& names, int count,
                 const std::string& pair);

// The routing and signals of a model as numbers.
std::vector<int> RoutingOf(const INFODEVICEMATRIXBASE& model);
std::vector<int> SignalsOf(const INFODEVICEMATRIXBASE& model);
std::string Join(const std::vector<int>& values, const char* separator = " ");

}  // namespace quellix::cli
