// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-cli watch: the device's event messages as they come, a look at its
// whole state after a quiet spell, and a device that goes away and comes back.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <utility>

#include "Verbs.h"

namespace quellix::cli {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct WatchSettings {
    int count = 0;                  // messages to stop after; 0: until Ctrl+C
    milliseconds interval{2000};    // from one poll to the next
    milliseconds lookAfter{30000};  // without a message until the whole state is read
};

WatchSettings ParseWatchSettings(const Invocation& call)
{
    NoArguments(call.arguments);
    WatchSettings settings;
    if (const auto count = call.value("count"))
        settings.count = ParseNumber(*count, 1, 1000000, "--count");
    if (const auto interval = call.value("interval"))
        settings.interval = milliseconds(ParseNumber(*interval, 0, 3600000, "--interval"));
    if (const auto check = call.value("check"))
        settings.lookAfter = milliseconds(ParseNumber(*check, 1, 3600000, "--check"));
    return settings;
}

void Interrupt(int)
{
    g_interrupted = 1;
}

// One line (or JSON object) naming each entry of `now` that differs from `before`.
void PrintChanges(bool routing, const std::vector<int>& before, const std::vector<int>& now, const PortNames& names,
                  const Output& output)
{
    std::string line = routing ? "routing changed:" : "signals changed:";
    JsonArray changed;
    for (size_t k = 0; k < now.size(); ++k) {
        if (k < before.size() && before[k] == now[k])
            continue;
        const int port = static_cast<int>(k + 1);
        if (routing) {
            const size_t input = static_cast<size_t>(now[k]);
            changed.append(JsonObject{{"output", port},
                                      {"outputName", names.outputs[k]},
                                      {"input", now[k]},
                                      {"inputName", input >= 1 && input <= 8 ? names.inputs[input - 1] : ""}});
            line += "  " + Named("output", k + 1, names.outputs) + ": " + Named("input", input, names.inputs);
        } else {
            changed.append(JsonObject{{"input", port}, {"inputName", names.inputs[k]}, {"signal", now[k] != 0}});
            line += "  " + Named("input", k + 1, names.inputs) + ": " + (now[k] ? "signal" : "no signal");
        }
    }
    if (output.json()) {
        output.line({{"event", routing ? "routing" : "signals"},
                     {routing ? "routing" : "signals", JsonNumbers(now)},
                     {"changed", changed}});
        return;
    }
    if (changed.isEmpty())
        line += "  (no difference)";
    output.text(Timestamp(false) + " " + line);
}

// Follows the device from the state read at the start.
class Watcher {
public:
    Watcher(DeviceSession& session, const PortNames& names, const Output& output)
        : session_(session)
        , model_(session.model())
        , names_(names)
        , output_(output)
    {
    }

    // Until K messages or Ctrl+C: 0, or 1 when it ends while the device is
    // gone or does not answer.
    int run(const WatchSettings& settings);

private:
    void tell(bool routing, bool evenWithoutDifference);
    void lookAtState();
    bool waitForDevice();
    // A change of the connection: on stderr, and with --json as an event line.
    void say(const char* event, const std::string& text) const;

