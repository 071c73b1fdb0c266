// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/DataFolder.h"

#include <filesystem>

namespace xandrel {

const char* DataFileName(DataFile file)
{
    switch (file) {
    case DataFile::StringTable: return "ds.dat";
    case DataFile::Icon: return "ic.dat";
    case DataFile::Splash: return "sp.dat";
    case DataFile::Title: return "ti.dat";
    }
    return "";
}

std::string DataFilePath(DataFile file, std::string_view folder)
{
    return (std::filesystem::path(folder) / DataFileName(file)).string();
}

}  // namespace xandrel
