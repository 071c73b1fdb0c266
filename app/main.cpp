// SPDX-License-Identifier: GPL-3.0-or-later
// Quellix: a control panel for RS-232 audio/video matrix switches.
#include "CQuellixApp.h"

int main(int argc, char** argv)
{
    CQuellixApp application;
    return application.InitInstance(argc, argv);
}
