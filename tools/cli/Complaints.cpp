// SPDX-License-Identifier: GPL-3.0-or-later
#include "Complaints.h"

#include <cstdio>

namespace quellix::cli {

namespace {

std::string& LastComplaintText()
{
    static std::string text;
    return text;
}

}  // namespace

void Complain(const std::string& text)
{
    std::fprintf(stderr, "quellix-cli: %s\n", text.c_str());
    LastComplaintText() = text;
}

std::string LastComplaint()
{
    return LastComplaintText();
}

}  // namespace quellix::cli
