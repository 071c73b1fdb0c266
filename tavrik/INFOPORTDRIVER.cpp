// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrik/INFOPORTDRIVER.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "tavrik/ErrorReporter.h"
#include "tavrik/PortTable.h"
#include "tavrik/Transport.h"
#include "tavrik/Wait.h"

namespace {

// Read settings a new driver starts with. A 9600-baud device needs about
// 1.04 ms a byte and answers within some 500 ms of a command. A single try
// of 500 ms + 2 ms a byte lets it answer even when the read makes one try
// only (as after every event poll); two tries 50 ms apart let a missing
// device fail after about 1.05 s.
constexpr uint8_t kDefaultReadTimes = 2;
constexpr uint32_t kDefaultReadInterval = 50;
constexpr COMMTIMEOUTS kDefaultTimeouts = {
    0,    // ReadIntervalTimeout: not used
    2,    // ReadTotalTimeoutMultiplier
    500,  // ReadTotalTimeoutConstant
    2,    // WriteTotalTimeoutMultiplier
    500,  // WriteTotalTimeoutConstant
};

uint32_t TimeLimit(uint32_t constant, uint32_t multiplier, uint32_t count)
{
    const uint64_t total = uint64_t{constant} + uint64_t{multiplier} * count;
    return static_cast<uint32_t>(std::min<uint64_t>(total, std::numeric_limits<int32_t>::max()));
}

int OpenResultOf(tavrik::OpenStatus status)
{
    switch (status) {
    case tavrik::OpenStatus::Opened: return RS232_OPEN_OK;
    case tavrik::OpenStatus::NotFound: return RS232_OPEN_NOT_FOUND;
    case tavrik::OpenStatus::InUse: return RS232_OPEN_IN_USE;
    case tavrik::OpenStatus::NoPermission: return RS232_OPEN_NO_PERMISSION;
    case tavrik::OpenStatus::Failed: return RS232_OPEN_FAILED;
    }
    return RS232_OPEN_FAILED;
}

void CopyText(char (&target)[100], const char* text)
{
    std::strncpy(target, text, sizeof target - 1);
    target[sizeof target - 1] = '\0';
}

}  // namespace

struct INFOPORTDRIVER::Impl {
    std::unique_ptr<tavrik::Transport> channel;
    std::string address;
    int portNumber = 1;
    uint32_t baudRate = 9600;
    bool open = false;
    bool lossReported = false;
    COMMTIMEOUTS timeouts = kDefaultTimeouts;
    std::string lastError;
    std::function<bool(uint32_t)> giveWay;
    uint32_t arrivedSinceGiveWay = 0;
    uint64_t lastExchangeEnd = 0;  // tavrik::NowMicroseconds() when the last exchange ended
};

INFOPORTDRIVER::INFOPORTDRIVER()
    : m_ReadTimes(kDefaultReadTimes)
    , m_ReadInterval(kDefaultReadInterval)
    , m_ShowError(1)
    , m_NotReadyText{}
    , m_NoFeedbackText{}
    , m_Impl(std::make_unique<Impl>())
{
    CopyText(m_NotReadyText, "Com Port is not ready.");
    CopyText(m_NoFeedbackText, "Com Port does not receive feedback from the device.");
}

INFOPORTDRIVER::~INFOPORTDRIVER() = default;

int INFOPORTDRIVER::RS232_OpenPort(int portNumber, uint32_t baudRate)
{
    RS232_ClosePort();
    m_Impl->portNumber = portNumber;
    m_Impl->baudRate = baudRate;
    m_Impl->lastError.clear();

    const std::string address = tavrik::PortTable::instance().addressOf(portNumber);
    if (address.empty()) {
        fail("COM" + std::to_string(portNumber) + ": no such port on this computer");
        return RS232_OPEN_NOT_FOUND;
    }
    tavrik::OpenOutcome outcome = tavrik::OpenTransport(address, baudRate);
    if (outcome.status != tavrik::OpenStatus::Opened || !outcome.transport) {
        fail(outcome.message.empty() ? address + ": cannot open" : outcome.message);
        return OpenResultOf(outcome.status);
    }
    m_Impl->channel = std::move(outcome.transport);
    m_Impl->address = address;
    m_Impl->open = true;
    m_Impl->lossReported = false;
    noteExchangeEnd();
    return RS232_OPEN_OK;
}

int INFOPORTDRIVER::RS232_ClosePort()
{
    m_Impl->channel.reset();
    m_Impl->address.clear();
    m_Impl->open = false;
    return 1;
}

int INFOPORTDRIVER::RS232_IsOpen() const
{
    return m_Impl->open ? 1 : 0;
}

int INFOPORTDRIVER::GetIsOpen() const
{
    return RS232_IsOpen();
}

int INFOPORTDRIVER::GetPortNumber() const
{
    return m_Impl->portNumber;
}

int INFOPORTDRIVER::RS232_WriteBuf(const uint8_t* buffer, uint32_t count)
{
    if ((count != 0 && !buffer) || !reopenIfLost())
        return 0;
    const COMMTIMEOUTS& t = m_Impl->timeouts;
    if (m_Impl->channel->write(buffer, count,
                               TimeLimit(t.WriteTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier, count)))
        return 1;
    haveChannel();  // notes the loss if the write found the device gone
    return 0;
}