    DeviceSession& session_;
    INFODEVICEMATRIXBASE& model_;
    const PortNames names_;
    const Output& output_;
    std::vector<int> routing_ = RoutingOf(model_);  // as last told
    std::vector<int> signals_ = SignalsOf(model_);
    bool answering_ = true;  // false from a look it did not answer until one it did
};

int Watcher::run(const WatchSettings& settings)
{
    int seen = 0;
    Clock::time_point lastHeard = Clock::now();
    while (!g_interrupted && (settings.count == 0 || seen < settings.count)) {
        const Clock::time_point tick = Clock::now();
        if (model_.DEVMA_GetEventMessage() == 1) {
            tell(model_.m_EventType == 1, true);
            ++seen;
            lastHeard = tick;
            continue;  // another message may be waiting already
        }
        if (model_.m_ErrorCode == INFODEVICEMATRIXBASE::kPortNotOpen)
            return session_.failed("watching");
        if (session_.driver().RS232_DeviceLost()) {
            if (!waitForDevice())
                return kNoAnswer;
            lastHeard = {};  // what changed while it was away is told at once
        } else if (tick - lastHeard >= settings.lookAfter) {
            lookAtState();
            lastHeard = Clock::now();
        }
        PauseUnlessInterrupted(settings.interval - (Clock::now() - tick));
    }
    return answering_ ? kOk : kNoAnswer;
}

// After the device went away: waits for the port to come back, trying again
// after 1 s, then twice as long each time up to 30 s, and says so once each
// way. False when interrupted.
bool Watcher::waitForDevice()
{
    say("gone", session_.portLabel() + ": the device went away; waiting for it to come back (Ctrl+C stops)");
    constexpr std::chrono::seconds kLongestPause{30};
    for (std::chrono::seconds pause{1}; !g_interrupted; pause = std::min(pause * 2, kLongestPause)) {
        if (session_.reopen()) {
            say("back", session_.portLabel() + ": the device is back");
            return true;
        }
        PauseUnlessInterrupted(pause);
    }
    return false;
}

void Watcher::say(const char* event, const std::string& text) const
{
    Complain(text);
    if (output_.json())
        output_.line({{"event", event}, {"id", model_.m_DeviceID}});
}

// Prints how routing (or the signals) changed since last told, and takes the
// model's values as told.
void Watcher::tell(bool routing, bool evenWithoutDifference)
{
    std::vector<int>& told = routing ? routing_ : signals_;
    const std::vector<int> now = routing ? RoutingOf(model_) : SignalsOf(model_);
    if (evenWithoutDifference || now != told)
        PrintChanges(routing, told, now, names_, output_);
    told = now;
}

// Messages the device sends to another ID (its ID was changed) or that the
// line lost go unseen: the whole state read now tells what they carried, or
// that the device no longer answers at the ID watched. A message arriving
// during the read spoils an answer, so a failed read is tried once more.
void Watcher::lookAtState()
{
    bool signalsKnown = false;
    const auto readFails = [&] { return session_.stateReadFailure(signalsKnown) != nullptr; };
    const std::string id = std::to_string(model_.m_DeviceID);
    if (readFails() && readFails()) {
        if (!session_.driver().RS232_DeviceLost() && std::exchange(answering_, false))
            say("silent", "the device no longer answers at ID " + id + "; its ID may have changed");
        return;
    }
    if (!std::exchange(answering_, true))
        say("answering", "the device answers at ID " + id + " again");
    tell(true, false);
    if (signalsKnown)
        tell(false, false);
}

int Watch(const Invocation& call, Output& output)
{
    const GlobalOptions& options = call.global;
    const WatchSettings settings = ParseWatchSettings(call);
    DeviceSession session(options);
    if (int code = session.open())
        return code;
    INFODEVICEMATRIXBASE& model = session.model();
    // Event messages carry the device's own ID: learn it unless --id gave it.
    if (!options.deviceId && model.DEVMA_GetDeviceID() != 1)
        Complain("could not read the device ID; watching for messages to ID " + std::to_string(model.m_DeviceID));
    // Changes are told against the device's state, not the model's start values.
    bool signalsKnown = false;
    if (int code = session.readState(signalsKnown))
        return code;
    std::fprintf(stderr, "watching %s (device ID %d); Ctrl+C stops\n", session.portLabel().c_str(), model.m_DeviceID);
    if (!options.model->sendsEvents())
        std::fprintf(stderr, "%s sends no event messages: changes show when the whole state is read (--check)\n",
                     options.model->className);
    std::signal(SIGINT, Interrupt);
    std::signal(SIGTERM, Interrupt);
    return Watcher(session, NamesIn(call.global.dataFolder), output).run(settings);
}

}  // namespace

Verb WatchVerb()
{
    return {
        .name = "watch",
        .synopsis = "[--count K] [--interval MS] [--check MS]",
        .summary = "print each change of the device's routing and signals as it comes, each line with the time",
        .details = "Polls for the device's event messages. After a quiet spell it reads the whole state and prints "
                   "the changes no message told, or says that the device no longer answers at its ID. A device "
                   "that goes away is waited for (tried after 1 s, then twice as long up to 30 s); each change of "
                   "the connection is said once. With --json: one object per line, each with its \"time\" and "
                   "\"event\" (routing, signals, gone, back, silent, answering). Ctrl+C exits 0, or 1 while "
                   "the device is away or does not answer.",
        .options = {VerbOption({"count"}, "stop after K messages (default: until Ctrl+C)", "K"),
                    VerbOption({"interval"}, "poll every MS ms (default 2000)", "MS"),
                    VerbOption({"check"}, "read the whole state after MS ms without a message (default 30000)", "MS")},
        .run = Watch,
    };
}

}  // namespace quellix::cli
