// SPDX-License-Identifier: GPL-3.0-or-later
#include "EdidReportText.h"

#include <algorithm>
#include <cstdio>

#include "Complaints.h"
#include "ExitCodes.h"
#include "xandrel/edid/EdidFile.h"
#include "xandrel/edid/EdidReport.h"

namespace quellix::cli {

FileReport ReportFile(const std::string& file)
{
    FileReport result;
    xandrel::EdidImage image{};
    if (!xandrel::LoadEdidFile(file, image, result.error)) {
        result.code = kFileProblem;
        return result;
    }
    EDID_MakeReport(image, result.report);
    result.code = result.report == kNotAnEdidReport ? kNoAnswer : kOk;
    return result;
}

namespace {

int PrintReport(const std::string& file, bool raw)
{
    FileReport result = ReportFile(file);
    if (result.code == kFileProblem) {
        Complain(result.error);
        return result.code;
    }
    if (result.code == kNoAnswer)
        result.report += "\r\n";  // ends like every line of a report
    const std::string text =
        raw ? result.report : xandrel::ReportToUtf8(result.report, xandrel::ReportLineEnds::Platform);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return result.code;
}

}  // namespace

int PrintReports(const std::vector<std::string>& files, bool raw)
{
    int code = kOk;
    for (size_t k = 0; k < files.size(); ++k) {
        if (files.size() > 1) {
            std::printf("%s==> %s <==\n", k > 0 ? "\n" : "", files[k].c_str());
            std::fflush(stdout);
        }
        code = std::max(code, PrintReport(files[k], raw));  // 4 (unreadable) outweighs 1 (no EDID)
    }
    return code;
}

}  // namespace quellix::cli
