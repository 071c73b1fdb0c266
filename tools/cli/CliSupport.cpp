// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"

#include <QDateTime>
#include <QJsonDocument>

#include <algorithm>
#include <cstdio>
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

QString Text(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QJsonArray JsonNumbers(const std::vector<int>& values)
{
    QJsonArray array;
    for (int value : values)
        array.append(value);
    return array;
}

QJsonObject ErrorJson(int code, const std::string& message)
{
    return {{"code", code}, {"message", Text(message)}};
}

std::string Timestamp(bool precise)
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(precise ? Qt::ISODateWithMs : Qt::ISODate).toStdString();
}

namespace {

void PrintJson(const QJsonValue& value)
{
    const QByteArray bytes = value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                                             : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

void Output::text(const std::string& line) const
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void Output::line(QJsonObject object) const
{
    object.insert("time", Text(Timestamp(true)));
    PrintJson(object);
}

int Output::finish(int code) const
{
    if (!json_)
        return code;
    if (code != kOk && !keepOnFailure_) {
        const std::string message = LastComplaint().empty() ? "failed" : LastComplaint();
        PrintJson(QJsonObject{{"error", ErrorJson(code, message)}});
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

QJsonObject PortJson(std::optional<int> com, const std::string& path)
{
    return {{"com", com ? QJsonValue(*com) : QJsonValue()}, {"path", Text(path)}};
}

std::string DeviceSession::portLabel() const
{
    return numberIsTheTables_ ? tavrik::PortLabel(portNumber_) : address_;
}

QJsonObject DeviceSession::portJson() const
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

int NumberOrName(const std::string& text, const char* kind, const std::array<std::string, 8>& names, int count,
                 const std::string& pair)
{
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos)
        return ParseNumber(text, 1, count, std::string("the ") + kind + " in '" + pair + "'");
    const QString wanted = Text(text);
    std::vector<int> matches;
    std::string known;
    for (int k = 0; k < count && k < static_cast<int>(names.size()); ++k) {
        if (Text(names[k]).compare(wanted, Qt::CaseInsensitive) == 0)
            matches.push_back(k + 1);
        known += (known.empty() ? "" : ", ") + std::to_string(k + 1) + " '" + names[k] + "'";
    }
    if (matches.size() == 1)
        return matches.front();
    throw UsageError{std::string(matches.empty() ? "no " : "more than one ") + kind + " is named '" + text + "'; the "
                     + kind + "s are " + known};
}

}  // namespace quellix::cli
