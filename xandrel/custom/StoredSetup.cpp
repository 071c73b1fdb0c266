// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/StoredSetup.h"

#include <algorithm>
#include <filesystem>

#include "xandrel/custom/StringTableFile.h"
#include "xandrel/device/ModelCatalog.h"

namespace xandrel {
namespace {

// ds.dat as it is, or the built-in texts when there is none. A ds.dat that
// cannot be read is a failure: writing names over it would replace its other
// texts with the built-in ones.
bool CurrentTable(const std::string& folder, StringTable& table, std::string& error)
{
    table = DefaultStringTable();
    ReadStringTableFile(StringTableReader::GuiConfig, table, folder, &error);
    return error.empty();
}

}  // namespace

bool ReadStoredSetup(const std::string& folder, const PresetDevice& device, DeviceBackup& backup, std::string& error)
{
    PresetBook book;
    if (!PresetBook::Load(PresetFilePath(folder), book, error))
        return false;
    backup.presets = book.of(device);
    const ModelSpec* model = FindModel(backup.model);
    if (!model) {
        error = "no model named " + backup.model;
        return false;
    }
    StringTable table;
    if (!CurrentTable(folder, table, error))
        return false;
    backup.inputNames.assign(table.inputs.begin(),
                             table.inputs.begin() + std::min<size_t>(model->inputs, table.inputs.size()));
    backup.outputNames.assign(table.outputs.begin(),
                              table.outputs.begin() + std::min<size_t>(model->outputs, table.outputs.size()));
    return true;
}

bool WriteStoredSetup(const std::string& folder, const PresetDevice& device, const DeviceBackup& backup,
                      std::string& error)
{
    PresetBook book;
    if (!PresetBook::Load(PresetFilePath(folder), book, error))
        return false;
    for (const Preset& preset : backup.presets)
        book.put(device, preset);
    StringTable table;
    if (!CurrentTable(folder, table, error))
        return false;
    std::copy_n(backup.inputNames.begin(), std::min(backup.inputNames.size(), table.inputs.size()),
                table.inputs.begin());
    std::copy_n(backup.outputNames.begin(), std::min(backup.outputNames.size(), table.outputs.size()),
                table.outputs.begin());
    std::error_code status;
    std::filesystem::create_directories(folder, status);  // a restore on a new account; a failure is told below
    return WriteStringTableFile(table, error, folder) && book.Save(PresetFilePath(folder), error);
}

}  // namespace xandrel
