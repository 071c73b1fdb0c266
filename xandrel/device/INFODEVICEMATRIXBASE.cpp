// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/device/INFODEVICEMATRIXBASE.h"

#include <algorithm>
#include <cstring>

#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/Wait.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/device/ProtocolFrames.h"
#include "xandrel/device/TrafficLog.h"

namespace {

namespace traffic = xandrel::traffic;

using xandrel::kEventHeaderLength;
using xandrel::kMaxEventLength;
using xandrel::kRoutingEvent;
using xandrel::kSignalEvent;

// Event messages taken in place of an answer before the exchange fails.
constexpr int kEventsBeforeAnswer = 4;

// While an event poll waits for its first byte: 20 tries 50 ms apart, each try
// hardly waiting; afterwards the port reads once with the shortest pause.
constexpr BYTE kEventReadTimes = 20;
constexpr uint32_t kEventReadInterval = 50;
constexpr BYTE kReadTimesAfterEvent = 1;
constexpr uint32_t kReadIntervalAfterEvent = 1;
// The ID query reads once, and leaves the port reading 15 times.
constexpr BYTE kReadTimesAfterIDQuery = 15;

// Ports present on this computer at which a device answered the last scan;
// one list for every model, handed out by DEVMA_ScanPort.
BYTE g_ScanResult[255];
BYTE g_ScanCount = 0;

// Restores the port's error display, time-outs and read settings when an
// event poll leaves, whichever way it leaves.
class EventPollSettings {
public:
    explicit EventPollSettings(INFOPORTDRIVER& port)
        : port_(port)
        , showError_(port.m_ShowError)
    {
        port_.m_ShowError = 0;
    }

    void ShortenReads()
    {
        port_.RS232_GetTimeouts(saved_);
        COMMTIMEOUTS quick = saved_;
        quick.ReadTotalTimeoutMultiplier = 1;
        quick.ReadTotalTimeoutConstant = 1;
        port_.RS232_SetTimeouts(quick);
        port_.m_ReadTimes = kEventReadTimes;
        port_.m_ReadInterval = kEventReadInterval;
        shortened_ = true;
    }

    ~EventPollSettings()
    {
        if (shortened_) {
            port_.m_ReadTimes = kReadTimesAfterEvent;
            port_.m_ReadInterval = kReadIntervalAfterEvent;
            port_.RS232_SetTimeouts(saved_);
        }
        port_.m_ShowError = showError_;
    }

private:
    INFOPORTDRIVER& port_;
    int32_t showError_;
    COMMTIMEOUTS saved_{};
    bool shortened_ = false;
};

}  // namespace

INFODEVICEMATRIXBASE::INFODEVICEMATRIXBASE()
    : m_InputNumber(0)
    , m_OutputNumber(0)
    , m_InputPortNumber(0)
    , m_OutputPortNumber(0)
    , m_BaudRate(9600)
    , m_DeviceID(kBroadcastID)
    , m_MachineModeHeader{}
    , m_VideoOutputChannel(std::make_shared<BYTE[]>(0))
    , m_VideoInputSignal(std::make_shared<uint32_t[]>(0))
    , m_PortDriver(nullptr)
    , m_EventType(0)
    , m_RetryTimes(1)
    , m_ErrorCode(kNoError)
    , m_Command{}
    , m_CommandLength(0)
{
}

INFODEVICEMATRIXBASE::INFODEVICEMATRIXBASE(const xandrel::ModelSpec& model)
    : INFODEVICEMATRIXBASE()
{
    m_InputNumber = m_InputPortNumber = model.inputs;
    m_OutputNumber = m_OutputPortNumber = model.outputs;
    std::copy(model.header.begin(), model.header.end(), m_MachineModeHeader);
    // Every output shows input 1 until the device is read; no input has a signal.
    m_VideoOutputChannel = std::make_shared<BYTE[]>(m_OutputNumber, BYTE{1});
    m_VideoInputSignal = std::make_shared<uint32_t[]>(m_InputNumber, 0u);
}

