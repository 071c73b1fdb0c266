// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A device's whole setup in one JSON document, for backup and restore:
//   {"backup": "quellix", "version": 1, "model": "INFOHDMIMATRIX0001_8_8",
//    "id": 0, "routing": [1, 2, ...], "inputs": ["Laptop", ...],
//    "outputs": ["Projector", ...], "presets": [{"name": "Lecture", "routing": [...]}]}
// Names are as many as the model has inputs and outputs.
#include <string>
#include <string_view>
#include <vector>

#include "xandrel/XandrelExport.h"
#include "xandrel/custom/PresetFile.h"

namespace xandrel {

struct DeviceBackup {
    std::string model;  // class name
    int id = 0;
    std::vector<int> routing;
    std::vector<std::string> inputNames;
    std::vector<std::string> outputNames;
    std::vector<Preset> presets;
};

XANDREL_EXPORT std::string FormatBackup(const DeviceBackup& backup);

// Reads a backup; false with `error` naming `file` and the entry when it is
// no backup Quellix can restore (not JSON, unknown fields, a model that does
// not exist, counts or inputs that do not fit the model, a preset name twice).
XANDREL_EXPORT bool ParseBackup(std::string_view bytes, const std::string& file, DeviceBackup& backup,
                                std::string& error);

// What restoring `to` over `from` changes, one line each ("output 3: input 2
// -> 5", "input 1 name: \"in 1\" -> \"Laptop\"", "preset \"Lecture\" added");
// empty when nothing would change.
XANDREL_EXPORT std::vector<std::string> BackupChanges(const DeviceBackup& from, const DeviceBackup& to);

}  // namespace xandrel
