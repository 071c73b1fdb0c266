// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrik/ErrorReporter.h"

#include <cstdio>

#include "tavrik/Replaceable.h"

namespace tavrik {
namespace {

void PrintToStderr(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
}

Replaceable<ErrorReporter>& CurrentReporter()
{
    static Replaceable<ErrorReporter> reporter{ErrorReporter(PrintToStderr)};
    return reporter;
}

}  // namespace

void ReportError(const std::string& text)
{
    CurrentReporter().get()(text);
}

ErrorReporter SetErrorReporter(ErrorReporter reporter)
{
    return CurrentReporter().replace(std::move(reporter));
}

}  // namespace tavrik
