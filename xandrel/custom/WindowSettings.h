// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the matrix window remembers of a data folder's matrix between runs,
// in data/window.json: the model it drives, the port and device ID it last
// used, and its View choices.
//   {"model": "INFOHDMIMATRIX0001_4_4", "port": "/dev/ttyUSB0", "id": 0,
//    "take_mode": false, "check_device": true}
// Every field may be left out; the window then starts as without the file.
#include <optional>
#include <string>

#include "xandrel/XandrelExport.h"

namespace xandrel {

struct XANDREL_EXPORT WindowSettings {
    std::string model;      // class name; "" when none is remembered
    std::string port;       // the system path or tcp:// address; "" when none
    std::optional<int> id;  // the device ID, 0-255
    bool takeMode = false;
    bool checkDevice = true;

    bool operator==(const WindowSettings&) const = default;

    // Reads the file; a missing file gives the defaults. A file that is no
    // window settings file (not JSON, other fields, an unknown model, an ID
    // outside 0-255) gives false and `error` naming the file and the field;
    // the settings are then the defaults, and the caller must not save over
    // the file.
    static bool Load(const std::string& path, WindowSettings& settings, std::string& error);
    // Writes the settings through the safe writer.
    bool Save(const std::string& path, std::string& error) const;
};

// data/window.json in `folder`.
XANDREL_EXPORT std::string WindowSettingsPath(const std::string& folder);

}  // namespace xandrel
