// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-cli edid: report, read, write, copy and ids.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "EdidReportText.h"
#include "Verbs.h"
#include "xandrel/custom/PlatformFile.h"
#include "xandrel/edid/EdidCommands.h"
#include "xandrel/edid/EdidFile.h"
#include "xandrel/edid/EdidReport.h"
#include "xandrel/edid/EdidTransfers.h"
#include "xandrel/edid/EdidUndoableWrite.h"

namespace quellix::cli {
namespace {

using xandrel::EdidPlace;

// The progress of an exchange as a bar on the terminal. A stoppable one ends
// between two frames once Ctrl+C was pressed (where the verb catches it).
class BarProgress : public xandrel::EdidProgress {
public:
    explicit BarProgress(const std::string& label, bool stoppable = true)
        : bar_(label)
        , stoppable_(stoppable)
    {
    }
    void setRange(int, int maximum) override { bar_.setRange(maximum); }
    void setPosition(int position) override { bar_.setPosition(position); }
    bool stopRequested() override { return stoppable_ && g_interrupted; }
    bool pause(uint32_t milliseconds) override
    {
        if (!stoppable_)
            return EdidProgress::pause(milliseconds);
        PauseUnlessInterrupted(std::chrono::milliseconds(milliseconds));
        return !g_interrupted;
    }
    void finish() { bar_.finish(); }

private:
    TerminalProgress bar_;
    bool stoppable_;
};

// The first Ctrl+C during an EDID write ends it between two chunks, so the
// kept EDID can be written back; a second one ends the program at once.
void InterruptWrite(int)
{
    g_interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

// Takes one place off the front of `words`: "input N", "output N",
// "default A-D", "all", "pc memory".
EdidPlace TakePlace(Arguments& words, const xandrel::ModelSpec& model, const char* role)
{
    if (words.empty())
        throw UsageError{std::string("missing ") + role + " (input N, output N, default A-D or all)"};
    std::string text = words.front();
    words.erase(words.begin());
    const bool takesMore = text == "input" || text == "output" || text == "default" || text == "pc";
    if (takesMore && !words.empty()) {
        text += " " + words.front();
        words.erase(words.begin());
    }
    const std::optional<EdidPlace> place = xandrel::ParseEdidPlace(text);
    if (!place)
        throw UsageError{"'" + text + "' is no EDID " + role + " (input N, output N, default A-D or all)"};
    if (place->kind == EdidPlace::Input && place->number > model.inputs)
        throw UsageError{"this model's inputs are 1 to " + std::to_string(model.inputs)};
    if (place->kind == EdidPlace::Output && place->number > model.outputs)
        throw UsageError{"this model's outputs are 1 to " + std::to_string(model.outputs)};
    return *place;
}

int FileProblem(const std::string& error)
{
    Complain(error);
    return kFileProblem;
}

// Why an EDID cannot be saved to `path`, or "" when it can: the save puts a
// new file in place of the old one, so the folder must take new files.
std::string SaveTargetProblem(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::is_directory(path, error))
        return "cannot save to " + path + ": it is a folder";
    const fs::path parent = fs::path(path).parent_path();
    const std::string folder = parent.empty() ? "." : parent.string();
    if (!fs::exists(folder, error))
        return "cannot save to " + path + ": the folder " + folder + " does not exist";
    if (!fs::is_directory(folder, error))
        return "cannot save to " + path + ": " + folder + " is not a folder";
    if (const std::string refusal = xandrel::platform::FolderRefusal(folder); !refusal.empty())
        return "cannot save to " + path + ": the folder " + folder + " cannot be written to (" + refusal + ")";
    return {};
}

JsonObject FileFailure(const std::string& file, int code, const std::string& message)
{
    return {{"file", file}, {"error", ErrorJson(code, message)}};
}

// The reports of `files` as a JSON array of { file, report } or { file, error }.
JsonArray ReportsJson(const std::vector<std::string>& files, int& code)
{
    JsonArray list;
    for (const std::string& file : files) {
        const FileReport result = ReportFile(file);
        if (result.code == kFileProblem) {
            Complain(result.error);
            list.append(FileFailure(file, result.code, result.error));
        } else if (result.code == kNoAnswer) {
            list.append(FileFailure(file, result.code, file + " holds no EDID: " + result.report));
        } else {
            list.append(JsonObject{{"file", file}, {"report", xandrel::ReportToUtf8(result.report)}});
        }
        code = std::max(code, result.code);
    }
    return list;
}

int Report(const Invocation& call, Output& output)
{
    const bool raw = call.isSet("raw");
    if (call.arguments.empty())
        throw UsageError{"edid report needs a FILE"};
    if (raw && output.json())
        throw UsageError{"--raw gives the report's own bytes, which --json does not carry: give one of them"};
    if (!output.json())
        return PrintReports(call.arguments, raw);
    int code = kOk;
    output.set(ReportsJson(call.arguments, code));
    output.keepOnFailure();  // each file tells its own failure
    return code;
}

int Read(const Invocation& call, Output& output)
{
    const GlobalOptions& options = call.global;
    Arguments words = call.arguments;
    const EdidPlace source = TakePlace(words, *options.model, "source");
    if (source.kind != EdidPlace::Input && source.kind != EdidPlace::Output && source.kind != EdidPlace::Default)
        throw UsageError{"edid read takes input N, output N or default A-D"};
    NoArguments(words);
    const std::optional<std::string> file = call.value("output");
    if (!file)
        throw UsageError{"edid read needs -o FILE, the file to save to"};
    if (const std::string problem = SaveTargetProblem(*file); !problem.empty())
        return FileProblem(problem);

    DeviceSession session(options);
    if (int code = session.open())
        return code;
    xandrel::PlainEdidHost host(session.model());
    xandrel::EdidImage image{};
    BarProgress progress("reading " + xandrel::EdidPlaceName(source));
    const bool read = ReadEdidFrom(host, image, progress, source);
    progress.finish();
    if (!read)
        return session.failed("reading the EDID of " + xandrel::EdidPlaceName(source));
    // Bytes without the EDID header are no EDID (line noise, an erased slot).
    if (const std::string problem = xandrel::EdidImageProblem(image);
        !call.isSet("force") && problem.find("header") != std::string::npos) {
        Complain("the EDID of " + xandrel::EdidPlaceName(source) + " is no EDID: " + problem
                 + "; nothing was saved (--force saves it anyway)");
        return kNoAnswer;
    }
    const bool sound = xandrel::EdidBlockIsSound(std::span(image).first<128>())
        && xandrel::EdidBlockIsSound(std::span(image).last<128>());
    std::string error;
    if (!xandrel::SaveEdidFile(*file, image, error))
        return FileProblem(error);
    output.set(
        JsonObject{{"source", xandrel::EdidPlaceName(source)}, {"file", *file}, {"checksums_were_sound", sound}});
    if (!output.json())
        output.text("EDID of " + xandrel::EdidPlaceName(source) + " saved to " + *file
                    + (sound ? "" : " (its checksums were wrong; the file has them recomputed)"));
    return kOk;
}

// How one place's write ended, for the person and for the exit status.
struct WriteOutcome {
    bool written = false;
    std::string detail;  // what was done about a write that ended part-way
};

// After a write that ended part-way: writes back what the place held, when
// it was kept, and says what the place holds now.
std::string UndoPartWrite(xandrel::PlainEdidHost& host, const xandrel::KeptWrite& write, const EdidPlace& place)
{
    const int chunks = static_cast<int>(xandrel::kEdidImageSize) / xandrel::edid::kChunkSize;
    const std::string name = xandrel::EdidPlaceName(place);
    const std::string after =
        "after " + std::to_string(write.chunksSent) + " of " + std::to_string(chunks) + " chunks; ";
    if (!write.kept)
        return after + name + " may hold a broken EDID";
    BarProgress progress("writing back " + name, false);
    const bool restored = xandrel::WriteEdidTo(host, progress, write.former, place);
    progress.finish();
    return after
        + (restored ? "the EDID it held before was written back"
                    : "writing back the EDID it held before failed too: " + name + " may hold a broken EDID");
}

// Writes the image to one input or stored EDID; prints how it went. With
// `keep`, what the place holds is read first, and written back when the
// write fails or is interrupted part-way.
WriteOutcome WriteOne(xandrel::PlainEdidHost& host, const xandrel::EdidImage& image, const EdidPlace& place, bool keep,
                      const Output& output, JsonArray& results)
{
    const std::string name = xandrel::EdidPlaceName(place);
    BarProgress progress("writing " + name);
    const xandrel::KeptWrite write = WriteKeepingFormer(host, progress, image, place, keep);
    progress.finish();
    WriteOutcome outcome;
    outcome.written = write.written;
    if (write.partWay())
        outcome.detail = UndoPartWrite(host, write, place);
    else if (keep && !write.kept && !g_interrupted)
        outcome.detail = "before anything was sent: what it holds could not be read to be kept "
                         "(--no-restore-on-failure writes without keeping it)";
    JsonObject result{{"target", name}, {"written", write.written}};
    if (write.partWay())
        result.insert("restored", outcome.detail.find("was written back") != std::string::npos);
    results.append(result);
    if (!output.json())
        output.text(name
                    + (write.written       ? ": written"
                           : g_interrupted ? ": interrupted"
                                           : ": failed")
                    + (outcome.detail.empty() ? "" : " " + outcome.detail));
    return outcome;
}

// --restore-on-failure (the default) or --no-restore-on-failure.
bool RestoreOnFailure(const Invocation& call)
{
    const bool no = call.isSet("no-restore-on-failure");
    if (no && call.isSet("restore-on-failure"))
        throw UsageError{"give --restore-on-failure or --no-restore-on-failure, not both"};
    return !no;
}

int Write(const Invocation& call, Output& output)
{
    const GlobalOptions& options = call.global;
    Arguments words = call.arguments;
    if (words.empty())
        throw UsageError{"edid write needs a FILE and a TARGET"};
    const std::string file = words.front();
    words.erase(words.begin());
    const EdidPlace target = TakePlace(words, *options.model, "target");
    NoArguments(words);
    const bool keep = RestoreOnFailure(call);
    const xandrel::EdidTransfer plan = PlanEdidTransfer(EdidPlace{EdidPlace::Computer}, target);
    if (plan.kind == xandrel::EdidTransfer::Unsupported)
        throw UsageError{"an EDID file can be written to input N, all or default A-D"};
    xandrel::EdidImage image{};
    std::string error;
    if (!xandrel::LoadEdidFile(file, image, error))
        return FileProblem(error);
    if (const std::string problem = xandrel::EdidImageProblem(image); !problem.empty() && !call.isSet("force"))
        return FileProblem(file + " is no sound EDID: " + problem + "; --force writes it anyway");
    xandrel::SetEdidChecksums(image);

    DeviceSession session(options);
    if (int code = session.open())
        return code;
    xandrel::PlainEdidHost host(session.model());
    std::vector<EdidPlace> targets{target};
    if (plan.kind == xandrel::EdidTransfer::WriteInputs) {
        targets.clear();
        for (int input = 1; input <= options.model->inputs; ++input)
            targets.push_back(EdidPlace{EdidPlace::Input, input});
    }
    std::signal(SIGINT, InterruptWrite);
    JsonArray results;
    std::string failures;
    for (const EdidPlace& place : targets) {
        if (g_interrupted)
            break;
        const WriteOutcome outcome = WriteOne(host, image, place, keep, output, results);
        if (!outcome.written)
            failures += (failures.empty() ? "" : ", ") + xandrel::EdidPlaceName(place)
                + (outcome.detail.empty() ? "" : " (" + outcome.detail + ")");
    }
    std::signal(SIGINT, SIG_DFL);
    output.set(results);
    if (failures.empty())
        return kOk;
    if (g_interrupted) {
        Complain("writing the EDID was interrupted: " + failures);
        return kNoAnswer;
    }
    return session.failed("writing the EDID to " + failures);
}

int Copy(const Invocation& call, Output& output)
{
    const GlobalOptions& options = call.global;
    Arguments words = call.arguments;
    const EdidPlace source = TakePlace(words, *options.model, "source");
    const EdidPlace target = TakePlace(words, *options.model, "target");
    NoArguments(words);
    const xandrel::EdidTransfer plan = PlanEdidTransfer(source, target);
    if (plan.kind != xandrel::EdidTransfer::Copy)
        throw UsageError{"the device cannot copy " + xandrel::EdidPlaceName(source) + " to "
                         + xandrel::EdidPlaceName(target)
                         + " (it copies an output to inputs or a default, a default to inputs, an input to a default)"};
    DeviceSession session(options);
    if (int code = session.open())
        return code;
    xandrel::PlainEdidHost host(session.model());
    BarProgress progress("copying");
    const bool copied = EDID_DeviceCopy(host, progress, plan.mode, plan.target, plan.source);
    progress.finish();
    if (!copied)
        return session.failed("copying " + xandrel::EdidPlaceName(source) + " to " + xandrel::EdidPlaceName(target));
    output.set(JsonObject{{"source", xandrel::EdidPlaceName(source)}, {"target", xandrel::EdidPlaceName(target)}});
    if (!output.json())
        output.text("copied " + xandrel::EdidPlaceName(source) + " to " + xandrel::EdidPlaceName(target));
    return kOk;
}

JsonObject IdentityJson(BYTE input, const std::optional<xandrel::EdidIdentity>& identity)
{
    if (!identity)
        return {{"input", input}, {"manufacturer", JsonValue()}, {"product", JsonValue()}};
    char product[8];
    std::snprintf(product, sizeof product, "%02X%02X", identity->product[1], identity->product[0]);
    return {{"input", input},
            {"manufacturer", xandrel::EdidManufacturerLetters(identity->manufacturer[0], identity->manufacturer[1])},
            {"product", product}};
}

int Ids(const Invocation& call, Output& output)
{
    NoArguments(call.arguments);
    DeviceSession session(call.global);
    if (int code = session.open())
        return code;
    INFODEVICEMATRIXBASE& model = session.model();
    model.m_ErrorCode = INFODEVICEMATRIXBASE::kNoError;
    bool anyAnswered = false;
    JsonArray list;
    for (BYTE input = 1; input <= 8; ++input) {
        const auto identity = xandrel::EDID_IdentityProbe(model, input);
        anyAnswered |= identity.has_value();
        list.append(IdentityJson(input, identity));
        if (!output.json()) {
            std::string text = xandrel::ManufacturerLine(input, identity);
            text.resize(text.size() - 2);  // the line's CR LF
            output.text(text);
        }
    }
    output.set(list);
    const bool portClosed = model.m_ErrorCode == INFODEVICEMATRIXBASE::kPortNotOpen;
    return anyAnswered && !portClosed ? kOk : session.failed("probing the inputs");
}

}  // namespace

Verb EdidVerb()
{
    return {
        .name = "edid",
        .summary = "decode EDID files; read, write and copy the EDIDs of the device",
        .subVerbs =
            {
                {.name = "report",
                 .synopsis = "[--raw] FILE...",
                 .summary = "the decoded report of each 128- or 256-byte .bin file",
                 .details = "In UTF-8 with this system's line ends; several files each get a line \"==> FILE <==\" "
                            "first. A file without the EDID header gives \"error edid format\". Exit status 1 when a "
                            "file holds no EDID, 4 when one cannot be read. With --json: an array of { file, report } "
                            "or { file, error }.",
                 .options = {VerbOption({"raw"}, "the report's exact bytes: CR LF and code page 950")},
                 .run = Report},
                {.name = "read",
                 .synopsis = "[--force] SOURCE -o FILE",
                 .summary = "read an EDID from the device into FILE (256 bytes, both checksums recomputed)",
                 .details =
                     "SOURCE: input N, output N or default A-D. FILE's folder is checked before the device is "
                     "asked; bytes without the EDID header are not saved (exit status 1) unless --force is given.",
                 .options = {VerbOption({"force"}, "save bytes without the EDID header too"),
                             VerbOption({"o", "output"}, "the file to save to", "FILE")},
                 .run = Read},
                {.name = "write",
                 .synopsis = "[--force] [--no-restore-on-failure] FILE TARGET",
                 .summary = "write FILE to the device",
                 .details = "TARGET: input N, all or default A-D. A file with a wrong header or block checksum is "
                            "refused (exit status 4) unless --force is given; its checksums are then recomputed. "
                            "The EDID each target holds is read and kept first: a write that fails or is "
                            "interrupted (Ctrl+C) part-way leaves a broken EDID, and the kept one is written back. "
                            "A target whose EDID cannot be read is not written. An interrupted write gives exit "
                            "status 1.",
                 .options = {VerbOption({"force"}, "write an image with a wrong header or checksum too"),
                             VerbOption({"restore-on-failure"},
                                        "keep each target's EDID and write it back after a write cut off part-way "
                                        "(the default)"),
                             VerbOption({"no-restore-on-failure"}, "write without reading and keeping it first")},
                 .run = Write},
                {.name = "copy",
                 .synopsis = "SOURCE TARGET",
                 .summary = "copy an EDID inside the device",
                 .details = "An output to all, input N or default A-D; default A-D to all or input N; input N to "
                            "default A-D.",
                 .run = Copy},
                {.name = "ids",
                 .summary = "the manufacturer IDs of inputs 1 to 8 (exit status 1 when no input answers)",
                 .run = Ids},
            },
    };
}

}  // namespace quellix::cli
