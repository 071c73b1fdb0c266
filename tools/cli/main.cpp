// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-cli: script a matrix switch from the command line (the full
// program, with Qt; see Launcher.cpp for how it is started).
#include <QCoreApplication>

#include "CommandLine.h"

using namespace quellix::cli;

namespace {

std::vector<Verb> AllVerbs()
{
    std::vector<Verb> verbs = ListVerbs();
    for (Verb& verb : DeviceVerbs())
        verbs.push_back(std::move(verb));
    for (Verb& verb : SetupVerbs())
        verbs.push_back(std::move(verb));
    verbs.push_back(WatchVerb());
    verbs.push_back(EdidVerb());
    return verbs;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    // Installed as quellix-cli-full and started by the quellix-cli launcher:
    // help and messages name the program people type.
    QCoreApplication::setApplicationName("quellix-cli");
    CommandLine commandLine(argc, argv, AllVerbs());
    return RunCommandLine(commandLine);
}
