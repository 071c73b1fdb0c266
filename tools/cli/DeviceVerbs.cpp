// SPDX-License-Identifier: GPL-3.0-or-later
// The device verbs of quellix-cli: scan, status, route, id (watch is in
// WatchVerb.cpp, edid in EdidVerbs.cpp).
#include "Verbs.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/Discovery.h"
#include "xandrel/device/RoutingCheck.h"

#include <algorithm>
#include <csignal>

namespace quellix::cli {
namespace {

JsonValue OrNull(std::optional<int> value)
{
    return value ? JsonValue(*value) : JsonValue();
}

// What answered on one open port, as a JSON list, told on the way.
JsonArray Discover(INFOPORTDRIVER& driver, const std::string& label, bool deep, Output& output)
{
    TerminalProgress progress("asking " + label + (deep ? " at every 8x8 ID" : ""));
    xandrel::DiscoveryOptions options{deep, [&progress](int asked, int total) {
                                          progress.setRange(total);
                                          progress.setPosition(asked);
                                          return !g_interrupted;
                                      }};
    const std::vector<xandrel::DiscoveredDevice> found = xandrel::DiscoverOnPort(driver, options);
    progress.finish();
    JsonArray devices;
    for (const xandrel::DiscoveredDevice& device : found) {
        JsonArray models;
        for (const xandrel::ModelSpec* model : device.models)
            models.append(model->className);
        devices.append(JsonObject{{"models", models}, {"id", device.id}});
        if (!output.json())
            output.text(label + ": " + xandrel::DescribeDiscovered(device));
    }
    return devices;
}

std::string WhatWasTried(bool deep)
{
    return "asked as " + std::to_string(xandrel::DiscoveryProbes().size())
        + " model headers at ID 255, the 8x8 family at "
        + (deep ? "every ID 0-255" : "ID 0 and 255 (--deep: every ID)");
}

int Scan(const Invocation& call, Output& output)
{
    NoArguments(call.arguments);
    const bool deep = call.isSet("deep");
    DeviceSession session(call.global);
    INFOPORTDRIVER& driver = session.driver();
    driver.m_ShowError = 0;
    std::signal(SIGINT, [](int) { g_interrupted = 1; });
    JsonArray list;
    int found = 0;
    const auto look = [&](const JsonObject& port, const std::string& label, const char* state) {
        JsonObject result{{"port", port}, {"state", state}, {"devices", JsonArray()}};
        if (std::string(state) == "free") {
            const JsonArray devices = Discover(driver, label, deep, output);
            found += static_cast<int>(devices.size());
            result.insert("devices", devices);
        } else if (!output.json()) {
            output.text(label + ": " + state + (std::string(state) == "in use" ? " (another program holds it)" : ""));
        }
        list.append(result);
    };
    if (!call.global.port.empty()) {  // the one port given
        if (int code = session.open())
            return code;
        look(session.portJson(), session.portLabel(), "free");
        driver.RS232_ClosePort();
    } else {
        for (const tavrik::PortEntry& entry : tavrik::PortTable::instance().entries()) {
            const tavrik::PortState state = tavrik::ProbePortState(entry.address);
            const bool opened = state == tavrik::PortState::Free && driver.RS232_OpenPort(entry.number, 9600) == 1;
            look(PortJson(entry.number, entry.address), tavrik::PortLabel(entry.number),
                 opened || state != tavrik::PortState::Free ? tavrik::PortStateName(state) : "unavailable");
            driver.RS232_ClosePort();
            if (g_interrupted)
                break;
        }
    }
    output.set(list);
    if (found != 0)
        return kOk;
    Complain("no device answered on " + std::to_string(list.size()) + " port(s); " + WhatWasTried(deep));
    return kNoAnswer;
}

JsonArray NameList(const std::array<std::string, 8>& names, int count)
{
    JsonArray list;
    for (int k = 0; k < count && k < 8; ++k)
        list.append(names[k]);
    return list;
}

struct DeviceState {
    std::optional<int> id;
    std::vector<int> routing;
    std::optional<std::vector<int>> signalValues;  // none when the refresh does not read them
};

void PrintState(const DeviceSession& session, const GlobalOptions& options, const DeviceState& state, Output& output)
{
    const PortNames names = NamesIn(options.dataFolder);
    if (output.json()) {
        output.set(JsonObject{
            {"port", session.portJson()},
            {"model", options.model->className},
            {"id", OrNull(state.id)},
            {"routing", JsonNumbers(state.routing)},
            {"signals", state.signalValues ? JsonValue(JsonNumbers(*state.signalValues)) : JsonValue()},
            {"names",
             JsonObject{{"inputs", NameList(names.inputs, options.model->inputs)},
                        {"outputs", NameList(names.outputs, options.model->outputs)}}},
        });
        return;
    }
    output.text(std::string(options.model->className) + " at " + session.portLabel() + ", device ID "
                + (state.id ? std::to_string(*state.id) : "unknown"));
    output.text("routing (output: input)");
    for (size_t o = 0; o < state.routing.size(); ++o)
        output.text("  " + Named("output", o + 1, names.outputs) + ": "
                    + Named("input", static_cast<size_t>(state.routing[o]), names.inputs));
    output.text("signals");
    for (int i = 0; i < options.model->inputs; ++i) {
        const char* signal = !state.signalValues ? "unknown" : (*state.signalValues)[i] ? "signal" : "no signal";
        output.text("  " + Named("input", static_cast<size_t>(i + 1), names.inputs) + ": " + signal);
    }
}

int Status(const Invocation& call, Output& output)
{
    NoArguments(call.arguments);
    DeviceSession session(call.global);
    if (int code = session.open())
        return code;
    INFODEVICEMATRIXBASE& model = session.model();
    DeviceState state;
    // Frames go to --id when given; else the device is asked for its own.
    if (call.global.deviceId || model.DEVMA_GetDeviceID() == 1)
        state.id = model.m_DeviceID;
    bool signalsKnown = false;
    if (int code = session.readState(signalsKnown))
        return code;
    state.routing = RoutingOf(model);
    if (signalsKnown)
        state.signalValues = SignalsOf(model);
    PrintState(session, call.global, state, output);
    return kOk;
}

// One side of an OUT:IN pair: a number or a name from ds.dat.
int PairPart(const std::string& pair, const std::string& text, const char* what,
             const std::array<std::string, 8>& names, int high)
{
    if (text.empty())
        throw UsageError{"'" + pair + "' has no " + what + " (OUT:IN, e.g. 3:5 or Projector:Laptop)"};
    return NumberOrName(text, what, names, high, pair);
}

// The outputs named and their inputs (0 for the outputs not named), from
// OUT:IN pairs given one a word or comma-separated, by number or name.
std::vector<int> ParsePairs(const Arguments& words, const PortNames& names, int inputs, int outputs)
{
    std::vector<int> table(outputs, 0);
    std::vector<std::string> namedBy(outputs);
    for (const std::string& word : words) {
        for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
            end = word.find(',', start);
            const std::string pair = word.substr(start, end == std::string::npos ? end : end - start);
            const auto colon = pair.find(':');
            if (pair.empty())
                throw UsageError{"'" + word + "' holds an empty pair: OUT:IN pairs are separated by single commas"};
            if (colon == std::string::npos)
                throw UsageError{"'" + pair + "' is not OUT:IN (an output, a colon and an input, e.g. 3:5)"};
            const int output = PairPart(pair, pair.substr(0, colon), "output", names.outputs, outputs);
            const int input = PairPart(pair, pair.substr(colon + 1), "input", names.inputs, inputs);
            std::string& earlier = namedBy[output - 1];
            if (!earlier.empty())
                throw UsageError{"output " + std::to_string(output) + " is given twice ('" + earlier + "' and '" + pair
                                 + "')"};
            earlier = pair;
            table[output - 1] = input;
        }
    }
    return table;
}

// The routing asked for: a whole table, or the outputs named (0 for the others).
struct RouteRequest {
    std::vector<int> table;
    bool wholeTable = false;
};

RouteRequest ParseRouteRequest(const Invocation& call, int inputs, int outputs)
{
    const PortNames names = NamesIn(call.global.dataFolder);
    const std::optional<std::string> all = call.value("all");
    const bool oneToOne = call.isSet("one-to-one");
    const int forms = int(all.has_value()) + int(oneToOne) + int(!call.arguments.empty());
    if (forms != 1)
        throw UsageError{std::string(forms == 0 ? "route needs" : "route takes one of")
                         + " OUT:IN pairs, --all IN or --one-to-one"};
    if (all)
        return {std::vector<int>(outputs, ParseNumber(*all, 1, inputs, "the input of --all")), true};
    if (oneToOne) {
        std::vector<int> table(outputs);
        for (int o = 1; o <= outputs; ++o)
            table[o - 1] = (o - 1) % inputs + 1;
        return {table, true};
    }
    return {ParsePairs(call.arguments, names, inputs, outputs), false};
}

}  // namespace

