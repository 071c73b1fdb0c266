#pragma once
#include <string>
#include <vector>

#include "CliSupport.h"

namespace quellix::cli {

using Arguments = std::vector<std::string>;

struct Verb {
    const char* name;
    const char* usage;    // first line of the verb's help
    const char* details;  // the rest of its help
    int (*run)(const GlobalOptions& options, const Arguments& arguments, const Output& output);
};

// The verbs that talk to a device: ports, scan, status, route, id, watch.
const std::vector<Verb>& DeviceVerbs();

// watch: the device's changes as they come.
Verb WatchVerb();

// edid report, read, write, copy and ids.
const std::vector<Verb>& EdidVerbs();

}  // namespace quellix::cli
