// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `quellix-cli edid report` without Qt: the launcher prints reports itself,
// the full program shares this for plain output and takes the pieces for JSON.
#include <string>
#include <vector>

namespace quellix::cli {

// The decoded report of one .bin file.
struct FileReport {
    int code = 0;        // kOk, kNoAnswer (the file holds no EDID) or kFileProblem
    std::string error;   // why the file cannot be read (kFileProblem)
    std::string report;  // the report's own bytes: CR LF, code page 950
};

// The report whose whole text says the image is no EDID.
inline constexpr const char* kNotAnEdidReport = "error edid format";

FileReport ReportFile(const std::string& file);

// Prints the report of each file on stdout (a "==> FILE <==" line before
// each when there are several), as UTF-8 with the platform's line ends or,
// when `raw`, as the report's own bytes; a file that cannot be read is
// complained of on stderr. The exit code: 4 when a file cannot be read, else
// 1 when one holds no EDID, else 0.
int PrintReports(const std::vector<std::string>& files, bool raw);

}  // namespace quellix::cli