int SendRouting(DeviceSession& session, const std::vector<BYTE>& table, bool confirm, Output& output)
{
    INFODEVICEMATRIXBASE& model = session.model();
    const bool changes = !std::equal(table.begin(), table.end(), model.m_VideoOutputChannel.get());
    if (model.DEVMA_SetVideoOutputChannel(table.data()) != 1)
        return session.failed("writing the routing");
    std::string problem;
    if (confirm && changes)
        problem = xandrel::ConfirmRouting(model, std::vector<int>(table.begin(), table.end()));
    JsonObject result{{"port", session.portJson()},
                      {"routing", JsonNumbers(RoutingOf(model))},
                      {"confirmed", confirm && problem.empty()}};
    output.set(result);
    if (!output.json())
        output.text("routing (output 1-" + std::to_string(model.m_OutputNumber) + "): " + Join(RoutingOf(model)));
    if (problem.empty())
        return kOk;
    Complain("the device did not follow: " + problem);
    return kNoAnswer;
}

namespace {

int Route(const Invocation& call, Output& output)
{
    const int outputs = call.global.model->outputs;
    const RouteRequest request = ParseRouteRequest(call, call.global.model->inputs, outputs);
    DeviceSession session(call.global);
    if (int code = session.open())
        return code;
    INFODEVICEMATRIXBASE& model = session.model();
    // Read first, so the table sent keeps the outputs not named, and so a
    // model that skips unchanged routing compares with the device's own.
    if (model.DEVMA_GetVideoOutputChannel() != 1)
        return session.failed("reading the routing");
    std::vector<BYTE> table(model.m_VideoOutputChannel.get(), model.m_VideoOutputChannel.get() + outputs);
    for (int o = 0; o < outputs; ++o)
        if (request.wholeTable || request.table[o] != 0)
            table[o] = static_cast<BYTE>(request.table[o]);
    return SendRouting(session, table, call.global.confirm, output);
}

int Id(const Invocation& call, Output& output)
{
    const Arguments& words = call.arguments;
    std::optional<int> newId;
    if (!words.empty()) {
        if (words[0] != "set" || words.size() != 2)
            throw UsageError{"id takes no argument, or: id set NEW"};
        newId = ParseNumber(words[1], 0, 255, "the new device ID");
    }
    DeviceSession session(call.global);
    if (int code = session.open())
        return code;
    INFODEVICEMATRIXBASE& model = session.model();
    if (newId) {
        if (model.DEVMA_SetDeviceID(static_cast<BYTE>(*newId)) != 1)
            return session.failed("setting the device ID");
    } else if (model.DEVMA_GetDeviceID() != 1) {
        return session.failed("reading the device ID");
    }
    output.set(JsonObject{{"port", session.portJson()}, {"id", model.m_DeviceID}});
    if (!output.json())
        output.text(std::string(newId ? "device ID set to " : "device ID ") + std::to_string(model.m_DeviceID));
    return kOk;
}

}  // namespace