INFODEVICEMATRIXBASE::INFODEVICEMATRIXBASE(const INFODEVICEMATRIXBASE&) = default;
INFODEVICEMATRIXBASE& INFODEVICEMATRIXBASE::operator=(const INFODEVICEMATRIXBASE&) = default;
INFODEVICEMATRIXBASE::~INFODEVICEMATRIXBASE() = default;

int INFODEVICEMATRIXBASE::DEVMA_CommandStart()
{
    if (m_PortDriver)
        m_PortDriver->m_ShowError = 0;
    return 1;
}

int INFODEVICEMATRIXBASE::DEVMA_CommandEnd()
{
    if (m_PortDriver)
        m_PortDriver->m_ShowError = 1;
    return 1;
}

BYTE INFODEVICEMATRIXBASE::DEVMA_CommandCheckSum(const BYTE* data, BYTE length)
{
    return xandrel::FrameChecksum(data, length);
}

int INFODEVICEMATRIXBASE::DEVMA_SetPortDriver(INFOPORTDRIVER* portDriver)
{
    m_PortDriver = portDriver;
    return 1;
}

bool INFODEVICEMATRIXBASE::PortIsOpen() const
{
    return m_PortDriver && m_PortDriver->RS232_IsOpen();
}

void INFODEVICEMATRIXBASE::BeginFrame(BYTE length, BYTE code, std::initializer_list<BYTE> payload)
{
    std::memset(m_Command, 0, sizeof m_Command);
    m_Command[0] = length;
    m_Command[6] = code;
    std::copy_n(payload.begin(), std::min<size_t>(payload.size(), kMaxFrameLength - 8), m_Command + 7);
}

int INFODEVICEMATRIXBASE::DEVMA_CommandTransfer(BYTE* reply, BYTE replyLength)
{
    if (!PortIsOpen()) {
        m_ErrorCode = kPortNotOpen;
        return 0;
    }
    if (!DEVMA_CommandStart()) {
        DEVMA_CommandEnd();
        return 0;
    }
    // A frame length the protocol cannot carry would index outside m_Command:
    // nothing is sent and the exchange fails like one without an answer.
    if (!CompleteFrame() || (replyLength != 0 && !reply)) {
        m_ErrorCode = kNoValidAnswer;
        DEVMA_CommandEnd();
        return 0;
    }

    // The device needs its rest after the previous exchange, whoever made it;
    // a line rested long enough takes the frame at once.
    m_PortDriver->restBeforeFrame(kPacingMs);
    for (int attempt = 0; attempt < m_RetryTimes; ++attempt) {
        const bool answered = TryOnce(reply, replyLength);
        m_PortDriver->noteExchangeEnd();
        if (answered) {
            DEVMA_CommandEnd();
            return 1;
        }
        tavrik::Wait(kPacingMs);
    }
    m_ErrorCode = kNoValidAnswer;
    DEVMA_CommandEnd();
    return 0;
}

bool INFODEVICEMATRIXBASE::CompleteFrame()
{
    const BYTE length = m_Command[0];
    if (length < kMinFrameLength || length > kMaxFrameLength)
        return false;
    std::copy(m_MachineModeHeader, m_MachineModeHeader + 4, m_Command + 1);
    m_Command[5] = m_DeviceID;
    m_CommandLength = length;
    m_Command[length - 1] = DEVMA_CommandCheckSum(m_Command, static_cast<BYTE>(length - 1));
    return true;
}

std::vector<BYTE> INFODEVICEMATRIXBASE::PreparedFrame()
{
    if (!CompleteFrame())
        return {};
    return std::vector<BYTE>(m_Command, m_Command + m_CommandLength);
}

