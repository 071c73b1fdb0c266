#include "xandrel/custom/StoredSetup.h"

#include <algorithm>

#include "xandrel/custom/StringTableFile.h"
#include "xandrel/device/ModelCatalog.h"

namespace xandrel {
namespace {

StringTable CurrentTable(const std::string& folder)
{
    StringTable table = DefaultStringTable();
    ReadStringTableFile(StringTableReader::GuiConfig, table, folder);
    return table;
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
    const StringTable table = CurrentTable(folder);
    backup.inputNames.assign(table.inputs.begin(), table.inputs.begin() + std::min<size_t>(model->inputs, table.inputs.size()));
    backup.outputNames.assign(table.outputs.begin(), table.outputs.begin() + std::min<size_t>(model->outputs, table.outputs.size()));
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
    StringTable table = CurrentTable(folder);
    std::copy_n(backup.inputNames.begin(), std::min(backup.inputNames.size(), table.inputs.size()), table.inputs.begin());
    std::copy_n(backup.outputNames.begin(), std::min(backup.outputNames.size(), table.outputs.size()),
                table.outputs.begin());
    return WriteStringTableFile(table, error, folder) && book.Save(PresetFilePath(folder), error);
}

}  // namespace xandrel
