// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tavrik/ErrorReporter.h"
#include "xandrel/custom/DataFolder.h"

namespace quellix::cli {
namespace {

constexpr const char* kProgram = "quellix-cli";
constexpr const char* kDefaultModel = "INFOHDMIMATRIX0001_8_8";

const std::vector<Option>& GlobalOptionList()
{
    static const std::vector<Option> options = {
        VerbOption({"p", "port"},
                   "a COM number (3 or COM3), a path (/dev/ttyUSB0 or a /dev/serial/by-id link), a device name "
                   "(ttyUSB0) or tcp://host:port; default $QUELLIX_PORT",
                   "P"),
        VerbOption({"m", "model"},
                   "a class name (INFOHDMIMATRIX0001_4_4), a short name (4x4), a mode index 0-10 or a mode's display "
                   "name ('quellix-cli models' lists them); default $QUELLIX_MODEL, else INFOHDMIMATRIX0001_8_8",
                   "M"),
        VerbOption({"id"}, "the device ID put in frames, 0-255; default $QUELLIX_ID, else the model's own", "N"),
        VerbOption({"json"}, "print one JSON document (watch: one JSON object per line)"),
        VerbOption({"data"},
                   "the data folder: ds.dat names inputs and outputs, presets.json holds presets; default "
                   "$QUELLIX_DATA, else the panel's: ./data, or ~/.local/share/quellix/data",
                   "DIR"),
        VerbOption({"trace"}, "print every frame sent and received, and every event message dropped, on stderr"),
        VerbOption({"no-confirm"}, "do not read the routing back after writing it"),
        VerbOption({"h", "help"}, "this help, or the verb's"),
        VerbOption({"version"}, "the program's version"),
    };
    return options;
}

// Every option of every verb, so that the words of any option can be told
// from the verb's name before the verb is known. A name two verbs share is
// taken once: it must take a value in both or in neither.
void AddEveryOption(OptionParser& parser, const std::vector<Verb>& verbs, std::vector<std::string>& names)
{
    for (const Verb& verb : verbs) {
        for (const Option& option : verb.options) {
            if (std::find(names.begin(), names.end(), option.names.front()) != names.end())
                continue;
            names.insert(names.end(), option.names.begin(), option.names.end());
            parser.add(option);
        }
        AddEveryOption(parser, verb.subVerbs, names);
    }
}

// Optimal string alignment: each insertion, deletion, substitution or swap
// of neighbours counts one.
size_t EditDistance(const std::string& a, const std::string& b)
{
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// "; did you mean 'status'?" when a candidate is a slip of the keyboard away.
std::string DidYouMean(const std::string& typed, const std::vector<std::string>& candidates)
{
    const size_t slack = typed.size() <= 3 ? 1 : 2;
    const std::string* nearest = nullptr;
    size_t best = slack + 1;
    for (const std::string& candidate : candidates) {
        if (const size_t distance = EditDistance(Lower(typed), Lower(candidate)); distance < best) {
            best = distance;
            nearest = &candidate;
        }
    }
    return nearest ? "; did you mean '" + *nearest + "'?" : "";
}

std::string Dashed(const std::string& name)
{
    return (name.size() == 1 ? "-" : "--") + name;
}

UsageError UnknownOption(const std::string& name, const std::vector<Option>& known, const std::string& where)
{
    std::vector<std::string> names;
    for (const Option& option : known)
        for (const std::string& knownName : option.names)
            names.push_back(Dashed(knownName));
    return UsageError{"unknown option '" + Dashed(name) + "'" + where + DidYouMean(Dashed(name), names)};
}

std::string Listed(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : ", ") + word;
    return text;
}

std::vector<std::string> NamesOf(const std::vector<Verb>& verbs)
{
    std::vector<std::string> names;
    for (const Verb& verb : verbs)
        names.push_back(verb.name);
    return names;
}

// "edid read" for the verb and its sub-verb.
std::string PathName(const std::vector<const Verb*>& path)
{
    std::string name;
    for (const Verb* verb : path)
        name += (name.empty() ? "" : " ") + std::string(verb->name);
    return name;
}

// The value of an option, else of the environment variable that gives its
// default; `source` names which, for a message.
struct Setting {
    std::string value;
    std::string source;
};

Setting OptionOrEnvironment(const OptionParser& parser, const char* option, const char* variable)
{
    if (parser.isSet(option))
        return {parser.value(option), std::string("--") + option};
    const char* fromEnvironment = std::getenv(variable);
    return {fromEnvironment ? fromEnvironment : "", std::string("$") + variable};
}

const xandrel::ModelSpec& ModelNamed(const Setting& model)
{
    if (const xandrel::ModelSpec* found = xandrel::FindModelByAnyName(model.value))
        return *found;
    std::vector<std::string> names;
    for (const xandrel::ModelSpec& known : xandrel::AllModels())
        names.insert(names.end(), {known.shortName, known.className});
    throw UsageError{"unknown model '" + model.value + "' in " + model.source + DidYouMean(model.value, names)
                     + " ('quellix-cli models' lists them)"};
}

// The data folder the panel uses: ./data, unless there is none or
// QUELLIX_USER_DATA asks for the person's own folder.
std::string PanelDataFolder()
{
    const char* perUser = std::getenv("QUELLIX_USER_DATA");
    std::error_code error;
    if ((!perUser || !*perUser) && std::filesystem::is_directory("data", error))
        return "data";
    return xandrel::PerUserDataRoot() + "/quellix/data";
}

// --- help ---

constexpr size_t kWidth = 79;
constexpr size_t kDescriptionColumn = 24;

// Words wrapped at kWidth, every line indented by `indent`; a line end in
// `text` starts a new paragraph.
std::string Wrap(const std::string& text, size_t indent)
{
    std::string out;
    std::istringstream paragraphs(text);
    for (std::string paragraph; std::getline(paragraphs, paragraph);) {
        std::istringstream words(paragraph);
        size_t column = kWidth;  // a new line before the first word
        for (std::string word; words >> word; column += word.size()) {
            if (column + 1 + word.size() > kWidth) {
                out += (out.empty() ? "" : "\n") + std::string(indent, ' ');
                column = indent;
            } else {
                out += ' ';
                ++column;
            }
            out += word;
        }
    }
    return out + "\n";
}

// "  left                  description", the description wrapped beside it.
std::string Entry(const std::string& left, const std::string& description)
{
    std::string text = "  " + left;
    text += text.size() < kDescriptionColumn ? std::string(kDescriptionColumn - text.size(), ' ')
                                             : "\n" + std::string(kDescriptionColumn, ' ');
    std::string wrapped = Wrap(description, kDescriptionColumn);
    return text + wrapped.erase(0, wrapped.find_first_not_of(' '));
}

std::string OptionEntries(const std::vector<Option>& options)
{
    std::string text;
    for (const Option& option : options) {
        std::string names;
        for (const std::string& name : option.names)
            names += (names.empty() ? "" : ", ") + Dashed(name);
        if (option.takesValue())
            names += " " + option.valueName;
        text += Entry(names, option.description);
    }
    return text;
}

// One usage line per form: "route A | route --all IN" gives two.
std::string UsageLines(const std::string& command, const std::string& synopsis)
{
    std::string text;
    std::istringstream forms(synopsis);
    for (std::string form; std::getline(forms, form, '|');) {
        form.erase(0, form.find_first_not_of(' '));
        form.erase(form.find_last_not_of(' ') + 1);
        text += (text.empty() ? "usage: " : "       ") + std::string(kProgram) + " [OPTIONS] " + command
            + (form.empty() ? "" : " " + form) + "\n";
    }
    return text;
}

std::string VerbEntries(const std::vector<Verb>& verbs, const std::string& prefix)
{
    std::string text;
    for (const Verb& verb : verbs) {
        if (verb.subVerbs.empty())
            text += Entry(prefix + verb.name, verb.summary);
        else
            text += VerbEntries(verb.subVerbs, prefix + verb.name + " ");
    }
    return text;
}

std::string ProgramHelp(const std::vector<Verb>& verbs)
{
    return UsageLines("VERB", "[ARGS]")
        + Wrap("Controls a matrix switch on a serial line or a TCP device server. Options may come before or after "
               "the verb.",
               0)
        + "\nverbs:\n" + VerbEntries(verbs, "") + "options:\n" + OptionEntries(GlobalOptionList()) + "environment:\n"
        + Wrap("QUELLIX_PORT, QUELLIX_MODEL, QUELLIX_ID and QUELLIX_DATA give the defaults of --port, --model, --id "
               "and --data; QUELLIX_PORTS names the port table file (default data/ports.dat).",
               2)
        + "exit status:\n"
        + Wrap("0 success, 1 no valid answer from the device, 2 usage error, 3 the port could not be opened or was "
               "not open, 4 file error.",
               2)
        + "'quellix-cli help VERB' or 'quellix-cli VERB --help' tells more.\n";
}

std::string VerbHelp(const std::vector<const Verb*>& path)
{
    const Verb& verb = *path.back();
    const std::string name = PathName(path);
    std::string text;
    if (verb.subVerbs.empty()) {
        text = UsageLines(name, verb.synopsis) + "\n" + Wrap(verb.summary, 2);
        if (*verb.details)
            text += Wrap(verb.details, 2);
        if (!verb.options.empty())
            text += "\n" + name + " options:\n" + OptionEntries(verb.options);
    } else {
        text = UsageLines(name, "VERB [ARGS]") + "\n" + Wrap(verb.summary, 2) + "\n" + name + " verbs:\n";
        for (const Verb& sub : verb.subVerbs)
            text += Entry(std::string(sub.name) + " " + sub.synopsis, sub.summary);
        text += "'quellix-cli " + name + " VERB --help' tells more.\n";
    }
    return text + "\nglobal options:\n" + OptionEntries(GlobalOptionList());
}

}  // namespace

Option VerbOption(std::vector<std::string> names, const char* description, const char* valueName)
{
    return {std::move(names), description, valueName ? valueName : ""};
}

bool Invocation::isSet(const char* name) const
{
    return parser->isSet(name);
}

std::optional<std::string> Invocation::value(const char* name) const
{
    if (!isSet(name))
        return std::nullopt;
    return parser->value(name);
}

void NoArguments(const Arguments& words)
{
    if (!words.empty())
        throw UsageError{"unexpected argument '" + words.front() + "'"};
}

CommandLine::CommandLine(int argc, char** argv, std::vector<Verb> verbs)
    : arguments_(argv, argv + argc)
    , verbs_(std::move(verbs))
{
    // A first look, with every option any verb knows: finds --json, --help
    // and --version wherever they are. Errors are told by parseFor().
    OptionParser scout;
    scout.add(GlobalOptionList());
    std::vector<std::string> names;
    AddEveryOption(scout, verbs_, names);
    scout.parse(arguments_);
    json_ = scout.isSet("json");
    help_ = scout.isSet("help");
    version_ = scout.isSet("version");
    positional_ = scout.positionalArguments();
    if (!scout.unknownOptionNames().empty())
        unknownOption_ = scout.unknownOptionNames().front();
    port_ = OptionOrEnvironment(scout, "port", "QUELLIX_PORT").value;
}

std::string CommandLine::helpCommand() const
{
    return std::string(kProgram) + (path_.empty() ? "" : " " + PathName(path_)) + " --help";
}

bool CommandLine::runsAlone() const
{
    if (help_ || version_ || !unknownOption_.empty() || positional_.empty())
        return false;
    return std::any_of(verbs_.begin(), verbs_.end(),
                       [&](const Verb& verb) { return positional_.front() == verb.name && verb.subVerbs.empty(); });
}

void CommandLine::findVerb(const std::vector<std::string>& words)
{
    const std::vector<Verb>* choices = &verbs_;
    for (const std::string& name : words) {
        const auto found =
            std::find_if(choices->begin(), choices->end(), [&](const Verb& verb) { return name == verb.name; });
        if (found == choices->end()) {
            const std::string kind = path_.empty() ? "verb" : PathName(path_) + " verb";
            const std::string suggestion = DidYouMean(name, NamesOf(*choices));
            throw UsageError{"unknown " + kind + " '" + name + "'" + (suggestion.empty() ? "." : suggestion) + " The "
                             + kind + "s: " + Listed(NamesOf(*choices))};
        }
        path_.push_back(&*found);
        if (found->subVerbs.empty())
            return;
        choices = &found->subVerbs;
    }
}

int CommandLine::run(Output& output)
{
    if (version_) {
        output.set(JsonObject{{"version", QUELLIX_VERSION}});
        if (!json_)
            std::printf("%s %s\n%s\n", kProgram, QUELLIX_VERSION, QUELLIX_LICENSE_NOTICE);
        return kOk;
    }
    std::vector<std::string> words = positional_;
    const bool helpVerb = !words.empty() && words.front() == "help";
    if (helpVerb)
        words.erase(words.begin());
    try {
        findVerb(words);
    } catch (const UsageError&) {
        // The value of an unknown option is taken for a word: the option is the mistake.
        if (!unknownOption_.empty())
            throw UnknownOption(unknownOption_, GlobalOptionList(), "");
        throw;
    }
    if (help_ || helpVerb) {
        std::fputs((path_.empty() ? ProgramHelp(verbs_) : VerbHelp(path_)).c_str(), stdout);
        return kOk;
    }
    if (path_.empty())
        throw UsageError{"no verb given"};
    const Verb& verb = *path_.back();
    if (!verb.subVerbs.empty())
        throw UsageError{PathName(path_) + " needs one of its verbs: " + Listed(NamesOf(verb.subVerbs))};
    return verb.run(parseFor(verb), output);
}

Invocation CommandLine::parseFor(const Verb& verb) const
{
    auto parser = std::make_shared<OptionParser>();
    parser->add(GlobalOptionList());
    parser->add(verb.options);
    if (!parser->parse(arguments_)) {
        const std::string where = " for " + PathName(path_);
        if (!parser->unknownOptionNames().empty()) {
            std::vector<Option> known = GlobalOptionList();
            known.insert(known.end(), verb.options.begin(), verb.options.end());
            throw UnknownOption(parser->unknownOptionNames().front(), known, where);
        }
        // "Missing value after '--port'." in the program's own style.
        std::string error = parser->errorText();
        error[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(error[0])));
        throw UsageError{error.substr(0, error.find_last_not_of('.') + 1) + where};
    }
    Invocation call;
    call.global = globalOptions(*parser);
    const std::vector<std::string>& positional = parser->positionalArguments();
    for (size_t k = path_.size(); k < positional.size(); ++k)
        call.arguments.push_back(positional[k]);
    call.parser = parser;
    return call;
}

