// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program: prepares the data folder, runs the splash window modally (its
// loop drives every window of the run) and ends when that loop ends.
class CQuellixApp {
public:
    int InitInstance(int& argc, char** argv);
};
