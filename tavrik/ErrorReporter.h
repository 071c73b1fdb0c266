// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <functional>
#include <string>

#include "tavrik/TavrikExport.h"

namespace tavrik {

// Where the port driver tells the person about its own failures while its
// m_ShowError is 1: the GUI installs a message box, the command line keeps the
// default, which writes one line to stderr.
using ErrorReporter = std::function<void(const std::string& text)>;

TAVRIK_EXPORT void ReportError(const std::string& text);

// Installs a reporter and returns the one it replaces; empty restores stderr.
TAVRIK_EXPORT ErrorReporter SetErrorReporter(ErrorReporter reporter);

}  // namespace tavrik