GlobalOptions CommandLine::globalOptions(const OptionParser& parser) const
{
    GlobalOptions options;
    options.json = parser.isSet("json");
    options.port = OptionOrEnvironment(parser, "port", "QUELLIX_PORT").value;
    Setting model = OptionOrEnvironment(parser, "model", "QUELLIX_MODEL");
    options.model = &ModelNamed(model.value.empty() ? Setting{kDefaultModel, "the default"} : model);
    if (const Setting id = OptionOrEnvironment(parser, "id", "QUELLIX_ID"); !id.value.empty())
        options.deviceId = ParseNumber(id.value, 0, 255, id.source);
    const Setting data = OptionOrEnvironment(parser, "data", "QUELLIX_DATA");
    options.dataFolder = data.value.empty() ? PanelDataFolder() : data.value;
    options.trace = parser.isSet("trace");
    options.confirm = !parser.isSet("no-confirm");
    return options;
}

int RunCommandLine(CommandLine& commandLine)
{
    tavrik::SetErrorReporter([](const std::string& text) { Complain(text); });
    Output output(commandLine.json());
    try {
        return output.finish(commandLine.run(output));
    } catch (const UsageError& error) {
        Complain(error.message);
        std::fprintf(stderr, "try '%s'\n", commandLine.helpCommand().c_str());
        return output.finish(kUsage);
    }
}

}  // namespace quellix::cli
