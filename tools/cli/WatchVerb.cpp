// quellix-cli watch: the device's event messages as they come, a look at its
// whole state after a quiet spell, and a device that goes away and comes back.
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

WatchSettings ParseWatchSettings(const Arguments& arguments)
{
    WatchSettings settings;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const bool hasValue = i + 1 < arguments.size();
        if (arguments[i] == "--count" && hasValue)
            settings.count = ParseNumber(arguments[++i], 1, 1000000, "--count");
        else if (arguments[i] == "--interval" && hasValue)
            settings.interval = milliseconds(ParseNumber(arguments[++i], 0, 3600000, "--interval"));
        else if (arguments[i] == "--check" && hasValue)
            settings.lookAfter = milliseconds(ParseNumber(arguments[++i], 1, 3600000, "--check"));
        else
            throw UsageError{"watch takes --count K, --interval MS and --check MS"};
    }
    return settings;
}

void Interrupt(int)
{
    g_interrupted = 1;
}

// One line (or JSON object) naming each entry of `now` that differs from `before`.
void PrintChanges(bool routing, const std::vector<int>& before, const std::vector<int>& now, const Output& output)
{
    std::vector<std::string> changes;
    std::string changesJson;
    for (size_t k = 0; k < now.size(); ++k) {
        if (k < before.size() && before[k] == now[k])
            continue;
        const std::string port = std::to_string(k + 1);
        const std::string value = std::to_string(now[k]);
        changes.push_back(routing ? "output " + port + ": input " + value
                                  : "input " + port + ": " + (now[k] ? "signal" : "no signal"));
        changesJson += std::string(changesJson.empty() ? "" : ",") + "{\"" + (routing ? "output" : "input") + "\":"
            + port + ",\"" + (routing ? "input" : "signal") + "\":" + (routing ? value : now[k] ? "true" : "false")
            + "}";
    }
    if (output.json()) {
        output.object(Output::Object()
                          .add("event", routing ? "routing" : "signals")
                          .add(routing ? "routing" : "signals", now)
                          .addRaw("changed", "[" + changesJson + "]"));
        return;
    }
    std::string line = routing ? "routing changed:" : "signals changed:";
    for (const std::string& change : changes)
        line += "  " + change;
    if (changes.empty())
        line += "  (no difference)";
    output.text(line);
}

// Follows the device from the state read at the start.
class Watcher {
public:
    Watcher(DeviceSession& session, const Output& output)
        : session_(session)
        , model_(session.model())
        , output_(output)
    {
    }

    // Until K messages or Ctrl+C: 0, or 1 when it ends while the device is
    // gone or does not answer.
    int run(const WatchSettings& settings);

private:
    void tell(bool routing, bool evenWithoutDifference);
    void lookAtState();

    DeviceSession& session_;
    INFODEVICEMATRIXBASE& model_;
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
            if (!session_.reopen())
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

// Prints how routing (or the signals) changed since last told, and takes the
// model's values as told.
void Watcher::tell(bool routing, bool evenWithoutDifference)
{
    std::vector<int>& told = routing ? routing_ : signals_;
    const std::vector<int> now = routing ? RoutingOf(model_) : SignalsOf(model_);
    if (evenWithoutDifference || now != told)
        PrintChanges(routing, told, now, output_);
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
            Complain("the device no longer answers at ID " + id + "; its ID may have changed");
        return;
    }
    if (!std::exchange(answering_, true))
        Complain("the device answers at ID " + id + " again");
    tell(true, false);
    if (signalsKnown)
        tell(false, false);
}

int Watch(const GlobalOptions& options, const Arguments& arguments, const Output& output)
{
    const WatchSettings settings = ParseWatchSettings(arguments);
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
    if (!output.json())
        std::fprintf(stderr, "watching %s (device ID %d); Ctrl+C stops\n", session.portLabel().c_str(),
                     model.m_DeviceID);
    std::signal(SIGINT, Interrupt);
    std::signal(SIGTERM, Interrupt);
    return Watcher(session, output).run(settings);
}

}  // namespace

Verb WatchVerb()
{
    return {"watch", "watch [--count K] [--interval MS] [--check MS]",
            "poll for the device's event messages every MS ms (default 2000) and print each change;\n"
            "  stop after K messages (default: until Ctrl+C).\n"
            "  --check MS: after MS ms without a message (default 30000) read the whole state, print\n"
            "  the changes no message told, or say that the device no longer answers at its ID.\n"
            "  A device that goes away is waited for (tried after 1 s, then twice as long up to 30 s).\n"
            "  Ctrl+C exits 0, or 1 while the device is away or does not answer",
            Watch};
}

}  // namespace quellix::cli
