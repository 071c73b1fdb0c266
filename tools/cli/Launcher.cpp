// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-cli as started. Reporting EDID files is what scripts run by the
// hundred, and starting Qt costs several times the report itself, so this
// program decodes `edid report [--raw] FILE...` on its own, with the standard
// library only, and hands every other command, unchanged, to the full
// program (quellix-cli-full, beside it or in libexec).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "EdidReportText.h"

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
    return RunFullProgram(argv);
}
