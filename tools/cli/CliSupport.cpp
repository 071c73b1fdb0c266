// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "tavrik/PortTable.h"
#include "xandrel/custom/StringTableFile.h"
#include "xandrel/device/TrafficLog.h"
#include "tavrik/Wait.h"

namespace quellix::cli {

volatile std::sig_atomic_t g_interrupted = 0;

void PauseUnlessInterrupted(std::chrono::steady_clock::duration duration)
{
    using std::chrono::milliseconds;
    constexpr milliseconds kStep{100};
    const auto end = std::chrono::steady_clock::now() + duration;
    for (milliseconds left = std::chrono::ceil<milliseconds>(duration); left.count() > 0 && !g_interrupted;
         left = std::chrono::ceil<milliseconds>(end - std::chrono::steady_clock::now()))
        tavrik::Wait(static_cast<uint32_t>(std::min(left, kStep).count()));
}

int ParseNumber(const std::string& text, int low, int high, const std::string& what)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError{what + " must be a number from " + std::to_string(low) + " to " + std::to_string(high)
                         + ", not '" + text + "'"};
    const int value = std::stoi(text);
    if (value < low || value > high)
        throw UsageError{what + " must be from " + std::to_string(low) + " to " + std::to_string(high) + ", not "
                         + text};
    return value;
}

JsonArray JsonNumbers(const std::vector<int>& values)
{
    JsonArray array;
    for (int value : values)
        array.append(value);
    return array;
}

JsonObject ErrorJson(int code, const std::string& message)
{
    return {{"code", code}, {"message", message}};
}

