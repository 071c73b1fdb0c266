// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the panel's data files live. The system names them relative to the
// current directory ("data/ds.dat"); every function that touches them takes
// the folder, so tests and other hosts can point elsewhere.
#include <string>
#include <string_view>

#include "xandrel/XandrelExport.h"

namespace xandrel {

inline constexpr char kDefaultDataFolder[] = "data";

enum class DataFile {
    StringTable,  // ds.dat: captions, error texts, titles, port names
    Icon,         // ic.dat: the window icon
    Splash,       // sp.dat: the splash picture and shape
    Title,        // ti.dat: the start-up title
};

// "ds.dat", "ic.dat", "sp.dat" or "ti.dat".
XANDREL_EXPORT const char* DataFileName(DataFile file);
// The file's path inside `folder`, e.g. "data/ds.dat".
XANDREL_EXPORT std::string DataFilePath(DataFile file, std::string_view folder = kDefaultDataFolder);

// Where the system keeps a person's own application data: %LOCALAPPDATA% on
// Windows, ~/Library/Application Support on macOS, elsewhere $XDG_DATA_HOME
// when it is an absolute path, else ~/.local/share. The program's folder
// goes below it.
XANDREL_EXPORT std::string PerUserDataRoot();

}  // namespace xandrel
