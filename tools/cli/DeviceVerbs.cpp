// The device verbs of quellix-cli: scan, status, route, id (watch is in
// WatchVerb.cpp, edid in EdidVerbs.cpp).
#include "Verbs.h"
#include "tavrik/PortTable.h"
#include "xandrel/custom/StringTableFile.h"

namespace quellix::cli {
namespace {

QJsonValue OrNull(std::optional<int> value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

int Scan(const Invocation& call, Output& output)
{
    NoArguments(call.arguments);
    DeviceSession session(call.global);
    INFODEVICEMATRIXBASE& model = session.model();
    session.driver().m_ShowError = 0;
    if (!output.json())
        std::fprintf(stderr, "scanning the free ports for a %s...\n", call.global.model->className);
    BYTE* found = nullptr;
    BYTE count = 0;
    model.DEVMA_ScanPort(&found, &count);
    const std::vector<BYTE> ports(found, found + count);
    if (ports.empty()) {
        Complain("no device answered on any free port");
        return kNoAnswer;
    }
    QJsonArray list;
    for (BYTE port : ports) {
        // The scan keeps only the last ID; ask each device found for its own.
        session.driver().RS232_OpenPort(port, model.m_BaudRate);
        const bool answered = model.DEVMA_GetDeviceID() == 1;
        session.driver().RS232_ClosePort();
        const std::string address = tavrik::PortTable::instance().addressOf(port);
        list.append(QJsonObject{{"port", PortJson(port, address)},
                                {"id", OrNull(answered ? std::optional<int>(model.m_DeviceID) : std::nullopt)}});
        if (!output.json())
            output.text(tavrik::PortLabel(port) + ": " + (answered ? "device ID " + std::to_string(model.m_DeviceID)
                                                                   : "device found, ID not read"));
    }
    output.set(list);
    return kOk;
}

// The names the panel gives inputs and outputs: ds.dat in the data folder,
// else the built-in "input 1" ... "output 8".
xandrel::StringTable PortNames(const std::string& dataFolder)
{
    xandrel::StringTable names = xandrel::DefaultStringTable();
    xandrel::ReadStringTableFile(xandrel::StringTableReader::MatrixView, names, dataFolder);
    return names;
}

QJsonArray NameList(const std::array<std::string, 8>& names, int count)
{
    QJsonArray list;
    for (int k = 0; k < count && k < 8; ++k)
        list.append(Text(names[k]));
    return list;
}

// "input 6", or "input 6 (Camera)" when ds.dat names it otherwise.
std::string Named(const std::string& kind, size_t number, const std::array<std::string, 8>& names)
{
    const std::string plain = kind + " " + std::to_string(number);
    const bool ownName = number <= names.size() && names[number - 1] != plain;
    return ownName ? plain + " (" + names[number - 1] + ")" : plain;
}

struct DeviceState {
    std::optional<int> id;
    std::vector<int> routing;
    std::optional<std::vector<int>> signalValues;  // none when the refresh does not read them
};

void PrintState(const DeviceSession& session, const GlobalOptions& options, const DeviceState& state,
                Output& output)
{
    const xandrel::StringTable names = PortNames(options.dataFolder);
    if (output.json()) {
        output.set(QJsonObject{
            {"port", session.portJson()},
            {"model", options.model->className},
            {"id", OrNull(state.id)},
            {"routing", JsonNumbers(state.routing)},
            {"signals", state.signalValues ? QJsonValue(JsonNumbers(*state.signalValues)) : QJsonValue()},
            {"names", QJsonObject{{"inputs", NameList(names.inputs, options.model->inputs)},
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

// One number of an OUT:IN pair.
int PairPart(const std::string& pair, const std::string& text, const char* what, int high)
{
    if (text.empty())
        throw UsageError{"'" + pair + "' has no " + what + " (OUT:IN, e.g. 3:5)"};
    return ParseNumber(text, 1, high, std::string("the ") + what + " in '" + pair + "'");
}

// The outputs named and their inputs (0 for the outputs not named), from
// OUT:IN pairs given one a word or comma-separated.
std::vector<int> ParsePairs(const Arguments& words, int inputs, int outputs)
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
            const int output = PairPart(pair, pair.substr(0, colon), "output", outputs);
            const int input = PairPart(pair, pair.substr(colon + 1), "input", inputs);
            std::string& earlier = namedBy[output - 1];
            if (!earlier.empty())
                throw UsageError{"output " + std::to_string(output) + " is given twice ('" + earlier + "' and '"
                                 + pair + "')"};
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
    return {ParsePairs(call.arguments, inputs, outputs), false};
}

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
    if (model.DEVMA_SetVideoOutputChannel(table.data()) != 1)
        return session.failed("writing the routing");
    output.set(QJsonObject{{"port", session.portJson()}, {"routing", JsonNumbers(RoutingOf(model))}});
    if (!output.json())
        output.text("routing (output 1-" + std::to_string(outputs) + "): " + Join(RoutingOf(model)));
    return kOk;
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
    output.set(QJsonObject{{"port", session.portJson()}, {"id", model.m_DeviceID}});
    if (!output.json())
        output.text(std::string(newId ? "device ID set to " : "device ID ") + std::to_string(model.m_DeviceID));
    return kOk;
}

}  // namespace

std::vector<Verb> DeviceVerbs()
{
    return {
        {.name = "scan",
         .summary = "probe the free ports for a device of the model; print each port and device ID found",
         .run = Scan},
        {.name = "status",
         .summary = "read the device's ID and whole state; print the routing (output: input) and the input signals",
         .details = "Inputs and outputs show the names ds.dat in the data folder gives them (see --data).",
         .run = Status},
        {.name = "route",
         .synopsis = "OUT:IN[,OUT:IN]... | --all IN | --one-to-one",
         .summary = "read the routing, change the outputs named (or all of them), write the whole table",
         .details = "OUT:IN pairs come one a word or comma-separated (route 3:5,4:2); an output named twice is "
                    "refused.",
         .options = {VerbOption({"all"}, "route input IN to every output", "IN"),
                     VerbOption({"one-to-one"}, "give output o the input ((o-1) mod inputs)+1")},
         .run = Route},
        {.name = "id",
         .synopsis = "| set NEW",
         .summary = "read the device ID, or write a new one (0-255)",
         .run = Id},
    };
}

}  // namespace quellix::cli