bool INFODEVICEMATRIXBASE::TryOnce(BYTE* reply, BYTE replyLength)
{
    m_PortDriver->RS232_EraserReadBuffer();
    if (m_PortDriver->RS232_WriteBuf(m_Command, m_CommandLength) != 1)
        return false;
    traffic::Sent(m_Command, m_CommandLength);
    // Named only while someone reads the traffic log: every exchange passes here.
    const std::string command = traffic::Enabled() ? traffic::CommandName(m_Command[6]) : std::string();
    BYTE acknowledge = 0;
    for (int events = 0;; ++events) {
        if (m_PortDriver->RS232_ReadBuf(&acknowledge, 1) != 1) {
            traffic::NoAnswer("no acknowledgement of " + command);
            return false;
        }
        if (acknowledge == kAcknowledge)
            break;
        // The front panel (or a line shared with other programs) may report
        // a change just before the answer: the message is taken, the answer
        // still awaited.
        if (events == kEventsBeforeAnswer || !TakeEventBeforeAnswer(acknowledge)) {
            traffic::Received(&acknowledge, 1, "not the acknowledgement of " + command);
            return false;
        }
    }
    traffic::Received(&acknowledge, 1, "acknowledged");
    if (replyLength == 0)
        return true;
    if (m_PortDriver->RS232_ReadBuf(reply, replyLength) != 1) {
        traffic::NoAnswer("no whole answer to " + command);
        return false;
    }
    traffic::Received(reply, replyLength, "answer to " + command);
    return true;
}

// Reads the rest of the event message `first` starts, where an answer was
// awaited; true when it was one of this device's and was taken.
bool INFODEVICEMATRIXBASE::TakeEventBeforeAnswer(BYTE first)
{
    const int length = xandrel::EventMessageLength(first);
    BYTE message[kMaxEventLength] = {first};
    if (length == 0 || m_PortDriver->RS232_ReadBuf(message + 1, static_cast<uint32_t>(length - 1)) != 1)
        return false;
    const BYTE eventType = m_EventType;
    if (!EventDropReason(message, static_cast<BYTE>(length)).empty())
        return false;
    m_EventType = 0;
    TakeEventBody(message, static_cast<BYTE>(length));
    const bool taken = m_EventType != 0;
    if (taken)
        traffic::Received(message, static_cast<BYTE>(length), "event message before an answer");
    m_EventType = eventType;
    return taken;
}

int INFODEVICEMATRIXBASE::SendRouting(const BYTE* routing, BYTE length, BYTE replyLength)
{
    BeginFrame(length, kWriteRouting);
    const int payload = std::min<int>(m_OutputNumber, length - kMinFrameLength);
    std::copy(routing, routing + payload, m_Command + 7);
    BYTE body[kMaxFrameLength] = {};
    if (!DEVMA_CommandTransfer(body, replyLength))
        return 0;
    std::copy(routing, routing + m_OutputNumber, m_VideoOutputChannel.get());
    return 1;
}

int INFODEVICEMATRIXBASE::DEVMA_SetVideoOutputChannel(const BYTE* routing)
{
    if (!routing)
        return 0;
    return SendRouting(routing, static_cast<BYTE>(m_OutputNumber + kMinFrameLength), 0);
}

int INFODEVICEMATRIXBASE::DEVMA_GetVideoOutputChannel()
{
    answerProblem_.clear();
    BeginFrame(kMinFrameLength, kReadRouting);
    BYTE body[256 + 2] = {};
    if (!DEVMA_CommandTransfer(body, xandrel::ListReplyLength(m_OutputNumber)))
        return 0;
    if (!EntriesAreValid(body + 1, true)) {
        m_ErrorCode = kNoValidAnswer;
        return 0;
    }
    std::copy(body + 1, body + 1 + m_OutputNumber, m_VideoOutputChannel.get());
    return 1;
}

int INFODEVICEMATRIXBASE::DEVMA_GetVideoInputSignal()
{
    answerProblem_.clear();
    BeginFrame(kMinFrameLength, kReadSignals);
    BYTE body[256 + 2] = {};
    if (!DEVMA_CommandTransfer(body, xandrel::ListReplyLength(m_InputNumber)))
        return 0;
    if (!EntriesAreValid(body + 1, false)) {
        m_ErrorCode = kNoValidAnswer;
        return 0;
    }
    std::copy(body + 1, body + 1 + m_InputNumber, m_VideoInputSignal.get());
    return 1;
}

