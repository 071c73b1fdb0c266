// quellix-cli: script a matrix switch from the command line.
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Verbs.h"
#include "tavrik/ErrorReporter.h"

using namespace quellix::cli;

namespace {

const char* kUsageText =
    "usage: quellix-cli [--port P] [--model M] [--id N] [--json] VERB [ARGS]\n"
    "  --port P   a COM number (3 or COM3), a system path (/dev/ttyUSB0, /dev/pts/4)\n"
    "             or tcp://host:port; default $QUELLIX_PORT\n"
    "  --model M  a model class name (INFOHDMIMATRIX0001_4_4), a mode index 0-10 or its\n"
    "             display name; default INFOHDMIMATRIX0001_8_8\n"
    "  --id N     the device ID put in frames (default: the model's own, 255)\n"
    "  --json     one JSON object per result\n"
    "exit status: 0 success, 1 no valid answer from the device, 2 usage error,\n"
    "             3 port could not be opened or was not open, 4 file error\n"
    "verbs (quellix-cli VERB --help tells more):\n";

std::vector<Verb> AllVerbs()
{
    std::vector<Verb> verbs = DeviceVerbs();
    verbs.insert(verbs.end(), EdidVerbs().begin(), EdidVerbs().end());
    return verbs;
}

void PrintUsage(std::FILE* to)
{
    std::fputs(kUsageText, to);
    for (const Verb& verb : AllVerbs())
        std::fprintf(to, "  %s\n", verb.usage);
}

void PrintVerbHelp(const Verb& verb)
{
    std::printf("usage: quellix-cli [--port P] [--model M] [--id N] [--json] %s\n  %s\n", verb.usage, verb.details);
}

const Verb* FindVerb(const std::string& name)
{
    static const std::vector<Verb> verbs = AllVerbs();
    for (const Verb& verb : verbs)
        if (name == verb.name)
            return &verb;
    return nullptr;
}

// Splits the command line into global options, the verb and its arguments.
const Verb* ParseCommandLine(int argc, char** argv, GlobalOptions& options, Arguments& arguments)
{
    std::string model = "INFOHDMIMATRIX0001_8_8";
    if (const char* port = std::getenv("QUELLIX_PORT"))
        options.port = port;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            std::exit(kOk);
        } else if (arg == "--version") {
            std::printf("quellix-cli %s\n", QUELLIX_VERSION);
            std::exit(kOk);
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--port" && hasValue) {
            options.port = argv[++i];
        } else if (arg == "--model" && hasValue) {
            model = argv[++i];
        } else if (arg == "--id" && hasValue) {
            options.deviceId = ParseNumber(argv[++i], 0, 255, "--id");
        } else {
            throw UsageError{"unknown option or missing value: " + arg};
        }
    }
    options.model = xandrel::FindModelByAnyName(model);
    if (!options.model)
        throw UsageError{"unknown model '" + model + "' (a class name, a mode index 0-10 or a mode's display name)"};
    if (i >= argc)
        throw UsageError{"no verb given"};
    const Verb* verb = FindVerb(argv[i]);
    if (!verb)
        throw UsageError{std::string("unknown verb '") + argv[i] + "'"};
    arguments.assign(argv + i + 1, argv + argc);
    return verb;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    tavrik::SetErrorReporter([](const std::string& text) { Complain(text); });
    GlobalOptions options;
    Arguments arguments;
    try {
        const Verb* verb = ParseCommandLine(argc, argv, options, arguments);
        for (const std::string& argument : arguments) {
            if (argument == "--help" || argument == "-h") {
                PrintVerbHelp(*verb);
                return kOk;
            }
        }
        return verb->run(options, arguments, Output(options.json));
    } catch (const UsageError& error) {
        Complain(error.message);
        std::fputs("try 'quellix-cli --help'\n", stderr);
        return kUsage;
    }
}