std::vector<Verb> DeviceVerbs()
{
    return {
        {.name = "scan",
         .synopsis = "[--deep]",
         .summary = "find devices of any model: ask every free port (or the one of --port) as every model header; "
                    "print port, models and ID",
         .details = "Most models answer at ID 255; the 8x8 family only at its own ID, so it is asked at its "
                    "factory ID 0 and at 255, or at every ID with --deep (about 2 minutes a port; Ctrl+C stops). "
                    "Ports another program holds are listed as such. Exit status 1 when nothing answered.",
         .options = {VerbOption({"deep"}, "ask the 8x8 family at every ID 0-255")},
         .run = Scan},
        {.name = "status",
         .summary = "read the device's ID and whole state; print the routing (output: input) and the input signals",
         .details = "Inputs and outputs show the names ds.dat in the data folder gives them (see --data).",
         .run = Status},
        {.name = "route",
         .synopsis = "OUT:IN[,OUT:IN]... | --all IN | --one-to-one",
         .summary = "read the routing, change the outputs named (or all of them), write the whole table and read "
                    "it back",
         .details = "OUT:IN pairs come one a word or comma-separated (route 3:5,4:2); an output named twice is "
                    "refused. Inputs and outputs go by number or by the name ds.dat gives them (route "
                    "Projector:Laptop, 3:Laptop). After the write the routing is read back: outputs that did not "
                    "follow are named and the exit status is 1 (--no-confirm skips the read).",
         .options = {VerbOption({"all"}, "route input IN to every output", "IN"),
                     VerbOption({"one-to-one"}, "give output o the input ((o-1) mod inputs)+1")},
         .run = Route},
        {.name = "id", .synopsis = "| set NEW", .summary = "read the device ID, or write a new one (0-255)", .run = Id},
    };
}

}  // namespace quellix::cli
