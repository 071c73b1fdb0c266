// quellix-cli edid: report, read, write, copy and ids.
#include <cstdio>

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

int FileProblem(const std::string& error)
{
    Complain(error);
    return kFileProblem;
}

int Report(const GlobalOptions&, Arguments words, const Output& output)
{
    bool raw = false;
    if (!words.empty() && words.front() == "--raw") {
        raw = true;
        words.erase(words.begin());
    }
    if (words.size() != 1)
        throw UsageError{"edid report [--raw] FILE"};
    xandrel::EdidImage image{};
    std::string error;
    if (!xandrel::LoadEdidFile(words[0], image, error))
        return FileProblem(error);
    std::string report;
    EDID_MakeReport(image, report);
    if (raw) {
        std::fwrite(report.data(), 1, report.size(), stdout);
    } else if (output.json()) {
        output.object(Output::Object().add("file", words[0]).add("report", xandrel::ReportToUtf8(report)));
    } else {
        const std::string text = xandrel::ReportToUtf8(report, xandrel::ReportLineEnds::Platform);
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
    return kOk;
}

int Read(const GlobalOptions& options, Arguments words, const Output& output)
{
    const EdidPlace source = TakePlace(words, *options.model, "source");
    if (source.kind != EdidPlace::Input && source.kind != EdidPlace::Output && source.kind != EdidPlace::Default)
        throw UsageError{"edid read takes input N, output N or default A-D"};
    if (words.size() != 2 || words[0] != "-o")
        throw UsageError{"edid read SOURCE -o FILE"};
    const std::string file = words[1];

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
    if (words.empty())
        throw UsageError{"edid write FILE TARGET"};
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
    for (BYTE input = 1; input <= 8; ++input) {
        const auto identity = xandrel::EDID_IdentityProbe(model, input);
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
    return model.m_ErrorCode == INFODEVICEMATRIXBASE::kPortNotOpen ? session.failed("probing the inputs") : kOk;
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
        {"edid", "edid report [--raw] FILE | read SOURCE -o FILE | write FILE TARGET | copy SOURCE TARGET | ids",
         "report: the decoded report of a 128- or 256-byte .bin file (--raw: its exact bytes,\n"
         "          CR LF and code page 950; without: UTF-8 with this system's line ends)\n"
         "  read:   read an EDID from the device into FILE (256 bytes, both checksums recomputed)\n"
         "  write:  write FILE to the device\n"
         "  copy:   copy an EDID inside the device: an output to all, input N or default A-D;\n"
         "          default A-D to all or input N; input N to default A-D\n"
         "  ids:    the manufacturer IDs of inputs 1 to 8\n"
         "  SOURCE: input N | output N | default A-D    TARGET: input N | all | default A-D",
         Edid},
    };
    return verbs;
}

}  // namespace quellix::cli