int INFOPORTDRIVER::RS232_ReadBuf(uint8_t* buffer, uint32_t count)
{
    if (count == 0)
        return 1;
    if (!buffer || !haveChannel())
        return 0;
    const COMMTIMEOUTS& t = m_Impl->timeouts;
    const uint32_t perTry = TimeLimit(t.ReadTotalTimeoutConstant, t.ReadTotalTimeoutMultiplier, count);
    const int tries = std::max<int>(1, m_ReadTimes);
    uint32_t received = 0;
    for (int attempt = 0; attempt < tries; ++attempt) {
        if (attempt > 0) {
            if (givingWay(received))
                return 0;
            tavrik::Wait(m_ReadInterval);
        }
        const auto arrived = static_cast<uint32_t>(m_Impl->channel->read(buffer + received, count - received, perTry));
        received += arrived;
        m_Impl->arrivedSinceGiveWay += arrived;
        if (arrived != 0)
            noteExchangeEnd();
        if (received == count)
            return 1;
        if (!haveChannel())
            return 0;
    }
    return 0;
}

int INFOPORTDRIVER::RS232_EraserReadBuffer()
{
    if (haveChannel())
        m_Impl->channel->discardInput();
    return 1;
}

int INFOPORTDRIVER::RS232_GetTimeouts(COMMTIMEOUTS& timeouts) const
{
    timeouts = m_Impl->timeouts;
    return 1;
}

int INFOPORTDRIVER::RS232_SetTimeouts(const COMMTIMEOUTS& timeouts)
{
    m_Impl->timeouts = timeouts;
    return 1;
}

const char* INFOPORTDRIVER::RS232_LastErrorText() const
{
    return m_Impl->lastError.c_str();
}

bool INFOPORTDRIVER::RS232_DeviceLost() const
{
    return m_Impl->open && (!m_Impl->channel || m_Impl->channel->broken());
}

std::string INFOPORTDRIVER::RS232_PortAddress() const
{
    return m_Impl->address;
}

void INFOPORTDRIVER::RS232_ReleaseThread()
{
    if (m_Impl->channel)
        m_Impl->channel->releaseThread();
}

void INFOPORTDRIVER::RS232_SetGiveWay(std::function<bool(uint32_t arrivedSinceSet)> giveWay)
{
    m_Impl->giveWay = std::move(giveWay);
    m_Impl->arrivedSinceGiveWay = 0;
}

void INFOPORTDRIVER::restBeforeFrame(uint32_t restMs)
{
    const uint64_t rest = uint64_t{restMs} * 1000;
    const uint64_t rested = sinceLastExchange();
    if (rested < rest)
        tavrik::Wait(static_cast<uint32_t>((rest - rested + 999) / 1000));  // never a moment short
}

void INFOPORTDRIVER::noteExchangeEnd()
{
    m_Impl->lastExchangeEnd = tavrik::NowMicroseconds();
}

uint64_t INFOPORTDRIVER::sinceLastExchange() const
{
    const uint64_t now = tavrik::NowMicroseconds();
    return now > m_Impl->lastExchangeEnd ? now - m_Impl->lastExchangeEnd : 0;
}

// A read that has received part of what it asked for is never cut short.
bool INFOPORTDRIVER::givingWay(uint32_t receivedThisRead) const
{
    return receivedThisRead == 0 && m_Impl->giveWay && m_Impl->giveWay(m_Impl->arrivedSinceGiveWay);
}

// True when the open port can carry bytes now; notes a device that went away.
bool INFOPORTDRIVER::haveChannel()
{
    if (!m_Impl->open || !m_Impl->channel)
        return false;
    if (m_Impl->channel->broken()) {
        noteLoss();
        return false;
    }
    return true;
}

// Opens a lost port again before a new exchange starts. Reads never reopen:
// a reconnect may take seconds and an exchange makes many reads.
bool INFOPORTDRIVER::reopenIfLost()
{
    if (haveChannel())
        return true;
    if (!m_Impl->open)
        return false;
    m_Impl->channel.reset();
    tavrik::OpenOutcome outcome = tavrik::OpenTransport(m_Impl->address, m_Impl->baudRate);
    if (outcome.status != tavrik::OpenStatus::Opened || !outcome.transport) {
        m_Impl->lastError = outcome.message;
        return false;
    }
    m_Impl->channel = std::move(outcome.transport);
    m_Impl->lossReported = false;
    m_Impl->lastError.clear();
    return true;
}

// Tells the person once per loss; timeouts are the caller's to report.
void INFOPORTDRIVER::noteLoss()
{
    m_Impl->lastError = m_Impl->address
        + ": the device went away (unplugged or disconnected); "
          "the port is opened again on the next command";
    if (m_ShowError == 1 && !m_Impl->lossReported)
        tavrik::ReportError(m_Impl->lastError);
    m_Impl->lossReported = true;
}

void INFOPORTDRIVER::fail(const std::string& text)
{
    m_Impl->lastError = text;
    if (m_ShowError == 1)
        tavrik::ReportError(text);
}

namespace {

int ListPorts(uint8_t* storage, uint8_t** list, uint8_t* count, bool (*keep)(tavrik::PortState))
{
    uint8_t found = 0;
    for (const tavrik::PortEntry& entry : tavrik::PortTable::instance().entries()) {
        if (found < 255 && keep(tavrik::ProbePortState(entry.address)))
            storage[found++] = static_cast<uint8_t>(entry.number);
    }
    if (list)
        *list = storage;
    if (count)
        *count = found;
    return found != 0 ? 1 : 0;
}

bool IsPresent(tavrik::PortState state)
{
    return state == tavrik::PortState::Free || state == tavrik::PortState::InUse
        || state == tavrik::PortState::NoPermission;
}

bool IsInUse(tavrik::PortState state)
{
    return state == tavrik::PortState::InUse;
}

}  // namespace

int RS232_ScanPortExist(uint8_t** list, uint8_t* count, int /*rescan*/)
{
    static uint8_t present[255];
    return ListPorts(present, list, count, IsPresent);
}

int RS232_ScanPortOpen(uint8_t** list, uint8_t* count, int /*rescan*/)
{
    static uint8_t inUse[255];
    return ListPorts(inUse, list, count, IsInUse);
}
