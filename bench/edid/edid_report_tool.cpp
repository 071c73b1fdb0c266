// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the report of one EDID file exactly as the decoder makes it (CR LF
// line ends, code page 950 bytes). Used to time the decoder as a whole
// process per file.
#include <cstdio>
#include <string>

#include "xandrel/edid/EdidFile.h"
#include "xandrel/edid/EdidReport.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.bin\n", argv[0]);
        return 2;
    }
    xandrel::EdidImage image{};
    std::string error;
    if (!xandrel::LoadEdidFile(argv[1], image, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::string report;
    EDID_MakeReport(image, report);
    return std::fwrite(report.data(), 1, report.size(), stdout) == report.size() ? 0 : 1;
}
