// The device verbs of quellix-cli: ports, scan, status, route, id (watch is
// in WatchVerb.cpp).
#include "Verbs.h"
#include "tavrik/PortTable.h"

namespace quellix::cli {
namespace {

void NoArguments(const Arguments& arguments)
{
    if (!arguments.empty())
        throw UsageError{"unexpected argument '" + arguments.front() + "'"};
}

int Ports(const GlobalOptions&, const Arguments& arguments, const Output& output)
{
    NoArguments(arguments);
    const auto entries = tavrik::PortTable::instance().entries();
    if (entries.empty() && !output.json())
        output.text("no serial ports found (pin ports in data/ports.dat, or give --port a path or tcp://host:port). "
                    + tavrik::SerialAccessHint());
    for (const tavrik::PortEntry& entry : entries) {
        const char* state = tavrik::PortStateName(tavrik::ProbePortState(entry.address));
        if (output.json()) {
            output.object(Output::Object()
                              .add("number", entry.number)
                              .add("path", entry.address)
                              .add("description", entry.description)
                              .add("state", state));
            continue;
        }
        char line[512];
        std::snprintf(line, sizeof line, "COM%-4d %-28s %-13s %s", entry.number, entry.address.c_str(), state,
                      entry.description.c_str());
        output.text(line);
    }
    return kOk;
}

int Scan(const GlobalOptions& options, const Arguments& arguments, const Output& output)
{
    NoArguments(arguments);
    DeviceSession session(options);
    INFODEVICEMATRIXBASE& model = session.model();
    session.driver().m_ShowError = 0;
    if (!output.json())
        std::fprintf(stderr, "scanning the free ports for a %s...\n", options.model->className);
    BYTE* found = nullptr;
    BYTE count = 0;
    model.DEVMA_ScanPort(&found, &count);
    const std::vector<BYTE> ports(found, found + count);
    if (ports.empty()) {
        Complain("no device answered on any free port");
        return kNoAnswer;
    }
    for (BYTE port : ports) {
        // The scan keeps only the last ID; ask each device found for its own.
        session.driver().RS232_OpenPort(port, model.m_BaudRate);
        const bool answered = model.DEVMA_GetDeviceID() == 1;
        session.driver().RS232_ClosePort();
        const std::string address = tavrik::PortTable::instance().addressOf(port);
        if (output.json()) {
            Output::Object result;
            result.add("port", port).add("path", address);
            answered ? result.add("id", model.m_DeviceID) : result.addNull("id");
            output.object(result);
        } else {
            output.text(tavrik::PortLabel(port) + ": " + (answered ? "device ID " + std::to_string(model.m_DeviceID)
                                                                   : "device found, ID not read"));
        }
    }
    return kOk;
}

void PrintState(const DeviceSession& session, const INFODEVICEMATRIXBASE& model, bool signalsKnown,
                const Output& output)
{
    const std::vector<int> routing = RoutingOf(model);
    const std::vector<int> signals = SignalsOf(model);
    if (output.json()) {
        Output::Object result;
        result.add("port", session.portLabel()).add("routing", routing);
        signalsKnown ? result.add("signals", signals) : result.addNull("signals");
        output.object(result);
        return;
    }
    output.text("routing (output: input)");
    for (size_t o = 0; o < routing.size(); ++o)
        output.text("  output " + std::to_string(o + 1) + ": input " + std::to_string(routing[o]));
    output.text("signals");
    for (size_t i = 0; i < signals.size(); ++i)
        output.text("  input " + std::to_string(i + 1) + ": "
                    + (!signalsKnown ? "unknown" : signals[i] ? "signal" : "no signal"));
}

int Status(const GlobalOptions& options, const Arguments& arguments, const Output& output)
{
    NoArguments(arguments);
    DeviceSession session(options);
    if (int code = session.open())
        return code;
    bool signalsKnown = false;
    if (int code = session.readState(signalsKnown))
        return code;
    PrintState(session, session.model(), signalsKnown, output);
    return kOk;
}

// The routing asked for: a whole table, or the outputs named (0 for the others).
void ParseRouteRequest(const Arguments& arguments, int inputs, int outputs, std::vector<int>& table, bool& wholeTable)
{
    wholeTable = false;
    if (arguments.empty())
        throw UsageError{"route needs OUT:IN pairs, --all IN or --one-to-one"};
    if (arguments[0] == "--all") {
        if (arguments.size() != 2)
            throw UsageError{"route --all takes one input number"};
        table.assign(outputs, ParseNumber(arguments[1], 1, inputs, "the input"));
        wholeTable = true;
        return;
    }
    if (arguments[0] == "--one-to-one") {
        if (arguments.size() != 1)
            throw UsageError{"route --one-to-one takes no further argument"};
        table.resize(outputs);
        for (int o = 1; o <= outputs; ++o)
            table[o - 1] = (o - 1) % inputs + 1;
        wholeTable = true;
        return;
    }
    table.assign(outputs, 0);
    for (const std::string& pair : arguments) {
        const auto colon = pair.find(':');
        if (colon == std::string::npos)
            throw UsageError{"'" + pair + "' is not OUT:IN"};
        const int output = ParseNumber(pair.substr(0, colon), 1, outputs, "the output in '" + pair + "'");
        table[output - 1] = ParseNumber(pair.substr(colon + 1), 1, inputs, "the input in '" + pair + "'");
    }
}

int Route(const GlobalOptions& options, const Arguments& arguments, const Output& output)
{
    const int inputs = options.model->inputs;
    const int outputs = options.model->outputs;
    std::vector<int> request;
    bool wholeTable = false;
    ParseRouteRequest(arguments, inputs, outputs, request, wholeTable);

    DeviceSession session(options);
    if (int code = session.open())
        return code;
    INFODEVICEMATRIXBASE& model = session.model();
    // Read first, so the table sent keeps the outputs not named, and so a
    // model that skips unchanged routing compares with the device's own.
    if (model.DEVMA_GetVideoOutputChannel() != 1)
        return session.failed("reading the routing");
    std::vector<BYTE> table(model.m_VideoOutputChannel.get(), model.m_VideoOutputChannel.get() + outputs);
    for (int o = 0; o < outputs; ++o)
        if (wholeTable || request[o] != 0)
            table[o] = static_cast<BYTE>(request[o]);
    if (model.DEVMA_SetVideoOutputChannel(table.data()) != 1)
        return session.failed("writing the routing");
    if (output.json())
        output.object(Output::Object().add("port", session.portLabel()).add("routing", RoutingOf(model)));
    else
        output.text("routing (output 1-" + std::to_string(outputs) + "): " + Join(RoutingOf(model)));
    return kOk;
}

int Id(const GlobalOptions& options, const Arguments& arguments, const Output& output)
{
    std::optional<int> newId;
    if (!arguments.empty()) {
        if (arguments[0] != "set" || arguments.size() != 2)
            throw UsageError{"id takes no argument, or: id set NEW"};
        newId = ParseNumber(arguments[1], 0, 255, "the new device ID");
    }
    DeviceSession session(options);
    if (int code = session.open())
        return code;
    INFODEVICEMATRIXBASE& model = session.model();
    if (newId) {
        if (model.DEVMA_SetDeviceID(static_cast<BYTE>(*newId)) != 1)
            return session.failed("setting the device ID");
    } else if (model.DEVMA_GetDeviceID() != 1) {
        return session.failed("reading the device ID");
    }
    if (output.json())
        output.object(Output::Object().add("port", session.portLabel()).add("id", model.m_DeviceID));
    else
        output.text(std::string(newId ? "device ID set to " : "device ID ") + std::to_string(model.m_DeviceID));
    return kOk;
}

}  // namespace

const std::vector<Verb>& DeviceVerbs()
{
    static const std::vector<Verb> verbs = {
        {"ports", "ports", "every port with its COM number, system path, state (free, in use, no permission) and description", Ports},
        {"scan", "scan", "probe the free ports for a device of the model; print each port and device ID found", Scan},
        {"status", "status", "read the device's whole state; print the routing (output: input) and the input signals", Status},
        {"route", "route OUT:IN [OUT:IN ...] | route --all IN | route --one-to-one",
         "read the routing, change the outputs named (or all of them), write the whole table;\n"
         "  --one-to-one gives output o the input ((o-1) mod inputs)+1",
         Route},
        {"id", "id | id set NEW", "read the device ID, or write a new one (0-255)", Id},
        WatchVerb(),
    };
    return verbs;
}

}  // namespace quellix::cli