// A routing entry is an input of the model, or 0 (no input); a signal entry
// is 0 or 1. Anything else is line noise or a device of another kind: the
// answer is refused (it would show inputs the device does not have and be
// written back to it by the next whole-table routing).
bool INFODEVICEMATRIXBASE::EntriesAreValid(const BYTE* entries, bool routing)
{
    const int count = routing ? m_OutputNumber : m_InputNumber;
    const int highest = routing ? m_InputNumber : 1;
    answerProblem_.clear();
    for (int k = 0; k < count; ++k) {
        if (entries[k] <= highest)
            continue;
        answerProblem_ = routing
            ? "output " + std::to_string(k + 1) + ": input " + std::to_string(entries[k]) + ", but the device has "
                + std::to_string(m_InputNumber) + " inputs"
            : "input " + std::to_string(k + 1) + ": signal value " + std::to_string(entries[k]) + " (0 or 1 expected)";
        return false;
    }
    return true;
}

int INFODEVICEMATRIXBASE::DEVMA_SetDeviceID(BYTE newID)
{
    BeginFrame(kMinFrameLength + 1, kWriteDeviceID);
    m_Command[7] = newID;
    if (!DEVMA_CommandTransfer(nullptr, 0))
        return 0;
    m_DeviceID = newID;
    return 1;
}

int INFODEVICEMATRIXBASE::QueryDeviceID()
{
    BeginFrame(kMinFrameLength, kReadDeviceID);
    BYTE body[xandrel::kDeviceIdReplyLength] = {};
    if (!DEVMA_CommandTransfer(body, sizeof body))
        return 0;
    m_DeviceID = body[1];
    return 1;
}

// Asks whatever device is attached (ID 255) for its ID, reading once.
int INFODEVICEMATRIXBASE::DEVMA_GetDeviceID()
{
    const BYTE previousID = m_DeviceID;
    m_DeviceID = kBroadcastID;
    m_RetryTimes = 1;
    if (m_PortDriver)
        m_PortDriver->m_ReadTimes = 1;
    const int result = QueryDeviceID();
    m_RetryTimes = 1;
    if (m_PortDriver)
        m_PortDriver->m_ReadTimes = kReadTimesAfterIDQuery;
    if (!result)
        m_DeviceID = previousID;
    return result;
}

int INFODEVICEMATRIXBASE::DEVMA_SetAudioOutputChannel(const BYTE*)
{
    return 0;
}

int INFODEVICEMATRIXBASE::DEVMA_GetAudioInputSignal()
{
    return 0;
}

int INFODEVICEMATRIXBASE::DEVMA_GetAudioOutputChannel()
{
    return 0;
}

int INFODEVICEMATRIXBASE::DEVMA_GetFirmwareString(BYTE*, BYTE)
{
    return 1;
}

int INFODEVICEMATRIXBASE::DEVMA_GetMachineModeHeader()
{
    return 0;
}

int INFODEVICEMATRIXBASE::DEVMA_SetVideoChannel(BYTE, BYTE)
{
    return 0;
}

int INFODEVICEMATRIXBASE::DEVMA_SetAudioChannel(BYTE, BYTE)
{
    return 0;
}

int INFODEVICEMATRIXBASE::DEVMA_GetEventMessage()
{
    m_EventType = 0;
    if (!m_PortDriver) {
        m_ErrorCode = kPortNotOpen;
        return 0;
    }
    EventPollSettings settings(*m_PortDriver);
    if (!m_PortDriver->RS232_IsOpen()) {
        m_ErrorCode = kPortNotOpen;
        return 0;
    }
    settings.ShortenReads();

    BYTE message[kMaxEventLength] = {};
    if (m_PortDriver->RS232_ReadBuf(message, 1) != 1)
        return 0;
    const BYTE length = message[0];
    if (length < 1 || length > kMaxEventLength)
        return 0;
    if (m_PortDriver->RS232_ReadBuf(message + 1, static_cast<BYTE>(length - 1)) != 1) {
        traffic::Dropped(message, 1, "an event message that did not arrive whole");
        return 0;
    }
    if (const std::string reason = EventDropReason(message, length); !reason.empty()) {
        traffic::Dropped(message, length, reason);
        return 0;
    }
    TakeEventBody(message, length);
    if (m_EventType == 0)
        traffic::Dropped(message, length, "a body this model cannot take (unknown type, too short or out of range)");
    else
        traffic::Received(message, length,
                          m_EventType == kRoutingEvent ? "event message: routing" : "event message: signals");
    return m_EventType != 0 ? 1 : 0;
}

