// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/DataFolder.h"

#include <cstdlib>
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

namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::string PerUserDataRoot()
{
#if defined(_WIN32)
    return Environment("LOCALAPPDATA");
#elif defined(__APPLE__)
    return Environment("HOME") + "/Library/Application Support";
#else
    const std::string xdg = Environment("XDG_DATA_HOME");
    if (!xdg.empty() && xdg.front() == '/')
        return xdg;
    return Environment("HOME") + "/.local/share";
#endif
}

}  // namespace xandrel