namespace {

std::tm LocalTime(std::time_t seconds)
{
    std::tm local{};
#if defined(_WIN32)
    ::localtime_s(&local, &seconds);
#else
    ::localtime_r(&seconds, &local);
#endif
    return local;
}

// Seconds east of UTC of the local time `local` at `seconds`: the local
// time read as if it were UTC, less the time itself.
long OffsetFromUtc(const std::tm& local, std::time_t seconds)
{
    using namespace std::chrono;
    const year_month_day date{year{local.tm_year + 1900}, month{static_cast<unsigned>(local.tm_mon + 1)},
                              day{static_cast<unsigned>(local.tm_mday)}};
    const auto asUtc =
        sys_days{date} + hours{local.tm_hour} + minutes{local.tm_min} + std::chrono::seconds{local.tm_sec};
    return static_cast<long>(asUtc.time_since_epoch().count() - seconds);
}

void PrintJson(const JsonValue& value)
{
    std::string text = value.toCompactJson();
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

std::string Timestamp(std::chrono::system_clock::time_point when, bool precise)
{
    using namespace std::chrono;
    const auto sinceEpoch = floor<milliseconds>(when.time_since_epoch());
    const auto wholeSeconds = floor<seconds>(sinceEpoch);
    const std::time_t at = static_cast<std::time_t>(wholeSeconds.count());
    const std::tm local = LocalTime(at);
    char text[48];
    size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    if (precise)
        length += std::snprintf(text + length, sizeof text - length, ".%03d",
                                static_cast<int>((sinceEpoch - wholeSeconds).count()));
    const long offset = OffsetFromUtc(local, at);
    if (offset == 0)
        return std::string(text, length) + "Z";  // a time in UTC is told as such
    std::snprintf(text + length, sizeof text - length, "%c%02ld:%02ld", offset < 0 ? '-' : '+',
                  std::labs(offset) / 3600, std::labs(offset) / 60 % 60);
    return text;
}

std::string Timestamp(bool precise)
{
    return Timestamp(std::chrono::system_clock::now(), precise);
}

void Output::text(const std::string& line) const
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void Output::line(JsonObject object) const
{
    object.insert("time", Timestamp(true));
    PrintJson(object);
}

int Output::finish(int code) const
{
    if (!json_)
        return code;
    if (code != kOk && !keepOnFailure_) {
        const std::string message = LastComplaint().empty() ? "failed" : LastComplaint();
        PrintJson(JsonObject{{"error", ErrorJson(code, message)}});
    } else if (document_) {
        PrintJson(*document_);
    }
    return code;
}

namespace {

// True when standard error is a terminal a person watches, not a file or a pipe.
bool StandardErrorIsTerminal()
{
#if defined(_WIN32)
    return ::_isatty(::_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

TerminalProgress::TerminalProgress(std::string label)
    : label_(std::move(label))
    , active_(StandardErrorIsTerminal())
{
}

TerminalProgress::~TerminalProgress()
{
    finish();
}

void TerminalProgress::setRange(int maximum)
{
    maximum_ = std::max(maximum, 1);
}

void TerminalProgress::setPosition(int position)
{
    if (!active_)
        return;
    constexpr int kWidth = 30;
    const int percent = std::clamp(position * 100 / maximum_, 0, 100);
    if (percent == shown_)
        return;
    shown_ = percent;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), percent);
    std::fflush(stderr);
}

void TerminalProgress::finish()
{
    if (active_ && shown_ >= 0)
        std::fprintf(stderr, "\n");
    active_ = false;
}

DeviceSession::DeviceSession(const GlobalOptions& options)
    : options_(options)
    , model_(xandrel::CreateModel(*options.model))
{
    model_->DEVMA_SetPortDriver(&driver_);
    if (options.deviceId)
        model_->m_DeviceID = static_cast<BYTE>(*options.deviceId);
    if (options.trace)
        trace_ = std::make_unique<xandrel::traffic::Listening>([](const xandrel::traffic::Line& line) {
            std::fprintf(stderr, "%s %-9s %s%s%s\n", Timestamp(true).c_str(), line.what.c_str(), line.hex.c_str(),
                         line.hex.empty() ? "" : "  ", line.meaning.c_str());
        });
}

DeviceSession::~DeviceSession()
{
    driver_.RS232_ClosePort();
}

JsonObject PortJson(std::optional<int> com, const std::string& path)
{
    return {{"com", com ? JsonValue(*com) : JsonValue()}, {"path", path}};
}

std::string DeviceSession::portLabel() const
{
    return numberIsTheTables_ ? tavrik::PortLabel(portNumber_) : address_;
}

JsonObject DeviceSession::portJson() const
{
    return PortJson(numberIsTheTables_ ? std::optional(portNumber_) : std::nullopt, address_);
}

int DeviceSession::open()
{
    if (options_.port.empty())
        throw UsageError{"no port given: use --port (a COM number, a path such as /dev/ttyUSB0, a device name "
                         "such as ttyUSB0, or tcp://host:port) or set QUELLIX_PORT"};
    // A port named by its path or address is opened without listing the
    // system's ports, which costs more than the rest of a run's start.
    std::string problem;
    const tavrik::LocatedPort port = tavrik::LocatePort(options_.port, problem);
    if (port.number == 0)
        throw UsageError{problem};
    portNumber_ = port.number;
    address_ = port.address;
    numberIsTheTables_ = port.lasting;
    driver_.m_ShowError = 0;  // the command line words its own messages
    if (driver_.RS232_OpenPort(portNumber_, model_->m_BaudRate) != 1) {
        // The driver's text names the system path already.
        Complain("cannot open " + (numberIsTheTables_ ? "COM" + std::to_string(portNumber_) : address_) + ": "
                 + driver_.RS232_LastErrorText());
        return kPortProblem;
    }
    return kOk;
}

bool DeviceSession::reopen()
{
    driver_.m_ShowError = 0;  // a try that fails is not worth a line (commands turn reports back on)
    return driver_.RS232_OpenPort(portNumber_, model_->m_BaudRate) == 1;
}

const char* DeviceSession::stateReadFailure(bool& signalsKnown)
{
    INFODEVICEMATRIXBASE& model = *model_;
    model.m_ErrorCode = INFODEVICEMATRIXBASE::kNoError;  // tells a refresh that failed from one that sent nothing
    signalsKnown = xandrel::RefreshReadsSignals(*options_.model);
    if (model.DEVMA_GetDeviceAllStatus() == 1)
        return nullptr;
    if (model.m_ErrorCode != INFODEVICEMATRIXBASE::kNoError)
        return "reading the device's state";
    if (model.DEVMA_GetVideoOutputChannel() != 1)
        return "reading the routing";
    if (model.DEVMA_GetVideoInputSignal() != 1)
        return "reading the input signals";
    signalsKnown = true;
    return nullptr;
}

int DeviceSession::readState(bool& signalsKnown)
{
    const char* failure = stateReadFailure(signalsKnown);
    return failure ? failed(failure) : kOk;
}

int DeviceSession::failed(const std::string& doing)
{
    if (model_->m_ErrorCode == INFODEVICEMATRIXBASE::kPortNotOpen) {
        Complain(doing + ": " + driver_.m_NotReadyText + " (" + portLabel() + ")");
        return kPortProblem;
    }
    // What the device said that could not be taken, or why the line failed.
    std::string detail = model_->LastAnswerProblem();
    if (detail.empty())
        detail = driver_.RS232_LastErrorText();
    Complain(doing + ": no valid answer from the device at " + portLabel()
             + (detail.empty() ? "" : " (" + detail + ")"));
    return kNoAnswer;
}

std::vector<int> RoutingOf(const INFODEVICEMATRIXBASE& model)
{
    return {model.m_VideoOutputChannel.get(), model.m_VideoOutputChannel.get() + model.m_OutputNumber};
}

std::vector<int> SignalsOf(const INFODEVICEMATRIXBASE& model)
{
    return {model.m_VideoInputSignal.get(), model.m_VideoInputSignal.get() + model.m_InputNumber};
}

std::string Join(const std::vector<int>& values, const char* separator)
{
    std::string text;
    for (int value : values)
        text += (text.empty() ? "" : separator) + std::to_string(value);
    return text;
}

}  // namespace quellix::cli

namespace quellix::cli {

PortNames NamesIn(const std::string& dataFolder)
{
    xandrel::StringTable table = xandrel::DefaultStringTable();
    std::string error;
    if (!xandrel::ReadStringTableFile(xandrel::StringTableReader::MatrixView, table, dataFolder, &error)
        && !error.empty())
        Complain(error + "; the built-in names are used");
    return {table.inputs, table.outputs};
}

std::string Named(const std::string& kind, size_t number, const std::array<std::string, 8>& names)
{
    const std::string plain = kind + " " + std::to_string(number);
    const bool ownName = number >= 1 && number <= names.size() && names[number - 1] != plain;
    return ownName ? plain + " (" + names[number - 1] + ")" : plain;
}

namespace {

// A letter's small form where it has one, as Unicode's simple case folding
// gives it, for the scripts names of inputs and outputs are written in: from
// `first` to `last` (with `everyOther`, only `first` and each second one
// after it) a letter's small form lies `offset` code points away.
struct CaseRange {
    char32_t first;
    char32_t last;
    int offset;
    bool everyOther = false;
};

constexpr CaseRange kCaseRanges[] = {
    {0x41, 0x5A, 32},
    {0xB5, 0xB5, 0x3BC - 0xB5},
    {0xC0, 0xD6, 32},
    {0xD8, 0xDE, 32},
    {0x100, 0x12E, 1, true},
    {0x132, 0x136, 1, true},
    {0x139, 0x147, 1, true},
    {0x14A, 0x176, 1, true},
    {0x178, 0x178, 0xFF - 0x178},
    {0x179, 0x17D, 1, true},
    {0x17F, 0x17F, 's' - 0x17F},
    {0x370, 0x372, 1, true},
    {0x376, 0x376, 1},
    {0x37F, 0x37F, 0x3F3 - 0x37F},
    {0x386, 0x386, 38},
    {0x388, 0x38A, 37},
    {0x38C, 0x38C, 64},
    {0x38E, 0x38F, 63},
    {0x391, 0x3A1, 32},
    {0x3A3, 0x3AB, 32},
    {0x3C2, 0x3C2, 1},
    {0x3CF, 0x3CF, 8},
    {0x3D0, 0x3D0, 0x3B2 - 0x3D0},
    {0x3D1, 0x3D1, 0x3B8 - 0x3D1},
    {0x3D5, 0x3D5, 0x3C6 - 0x3D5},
    {0x3D6, 0x3D6, 0x3C0 - 0x3D6},
    {0x3D8, 0x3EE, 1, true},
    {0x3F0, 0x3F0, 0x3BA - 0x3F0},
    {0x3F1, 0x3F1, 0x3C1 - 0x3F1},
    {0x3F4, 0x3F4, 0x3B8 - 0x3F4},
    {0x3F5, 0x3F5, 0x3B5 - 0x3F5},
    {0x3F7, 0x3F7, 1},
    {0x3F9, 0x3F9, 0x3F2 - 0x3F9},
    {0x3FA, 0x3FA, 1},
    {0x3FD, 0x3FF, 0x37B - 0x3FD},
    {0x400, 0x40F, 80},
    {0x410, 0x42F, 32},
    {0x460, 0x480, 1, true},
    {0x48A, 0x4BE, 1, true},
    {0x4C0, 0x4C0, 15},
    {0x4C1, 0x4CD, 1, true},
    {0x4D0, 0x4FE, 1, true},
};

char32_t FoldCase(char32_t c)
{
    for (const CaseRange& range : kCaseRanges)
        if (c >= range.first && c <= range.last && (!range.everyOther || (c - range.first) % 2 == 0))
            return static_cast<char32_t>(static_cast<int>(c) + range.offset);
    return c;
}

}  // namespace

bool SameNameCaseAside(std::string_view a, std::string_view b)
{
    size_t atA = TextStart(a), atB = TextStart(b);
    while (atA < a.size() && atB < b.size()) {
        const Utf8Char fromA = ReadUtf8(a, atA), fromB = ReadUtf8(b, atB);
        if (FoldCase(fromA.codePoint) != FoldCase(fromB.codePoint))
            return false;
        atA += fromA.length;
        atB += fromB.length;
    }
    return atA == a.size() && atB == b.size();
}

int NumberOrName(const std::string& text, const char* kind, const std::array<std::string, 8>& names, int count,
                 const std::string& pair)
{
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos)
        return ParseNumber(text, 1, count, std::string("the ") + kind + " in '" + pair + "'");
    std::vector<int> matches;
    std::string known;
    for (int k = 0; k < count && k < static_cast<int>(names.size()); ++k) {
        if (SameNameCaseAside(names[k], text))
            matches.push_back(k + 1);
        known += (known.empty() ? "" : ", ") + std::to_string(k + 1) + " '" + names[k] + "'";
    }
    if (matches.size() == 1)
        return matches.front();
    throw UsageError{std::string(matches.empty() ? "no " : "more than one ") + kind + " is named '" + text + "'; the "
                     + kind + "s are " + known};
}

}  // namespace quellix::cli
