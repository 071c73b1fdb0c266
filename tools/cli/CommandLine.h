// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line of quellix-cli: global options and verb options before or
// after the verb, parsed against the verb table.
#include <string>
#include <vector>

#include "Verbs.h"

namespace quellix::cli {

class CommandLine {
public:
    CommandLine(int argc, char** argv, std::vector<Verb> verbs);

    // Whether --json was given, wherever it stands.
    bool json() const { return json_; }

    // Runs the verb named, or prints the help or the version asked for.
    // Throws UsageError.
    int run(Output& output);

    // What to try after a usage error: "quellix-cli route --help".
    std::string helpCommand() const;

    // Whether a program that knows only this command line's verbs can run
    // it: it names one of them and asks for no help, no version and no
    // option they do not know.
    bool runsAlone() const;
    // The port of --port, else of $QUELLIX_PORT, as typed.
    const std::string& portGiven() const { return port_; }

private:
    // Finds the verb (and sub-verb) among the words that are no options.
    void findVerb(const std::vector<std::string>& words);
    // Parses the command line for the verb, its options and the global ones.
    Invocation parseFor(const Verb& verb) const;
    GlobalOptions globalOptions(const OptionParser& parser) const;

    std::vector<std::string> arguments_;
    std::vector<Verb> verbs_;
    std::vector<const Verb*> path_;        // the verb and its sub-verb, as far as known
    std::vector<std::string> positional_;  // the words that are no options or their values
    std::string unknownOption_;            // the first option no verb knows
    std::string port_;
    bool json_ = false;
    bool help_ = false;
    bool version_ = false;
};

// Runs the verb the command line names and prints its result; returns the
// exit status. A usage error is told with the help to try.
int RunCommandLine(CommandLine& commandLine);

}  // namespace quellix::cli
