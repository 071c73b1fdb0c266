// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The verb table: each verb declares its usage, its help and its own options;
// the command line is parsed against the global options and the options of
// the verb named (see CommandLine.h).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "OptionParser.h"

namespace quellix::cli {

using Arguments = std::vector<std::string>;

// One run of a verb: the global options, the verb's own options as given and
// the words after the verb.
class Invocation {
public:
    GlobalOptions global;
    Arguments arguments;

    // Whether the verb's option `name` (any of its names) was given.
    bool isSet(const char* name) const;
    // The value given last to the verb's option `name`.
    std::optional<std::string> value(const char* name) const;

    std::shared_ptr<const OptionParser> parser;
};

struct Verb {
    const char* name;
    const char* synopsis = "";  // what follows the verb on its usage line
    const char* summary = "";   // its line in the list of verbs
    const char* details = "";   // the rest of its help
    std::vector<Option> options = {};
    int (*run)(const Invocation& call, Output& output) = nullptr;
    std::vector<Verb> subVerbs = {};  // a verb of verbs (edid report, edid read, ...)
};

// Where no more words may follow: a UsageError naming the first one given.
void NoArguments(const Arguments& words);

// A verb option: a flag, or with `valueName` one that takes a value.
Option VerbOption(std::vector<std::string> names, const char* description, const char* valueName = nullptr);

// Writes a whole routing table, then (with `confirm`, when it changes
// anything) reads it back: the result printed, and exit 1 naming the outputs
// that did not follow.
int SendRouting(DeviceSession& session, const std::vector<BYTE>& table, bool confirm, Output& output);

// The verbs that talk to a device: scan, status, route, id.
std::vector<Verb> DeviceVerbs();
// ports and models: what this computer and this program know.
std::vector<Verb> ListVerbs();
// preset, backup and restore: routing tables by name, and the whole setup.
std::vector<Verb> SetupVerbs();
// watch: the device's changes as they come.
Verb WatchVerb();
// edid report, read, write, copy and ids.
Verb EdidVerb();

}  // namespace quellix::cli
