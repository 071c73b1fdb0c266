// quellix-cli edid: report, read, write, copy and ids.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "Verbs.h"
#include "xandrel/edid/EdidCommands.h"
#include "xandrel/edid/EdidFile.h"
#include "xandrel/edid/EdidReport.h"
#include "xandrel/edid/EdidTransfers.h"

namespace quellix::cli {
namespace {

using xandrel::EdidPlace;

// The progress of an exchange as a bar on the terminal.
class BarProgress : public xandrel::EdidProgress {
public:
    explicit BarProgress(const std::string& label) : bar_(label) {}
    void setRange(int, int maximum) override { bar_.setRange(maximum); }
    void setPosition(int position) override { bar_.setPosition(position); }
    void finish() { bar_.finish(); }

private:
    TerminalProgress bar_;
};

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

// Takes `flag` out of `words`; true when it was there.
bool TakeFlag(Arguments& words, const std::string& flag)
{
    const auto found = std::find(words.begin(), words.end(), flag);
    if (found == words.end())
        return false;
    words.erase(found);
    return true;
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
    if (::access(folder.c_str(), W_OK) != 0)
        return "cannot save to " + path + ": the folder " + folder + " cannot be written to ("
            + std::strerror(errno) + ")";
    return {};
}

// The whole report of an image without the EDID header: one line, no line end.
constexpr const char* kNotAnEdidReport = "error edid format";

int Report(const GlobalOptions&, Arguments words, const Output& output)
{
    const bool raw = TakeFlag(words, "--raw");
    if (words.size() != 1)
        throw UsageError{"edid report [--raw] FILE"};
    xandrel::EdidImage image{};
    std::string error;
    if (!xandrel::LoadEdidFile(words[0], image, error))
        return FileProblem(error);
    std::string report;
    EDID_MakeReport(image, report);
    const bool notAnEdid = report == kNotAnEdidReport;
    if (notAnEdid)
        report += "\r\n";  // ends like every line of a report
    if (raw) {
        std::fwrite(report.data(), 1, report.size(), stdout);
    } else if (output.json()) {
        output.object(Output::Object().add("file", words[0]).add("report", xandrel::ReportToUtf8(report)));
    } else {
        const std::string text = xandrel::ReportToUtf8(report, xandrel::ReportLineEnds::Platform);
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
    return notAnEdid ? kNoAnswer : kOk;
}

int Read(const GlobalOptions& options, Arguments words, const Output& output)
{
    const bool force = TakeFlag(words, "--force");
    const EdidPlace source = TakePlace(words, *options.model, "source");
    if (source.kind != EdidPlace::Input && source.kind != EdidPlace::Output && source.kind != EdidPlace::Default)
        throw UsageError{"edid read takes input N, output N or default A-D"};
    if (words.size() != 2 || words[0] != "-o")
        throw UsageError{"edid read [--force] SOURCE -o FILE"};
    const std::string file = words[1];
    if (const std::string problem = SaveTargetProblem(file); !problem.empty())
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
        !force && problem.find("header") != std::string::npos) {
        Complain("the EDID of " + xandrel::EdidPlaceName(source) + " is no EDID: " + problem
                 + "; nothing was saved (--force saves it anyway)");
        return kNoAnswer;
    }
    const bool sound = xandrel::EdidBlockIsSound(std::span(image).first<128>())
        && xandrel::EdidBlockIsSound(std::span(image).last<128>());
    std::string error;
    if (!xandrel::SaveEdidFile(file, image, error))
        return FileProblem(error);
    if (output.json()) {
        output.object(Output::Object()
                          .add("source", xandrel::EdidPlaceName(source))
                          .add("file", file)
                          .add("checksums_were_sound", sound));
    } else {
        output.text("EDID of " + xandrel::EdidPlaceName(source) + " saved to " + file
                    + (sound ? "" : " (its checksums were wrong; the file has them recomputed)"));
    }
    return kOk;
}

// Writes the image to one input or stored EDID; prints how it went.
bool WriteOne(xandrel::PlainEdidHost& host, const xandrel::EdidImage& image, BYTE number, BYTE kind,
              const std::string& name, const Output& output)
{
    BarProgress progress("writing " + name);
    const bool written = EDID_DeviceWrite(host, image, progress, number, kind);
    progress.finish();
    if (output.json())
        output.object(Output::Object().add("target", name).add("written", written));
    else
        output.text(name + (written ? ": written" : ": failed"));
    return written;
}

int Write(const GlobalOptions& options, Arguments words, const Output& output)
{
    const bool force = TakeFlag(words, "--force");
    if (words.empty())
        throw UsageError{"edid write [--force] FILE TARGET"};
    const std::string file = words.front();
    words.erase(words.begin());
    const EdidPlace target = TakePlace(words, *options.model, "target");
    if (!words.empty())
        throw UsageError{"unexpected argument '" + words.front() + "'"};
    const xandrel::EdidTransfer plan = PlanEdidTransfer(EdidPlace{EdidPlace::Computer}, target);
    if (plan.kind == xandrel::EdidTransfer::Unsupported)
        throw UsageError{"an EDID file can be written to input N, all or default A-D"};
    xandrel::EdidImage image{};
    std::string error;
    if (!xandrel::LoadEdidFile(file, image, error))
        return FileProblem(error);
    if (const std::string problem = xandrel::EdidImageProblem(image); !problem.empty() && !force)
        return FileProblem(file + " is no sound EDID: " + problem + "; --force writes it anyway");
    xandrel::SetEdidChecksums(image);

    DeviceSession session(options);
    if (int code = session.open())
        return code;
    xandrel::PlainEdidHost host(session.model());
    bool allWritten = true;
    if (plan.kind == xandrel::EdidTransfer::WriteInputs) {
        for (int input = 1; input <= options.model->inputs; ++input)
            allWritten &= WriteOne(host, image, static_cast<BYTE>(input), xandrel::edid::kWriteInput,
                                   "input " + std::to_string(input), output);
    } else {
        allWritten = WriteOne(host, image, plan.number, plan.writeKind, xandrel::EdidPlaceName(target), output);
    }
    return allWritten ? kOk : session.failed("writing the EDID");
}

int Copy(const GlobalOptions& options, Arguments words, const Output& output)
{
    const EdidPlace source = TakePlace(words, *options.model, "source");
    const EdidPlace target = TakePlace(words, *options.model, "target");
    if (!words.empty())
        throw UsageError{"unexpected argument '" + words.front() + "'"};
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
    if (output.json())
        output.object(Output::Object().add("source", xandrel::EdidPlaceName(source)).add("target",
                                                                                      xandrel::EdidPlaceName(target)));
    else
        output.text("copied " + xandrel::EdidPlaceName(source) + " to " + xandrel::EdidPlaceName(target));
    return kOk;
}

int Ids(const GlobalOptions& options, Arguments words, const Output& output)
{
    if (!words.empty())
        throw UsageError{"edid ids takes no argument"};
    DeviceSession session(options);
    if (int code = session.open())
        return code;
    INFODEVICEMATRIXBASE& model = session.model();
    model.m_ErrorCode = INFODEVICEMATRIXBASE::kNoError;
    bool anyAnswered = false;
    for (BYTE input = 1; input <= 8; ++input) {
        const auto identity = xandrel::EDID_IdentityProbe(model, input);
        anyAnswered |= identity.has_value();
        if (output.json()) {
            Output::Object line;
            line.add("input", input);
            if (identity) {
                char product[8];
                std::snprintf(product, sizeof product, "%02X%02X", identity->product[1], identity->product[0]);
                line.add("manufacturer", xandrel::EdidManufacturerLetters(identity->manufacturer[0],
                                                                          identity->manufacturer[1]))
                    .add("product", product);
            } else {
                line.addNull("manufacturer").addNull("product");
            }
            output.object(line);
            continue;
        }
        std::string text = xandrel::ManufacturerLine(input, identity);
        text.resize(text.size() - 2);  // the line's CR LF
        output.text(text);
    }
    const bool portClosed = model.m_ErrorCode == INFODEVICEMATRIXBASE::kPortNotOpen;
    return anyAnswered && !portClosed ? kOk : session.failed("probing the inputs");
}

struct SubVerb {
    const char* name;
    int (*run)(const GlobalOptions&, Arguments, const Output&);
};

int Edid(const GlobalOptions& options, const Arguments& arguments, const Output& output)
{
    static const SubVerb subVerbs[] = {{"report", Report}, {"read", Read}, {"write", Write}, {"copy", Copy}, {"ids", Ids}};
    if (arguments.empty())
        throw UsageError{"edid needs report, read, write, copy or ids"};
    for (const SubVerb& sub : subVerbs)
        if (arguments[0] == sub.name)
            return sub.run(options, Arguments(arguments.begin() + 1, arguments.end()), output);
    throw UsageError{"unknown edid verb '" + arguments[0] + "'"};
}

}  // namespace

const std::vector<Verb>& EdidVerbs()
{
    static const std::vector<Verb> verbs = {
        {"edid",
         "edid report [--raw] FILE | read [--force] SOURCE -o FILE | write [--force] FILE TARGET | copy SOURCE TARGET | ids",
         "report: the decoded report of a 128- or 256-byte .bin file (--raw: its exact bytes,\n"
         "          CR LF and code page 950; without: UTF-8 with this system's line ends);\n"
         "          a file without the EDID header gives \"error edid format\" and exit status 1\n"
         "  read:   read an EDID from the device into FILE (256 bytes, both checksums recomputed);\n"
         "          FILE's folder is checked before the device is asked; bytes without the EDID\n"
         "          header are not saved (exit status 1) unless --force is given\n"
         "  write:  write FILE to the device; a file with a wrong header or block checksum is\n"
         "          refused (exit status 4) unless --force is given (its checksums are then recomputed)\n"
         "  copy:   copy an EDID inside the device: an output to all, input N or default A-D;\n"
         "          default A-D to all or input N; input N to default A-D\n"
         "  ids:    the manufacturer IDs of inputs 1 to 8 (exit status 1 when no input answers)\n"
         "  SOURCE: input N | output N | default A-D    TARGET: input N | all | default A-D",
         Edid},
    };
    return verbs;
}

}  // namespace quellix::cli
