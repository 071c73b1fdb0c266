// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-cli preset, backup and restore: a device's routing tables by name,
// and its whole setup (routing, ID, names, presets) in one JSON file. Presets
// and names live in the data folder (--data), as the panel keeps them.
#include <algorithm>

#include "Verbs.h"
#include "xandrel/custom/AtomicFile.h"
#include "xandrel/custom/StoredSetup.h"

namespace quellix::cli {
namespace {

// A backup holds a few kilobytes; this is far beyond any real one.
constexpr size_t kBackupReadLimit = 4u << 20;

// The matrix presets belong to: the data folder's, of this model.
xandrel::PresetDevice PresetDeviceOf(DeviceSession&, const GlobalOptions& options)
{
    return {options.model->className};
}

std::string PresetName(const Arguments& words, const char* verb)
{
    std::string name;
    for (const std::string& word : words)
        name += (name.empty() ? "" : " ") + word;
    if (name.empty())
        throw UsageError{std::string("preset ") + verb + " needs the preset's name"};
    return name;
}

// The presets file of --data, or an exit code when it is no presets file.
int LoadBook(const GlobalOptions& options, xandrel::PresetBook& book)
{
    std::string error;
    if (xandrel::PresetBook::Load(xandrel::PresetFilePath(options.dataFolder), book, error))
        return kOk;
    Complain(error + " (left as it is)");
    return kFileProblem;
}

int StoreBook(const GlobalOptions& options, const xandrel::PresetBook& book)
{
    std::string error;
    if (book.Save(xandrel::PresetFilePath(options.dataFolder), error))
        return kOk;
    Complain(error);
    return kFileProblem;
}

JsonObject PresetJson(const xandrel::Preset& preset)
{
    return {{"name", preset.name}, {"routing", JsonNumbers(preset.routing)}};
}

// What a preset verb works on: the session (open), the book and the device.
struct PresetCall {
    explicit PresetCall(const GlobalOptions& options)
        : session(options)
    {
    }
    DeviceSession session;
    xandrel::PresetBook book;
    xandrel::PresetDevice device;
};

int StartPresetCall(const Invocation& call, PresetCall& preset)
{
    if (int code = preset.session.open())
        return code;
    preset.device = PresetDeviceOf(preset.session, call.global);
    return LoadBook(call.global, preset.book);
}

int ReadRouting(DeviceSession& session)
{
    return session.model().DEVMA_GetVideoOutputChannel() == 1 ? kOk : session.failed("reading the routing");
}

int PresetList(const Invocation& call, Output& output)
{
    NoArguments(call.arguments);
    PresetCall preset(call.global);
    if (int code = StartPresetCall(call, preset))
        return code;
    JsonArray list;
    for (const xandrel::Preset& entry : preset.book.of(preset.device)) {
        list.append(PresetJson(entry));
        if (!output.json())
            output.text(entry.name + ": " + Join(entry.routing));
    }
    output.set(list);
    return kOk;
}

int PresetSave(const Invocation& call, Output& output)
{
    const std::string name = PresetName(call.arguments, "save");
    PresetCall preset(call.global);
    if (int code = StartPresetCall(call, preset))
        return code;
    if (int code = ReadRouting(preset.session))
        return code;
    const xandrel::Preset saved{name, RoutingOf(preset.session.model())};
    preset.book.put(preset.device, saved);
    if (int code = StoreBook(call.global, preset.book))
        return code;
    output.set(PresetJson(saved));
    if (!output.json())
        output.text("preset \"" + name + "\" saved: " + Join(saved.routing));
    return kOk;
}

int PresetRecall(const Invocation& call, Output& output)
{
    const std::string name = PresetName(call.arguments, "recall");
    PresetCall preset(call.global);
    if (int code = StartPresetCall(call, preset))
        return code;
    const xandrel::Preset* found = preset.book.find(preset.device, name);
    if (!found) {
        Complain("this device has no preset named \"" + name + "\" ('quellix-cli preset list' lists them)");
        return kUsage;
    }
    if (int code = ReadRouting(preset.session))
        return code;
    if (RoutingOf(preset.session.model()) == found->routing) {
        output.set(
            JsonObject{{"port", preset.session.portJson()}, {"routing", JsonNumbers(found->routing)}, {"sent", false}});
        if (!output.json())
            output.text("preset \"" + name + "\": the routing already matches; nothing was sent");
        return kOk;
    }
    const std::vector<BYTE> table(found->routing.begin(), found->routing.end());
    return SendRouting(preset.session, table, call.global.confirm, output);
}

int PresetDelete(const Invocation& call, Output& output)
{
    const std::string name = PresetName(call.arguments, "delete");
    PresetCall preset(call.global);
    if (int code = StartPresetCall(call, preset))
        return code;
    if (!preset.book.remove(preset.device, name)) {
        Complain("this device has no preset named \"" + name + "\"");
        return kUsage;
    }
    if (int code = StoreBook(call.global, preset.book))
        return code;
    output.set(JsonObject{{"deleted", name}});
    if (!output.json())
        output.text("preset \"" + name + "\" deleted");
    return kOk;
}

std::string OneFile(const Arguments& words, const char* verb)
{
    if (words.size() != 1)
        throw UsageError{std::string(verb) + " takes one file"};
    return words.front();
}

// The device's setup now: routing and ID from the device, names and
// presets from the data folder. The frames keep going to the ID they went to.
int ReadSetup(DeviceSession& session, const GlobalOptions& options, xandrel::DeviceBackup& setup)
{
    INFODEVICEMATRIXBASE& model = session.model();
    const xandrel::PresetDevice device = PresetDeviceOf(session, options);
    const BYTE framesGoTo = model.m_DeviceID;
    setup.model = options.model->className;
    setup.id = model.m_DeviceID;
    if (!options.deviceId && model.DEVMA_GetDeviceID() == 1)
        setup.id = model.m_DeviceID;
    model.m_DeviceID = framesGoTo;
    if (int code = ReadRouting(session))
        return code;
    setup.routing = RoutingOf(model);
    std::string error;
    if (xandrel::ReadStoredSetup(options.dataFolder, device, setup, error))
        return kOk;
    Complain(error);
    return kFileProblem;
}

int Backup(const Invocation& call, Output& output)
{
    const std::string file = OneFile(call.arguments, "backup");
    DeviceSession session(call.global);
    if (int code = session.open())
        return code;
    xandrel::DeviceBackup setup;
    if (int code = ReadSetup(session, call.global, setup))
        return code;
    std::string error;
    if (!xandrel::WriteFileAtomically(file, xandrel::FormatBackup(setup), error)) {
        Complain(error);
        return kFileProblem;
    }
    output.set(JsonObject{{"file", file},
                          {"routing", JsonNumbers(setup.routing)},
                          {"id", setup.id},
                          {"presets", static_cast<int>(setup.presets.size())}});
    if (!output.json())
        output.text("backed up to " + file + ": routing " + Join(setup.routing) + ", device ID "
                    + std::to_string(setup.id) + ", " + std::to_string(setup.presets.size()) + " presets");
    return kOk;
}

int Restore(const Invocation& call, Output& output)
{
    const std::string file = OneFile(call.arguments, "restore");
    std::string bytes, error;
    xandrel::DeviceBackup wanted;
    if (!xandrel::ReadFileBytes(file, bytes, error, kBackupReadLimit)
        || !xandrel::ParseBackup(bytes, file, wanted, error)) {
        Complain(error + "; nothing was changed");
        return kFileProblem;
    }
    if (wanted.model != call.global.model->className)
        throw UsageError{file + " is a backup of " + wanted.model + ", not of " + call.global.model->className
                         + "; nothing was changed"};
    DeviceSession session(call.global);
    if (int code = session.open())
        return code;
    xandrel::DeviceBackup current;
    if (int code = ReadSetup(session, call.global, current))
        return code;
    const std::vector<std::string> changes = xandrel::BackupChanges(current, wanted);
    JsonArray told;
    for (const std::string& change : changes) {
        told.append(change);
        if (!output.json())
            output.text(change);
    }
    if (changes.empty() && !output.json())
        output.text("the device and the data folder match the backup; nothing was changed");
    if (!xandrel::WriteStoredSetup(call.global.dataFolder, PresetDeviceOf(session, call.global), wanted, error)) {
        Complain(error);
        return kFileProblem;
    }
    int code = kOk;
    if (wanted.routing != current.routing) {
        Output quiet(true);  // the routing result goes into this verb's own document
        code = SendRouting(session, std::vector<BYTE>(wanted.routing.begin(), wanted.routing.end()),
                           call.global.confirm, quiet);
    }
    output.set(JsonObject{{"file", file}, {"changes", told}, {"routing", JsonNumbers(RoutingOf(session.model()))}});
    return code;
}

}  // namespace

std::vector<Verb> SetupVerbs()
{
    return {
        {.name = "preset",
         .summary = "the device's presets: named routing tables kept in the data folder's presets.json",
         .subVerbs =
             {
                 {.name = "list",
                  .summary = "the presets of this device (model, port, ID) and their routing",
                  .run = PresetList},
                 {.name = "save",
                  .synopsis = "NAME",
                  .summary = "read the routing and save it as preset NAME",
                  .details = "A preset of the same name is replaced; a name may hold spaces.",
                  .run = PresetSave},
                 {.name = "recall",
                  .synopsis = "NAME",
                  .summary = "send preset NAME's routing and read it back; nothing is sent when it is already on",
                  .run = PresetRecall},
                 {.name = "delete", .synopsis = "NAME", .summary = "delete preset NAME", .run = PresetDelete},
             }},
        {.name = "backup",
         .synopsis = "FILE",
         .summary = "write the device's routing and ID, the names and this device's presets to FILE (JSON)",
         .run = Backup},
        {.name = "restore",
         .synopsis = "FILE",
         .summary = "put a backup back: say what changes, write the names and presets, send the routing (read back)",
         .details = "A backup of another model is refused; a file that is no backup changes nothing (exit 4).",
         .run = Restore},
    };
}

}  // namespace quellix::cli
