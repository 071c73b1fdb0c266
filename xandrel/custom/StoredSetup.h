// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The part of a device's setup kept in the data folder, not in the device:
// the names of inputs and outputs (ds.dat) and the device's presets
// (presets.json). Backup reads it, restore writes it back; the routing and
// the device ID come from the device itself.
#include <string>

#include "xandrel/XandrelExport.h"
#include "xandrel/custom/BackupFile.h"

namespace xandrel {

// Fills the names (ds.dat, or the built-in names when it is missing) and the
// presets of `device` into `backup`, whose model must be set. False with
// `error` when presets.json is no presets file.
XANDREL_EXPORT bool ReadStoredSetup(const std::string& folder, const PresetDevice& device, DeviceBackup& backup,
                                    std::string& error);

// Writes the names of `backup` into ds.dat (its other entries kept) and its
// presets into presets.json as presets of `device` (others kept; one of the
// same name replaced). Nothing is written when presets.json is no presets
// file; false with `error` then, or when a file cannot be written.
XANDREL_EXPORT bool WriteStoredSetup(const std::string& folder, const PresetDevice& device, const DeviceBackup& backup,
                                     std::string& error);

}  // namespace xandrel
