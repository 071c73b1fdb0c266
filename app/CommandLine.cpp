#include "CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

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

void PrintHelp(const ProgramUsage& usage)
{
    std::printf("usage: %s [--help] [--version] [Qt options, e.g. -platform NAME, -style NAME]\n\n", usage.name);
    std::fputs(usage.about, stdout);
    std::fputs("\n"
               "  -h, --help     print this help and exit\n"
               "  --version      print the version and exit\n\n"
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

}  // namespace

std::optional<int> AnswerCommandLine(int argc, char** argv, const ProgramUsage& usage)
{
    for (int k = 1; k < argc; ++k) {
        const std::string_view argument = argv[k];
        const std::string_view name = OptionName(argument);
        if (argument == "-h" || name == "help") {
            PrintHelp(usage);
            return 0;
        }
        if (name == "version") {
            std::printf("%s %s\n", usage.name, QUELLIX_VERSION);
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
    return std::nullopt;
}

}  // namespace quellix
