// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-cli as started. Loading Qt costs several times what a script's
// command needs, so this program runs the commonest commands itself on the
// standard library only: `edid report [--raw] FILE...`, and the device verbs
// (status, route, id, scan) on a port named by its path, its tcp:// address
// or a number data/ports.dat pins. Every other command goes, unchanged, to
// the full program (quellix-cli-full, beside it or in libexec), which runs
// the same verbs' code on Qt.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "EdidReportText.h"
#include "LauncherSystem.h"
#include "tavrik/PortTable.h"

namespace {

namespace fs = std::filesystem;

struct ReportRequest {
    std::vector<std::string> files;
    bool raw = false;
};

// `edid report [--raw] FILE...` with nothing else, else false: any other
// option, a file name that looks like one, or a model or ID in the
// environment (which the full program checks first) goes to the full program
// so that it answers as it always does.
bool PlainReport(int argc, char** argv, ReportRequest& request)
{
    if (argc < 4 || std::strcmp(argv[1], "edid") != 0 || std::strcmp(argv[2], "report") != 0)
        return false;
    if (std::getenv("QUELLIX_MODEL") || std::getenv("QUELLIX_ID"))
        return false;
    for (int k = 3; k < argc; ++k) {
        if (std::strcmp(argv[k], "--raw") == 0)
            request.raw = true;
        else if (argv[k][0] == '-')
            return false;
        else
            request.files.emplace_back(argv[k]);
    }
    return !request.files.empty();
}

// True when naming the port takes the system's list of ports: a COM number
// no pin file gives, or a name that is no port (its message lists them).
bool PortNeedsListing(const std::string& port)
{
    if (port.empty())
        return false;  // the verb says that a port is needed
    try {
        std::string problem;
        return tavrik::LocatePort(port, problem).number == 0;
    } catch (const quellix::cli::PortListingNeeded&) {
        return true;
    }
}

// Runs a device verb here when nothing in it needs Qt; nothing when the full
// program must take the command. A logging rule in the environment may turn
// the traffic log on, which only Qt's logging prints.
std::optional<int> RunDeviceVerb(int argc, char** argv)
{
    if (std::getenv("QT_LOGGING_RULES"))
        return std::nullopt;
    try {
        quellix::cli::CommandLine commandLine(argc, argv, quellix::cli::DeviceVerbs());
        if (!commandLine.runsAlone() || PortNeedsListing(commandLine.portGiven()))
            return std::nullopt;
        return quellix::cli::RunCommandLine(commandLine);
    } catch (const quellix::cli::PortListingNeeded&) {
        return std::nullopt;  // before any frame: scan without --port lists the ports first
    }
}

// Where the full program may be: beside this one (the build tree), in the
// libexec folder of the installation this one belongs to, and where the
// build installs it.
std::vector<fs::path> FullProgramPlaces(const char* startedAs)
{
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error)  // no /proc: the path it was started by
        self = fs::weakly_canonical(startedAs, error);
    const fs::path folder = self.parent_path();
    return {folder / "quellix-cli-full", folder / QUELLIX_LIBEXEC_FROM_BIN / "quellix-cli-full",
            fs::path(QUELLIX_FULL_PROGRAM_INSTALLED)};
}

int RunFullProgram(char** argv)
{
    const std::vector<fs::path> places = FullProgramPlaces(argv[0]);
    for (const fs::path& place : places)
        if (::access(place.c_str(), X_OK) == 0) {
            ::execv(place.c_str(), argv);
            std::fprintf(stderr, "quellix-cli: cannot start %s: %s\n", place.c_str(), std::strerror(errno));
            return 127;
        }
    std::fprintf(stderr, "quellix-cli: the full program is missing (looked for %s); reinstall quellix-cli\n",
                 places.front().c_str());
    return 127;
}

}  // namespace

int main(int argc, char** argv)
{
    ReportRequest request;
    if (PlainReport(argc, argv, request))
        return quellix::cli::PrintReports(request.files, request.raw);
    if (const std::optional<int> status = RunDeviceVerb(argc, argv))
        return *status;
    return RunFullProgram(argv);
}
