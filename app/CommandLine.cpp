// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "xandrel/device/ModelCatalog.h"

namespace quellix {
namespace {

constexpr int kUsageError = 2;

// Qt's options for every widget program, as QApplication reads them.
constexpr std::string_view kQtOptionsWithValue[] = {
    "platform",      "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon",   "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",       "geometry",           "title",         "icon",   "name",
    "qmljsdebugger",
};
constexpr std::string_view kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

template <size_t N>
bool OneOf(std::string_view name, const std::string_view (&names)[N])
{
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// "style" of "-style", "--style" and "-style=fusion"; empty for no option.
std::string_view OptionName(std::string_view argument)
{
    if (argument.size() < 2 || argument[0] != '-')
        return {};
    argument.remove_prefix(argument[1] == '-' ? 2 : 1);
    return argument.substr(0, argument.find('='));
}

// The --model entry of the help, naming every short name of the catalog.
void PrintModelOption()
{
    std::string text = "the model of the matrix: a class name or a short name (";
    for (const xandrel::ModelSpec& model : xandrel::AllModels())
        text += std::string(model.shortName) + (&model == &xandrel::AllModels().back() ? "); " : ", ");
    text += "default $QUELLIX_MODEL, else the model data/window.json remembers, else 8x8";
    constexpr size_t kIndent = 17;
    constexpr size_t kWidth = 78;
    std::string line(kIndent, ' ');
    std::fputs("  -m, --model NAME\n", stdout);
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        if (line.size() > kIndent && line.size() + 1 + word.size() > kWidth) {
            std::printf("%s\n", line.c_str());
            line.assign(kIndent, ' ');
        }
        line += (line.size() > kIndent ? " " : "") + word;
        at = end + 1;
    }
    std::printf("%s\n", line.c_str());
}

void PrintHelp(const ProgramUsage& usage, bool takesModel)
{
    std::printf("usage: %s [--help] [--version]%s [Qt options, e.g. -platform NAME, -style NAME]\n\n", usage.name,
                takesModel ? " [--model NAME]" : "");
    std::fputs(usage.about, stdout);
    std::fputs("\n"
               "  -h, --help     print this help and exit\n"
               "  --version      print the version and exit\n",
               stdout);
    if (takesModel)
        PrintModelOption();
    std::fputs("\n"
               "Works in the current directory when it has a data folder (data/ds.dat,\n"
               "ic.dat, sp.dat, ti.dat, ports.dat), else in ~/.local/share/quellix, whose\n"
               "data folder it fills with the delivered files missing there;\n"
               "QUELLIX_USER_DATA=1 always uses that folder. $QUELLIX_PORTS names another\n"
               "ports.dat.\n",
               stdout);
}

int Refuse(const ProgramUsage& usage, const char* what, std::string_view argument)
{
    std::fprintf(stderr, "%s: %s '%.*s'; try '%s --help'\n", usage.name, what, static_cast<int>(argument.size()),
                 argument.data(), usage.name);
    return kUsageError;
}

// The model a person named, or why there is none.
std::optional<int> TakeModel(const ProgramUsage& usage, std::string_view name, const char* source,
                             ProgramOptions& options)
{
    options.model = xandrel::FindModelByAnyName(name);
    if (options.model)
        return std::nullopt;
    std::fprintf(stderr, "%s: unknown model '%.*s' in %s; 'quellix-cli models' lists them\n", usage.name,
                 static_cast<int>(name.size()), name.data(), source);
    return kUsageError;
}

}  // namespace

std::optional<int> AnswerCommandLine(int argc, char** argv, const ProgramUsage& usage, ProgramOptions* options)
{
    std::optional<std::string_view> model;
    for (int k = 1; k < argc; ++k) {
        const std::string_view argument = argv[k];
        const std::string_view name = OptionName(argument);
        if (argument == "-h" || name == "help") {
            PrintHelp(usage, options != nullptr);
            return 0;
        }
        if (options && (argument == "-m" || name == "model")) {
            const size_t equals = argument.find('=');
            if (equals == std::string_view::npos && k + 1 >= argc)
                return Refuse(usage, "no model after", argument);
            model = equals == std::string_view::npos ? std::string_view(argv[++k]) : argument.substr(equals + 1);
            continue;
        }
        if (name == "version") {
            std::printf("%s %s\n%s\n", usage.name, QUELLIX_VERSION, QUELLIX_LICENSE_NOTICE);
            return 0;
        }
        if (name.empty())
            return Refuse(usage, "unexpected argument", argument);
        if (OneOf(name, kQtOptionsWithValue)) {
            if (argument.find('=') == std::string_view::npos)
                ++k;  // its value
        } else if (!OneOf(name, kQtFlags)) {
            return Refuse(usage, "unknown option", argument);
        }
    }
    if (!options)
        return std::nullopt;
    if (model)
        return TakeModel(usage, *model, "--model", *options);
    if (const char* variable = std::getenv("QUELLIX_MODEL"); variable && *variable)
        return TakeModel(usage, variable, "$QUELLIX_MODEL", *options);
    return std::nullopt;
}

}  // namespace quellix