// Why an event message is not this model's; empty when it is. A model at ID 255,
// the ID that reaches any device, takes the messages of whatever device is
// attached.
std::string INFODEVICEMATRIXBASE::EventDropReason(const BYTE* message, BYTE length) const
{
    if (length < kEventHeaderLength)
        return "too short for an event message";
    if (!std::equal(m_MachineModeHeader, m_MachineModeHeader + 4, message + 1))
        return "another model's header";
    if (m_DeviceID != kBroadcastID && message[5] != m_DeviceID)
        return "another device's ID " + std::to_string(message[5]);
    return {};
}

// A message too short to hold one entry per output (or input) is dropped
// whole: taking it would fill the state with bytes the device never sent.
void INFODEVICEMATRIXBASE::TakeEventBody(const BYTE* message, BYTE length)
{
    const BYTE type = message[6];
    const BYTE* entries = message + kEventHeaderLength;
    const int available = length - kEventHeaderLength;
    if (type == kRoutingEvent && available >= m_OutputNumber) {
        if (!EntriesAreValid(entries, true))
            return;
        std::copy(entries, entries + m_OutputNumber, m_VideoOutputChannel.get());
        m_EventType = type;
    } else if (type == kSignalEvent && available >= m_InputNumber) {
        if (!EntriesAreValid(entries, false))
            return;
        std::copy(entries, entries + m_InputNumber, m_VideoInputSignal.get());
        m_EventType = type;
    }
}

int INFODEVICEMATRIXBASE::DEVMA_GetDeviceAllStatus()
{
    return 0;
}

int INFODEVICEMATRIXBASE::RefreshSignalsThenRouting()
{
    return DEVMA_GetVideoInputSignal() && DEVMA_GetVideoOutputChannel() ? 1 : 0;
}

int INFODEVICEMATRIXBASE::RefreshRoutingOnly()
{
    return DEVMA_GetVideoOutputChannel();
}

int INFODEVICEMATRIXBASE::DEVMA_ScanPort(BYTE** portList, BYTE* portCount)
{
    BYTE* present = nullptr;
    BYTE presentCount = 0;
    BYTE* inUse = nullptr;
    BYTE inUseCount = 0;
    RS232_ScanPortExist(&present, &presentCount, 1);
    RS232_ScanPortOpen(&inUse, &inUseCount, 1);

    g_ScanCount = 0;
    BYTE nextInUse = 0;
    for (BYTE i = 0; i < presentCount; ++i) {
        if (nextInUse < inUseCount && present[i] == inUse[nextInUse]) {
            ++nextInUse;
            continue;
        }
        if (m_PortDriver && m_PortDriver->RS232_OpenPort(present[i], m_BaudRate) == 1 && DEVMA_GetDeviceID() == 1)
            g_ScanResult[g_ScanCount++] = present[i];
    }
    if (m_PortDriver)
        m_PortDriver->RS232_ClosePort();
    if (portList)
        *portList = g_ScanResult;
    if (portCount)
        *portCount = g_ScanCount;
    return g_ScanCount != 0 ? 1 : 0;
}

int INFODEVICEMATRIXBASE::DEVMA_ScanPortDeviceID(BYTE portNumber, BYTE**, BYTE*)
{
    if (m_PortDriver) {
        m_PortDriver->RS232_OpenPort(portNumber, m_BaudRate);
        m_PortDriver->RS232_ClosePort();
    }
    return 0;
}
