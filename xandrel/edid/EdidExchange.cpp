// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/edid/EdidExchange.h"

#include <algorithm>
#include <cstdio>

#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/Wait.h"
#include "xandrel/device/TrafficLog.h"
#include "xandrel/edid/EdidCommands.h"

namespace xandrel {

EdidProgress::~EdidProgress() = default;
void EdidProgress::setRange(int, int)
{
}
void EdidProgress::setPosition(int)
{
}
bool EdidProgress::stopRequested()
{
    return false;
}
bool EdidProgress::pause(uint32_t milliseconds)
{
    tavrik::Wait(milliseconds);
    return true;
}

EdidCommandHost::~EdidCommandHost() = default;

void EdidCommandHost::commandStart()
{
    model().m_ErrorCode = INFODEVICEMATRIXBASE::kNoError;
}

void EdidCommandHost::busyEnd()
{
}

void EdidCommandHost::commandEnd()
{
    busyEnd();
}

}  // namespace xandrel

namespace {

using namespace xandrel::edid;

// The device gets this long to have a whole EDID ready after a read command.
constexpr uint32_t kReadPreparationMs = 5000;
constexpr int kCopySteps = 13;

// The copy's wait for the device: two tries a read, 1 ms apart, each try at
// most 150 ms + 2 ms (about 0.3 s an empty read), silent; and the settings
// the port is left with afterwards (its time-outs as they were).
constexpr uint8_t kCopyReadTimes = 2;
constexpr uint32_t kCopyReadInterval = 1;
constexpr uint32_t kCopyTryMs = 150;
constexpr uint8_t kReadTimesAfterCopy = 15;
constexpr uint32_t kReadIntervalAfterCopy = 300;

// Sets the port up for the copy's wait and puts it back on every way out.
class CopyWaitSettings {
public:
    explicit CopyWaitSettings(INFOPORTDRIVER& port)
        : port_(port)
    {
        port_.m_ReadTimes = kCopyReadTimes;
        port_.m_ReadInterval = kCopyReadInterval;
        port_.m_ShowError = 0;
        port_.RS232_GetTimeouts(saved_);
        COMMTIMEOUTS wait = saved_;
        wait.ReadTotalTimeoutConstant = std::min(wait.ReadTotalTimeoutConstant, kCopyTryMs);
        port_.RS232_SetTimeouts(wait);
    }
    ~CopyWaitSettings()
    {
        port_.RS232_SetTimeouts(saved_);
        port_.m_ReadTimes = kReadTimesAfterCopy;
        port_.m_ReadInterval = kReadIntervalAfterCopy;
        port_.m_ShowError = 1;
    }

private:
    INFOPORTDRIVER& port_;
    COMMTIMEOUTS saved_{};
};

bool WaitForCopyDone(INFOPORTDRIVER& port, xandrel::EdidProgress& progress)
{
    BYTE answer = 0;
    for (int emptyReads = 0; emptyReads < xandrel::kCopyWaitReads; ++emptyReads) {
        if (progress.stopRequested())
            return false;
        if (port.RS232_ReadBuf(&answer, 1) == 1) {
            xandrel::traffic::Received(&answer, 1, answer == kDone ? "copy done" : "not the end of the copy");
            return answer == kDone;
        }
        progress.setPosition(std::min(emptyReads + 1, kCopySteps - 1));
    }
    return false;
}

// Reads the device's done answer (B6) after an acknowledged frame.
bool ReadDone(INFOPORTDRIVER& port, const char* meaning)
{
    BYTE answer = 0;
    if (port.RS232_ReadBuf(&answer, 1) != 1) {
        xandrel::traffic::NoAnswer(std::string("no done answer (") + meaning + ")");
        return false;
    }
    xandrel::traffic::Received(&answer, 1, answer == kDone ? meaning : "not the done answer");
    return answer == kDone;
}

// The start of every exchange: the bar at 0 of `steps`; false when a stop
// was asked for before anything was sent.
bool Begin(xandrel::EdidProgress& progress, int steps)
{
    progress.setRange(0, steps);
    progress.setPosition(0);
    return !progress.stopRequested();
}

}  // namespace

bool EDID_DeviceCopy(xandrel::EdidCommandHost& host, xandrel::EdidProgress& progress, BYTE mode, BYTE target,
                     BYTE source)
{
    INFODEVICEMATRIXBASE& model = host.model();
    if (!Begin(progress, kCopySteps))
        return false;
    host.commandStart();
    model.BeginFrame(kCopyFrameLength, kCopyCode, {mode, target, source});
    // The device takes the copy with AA, then says it is done with B6.
    const bool acknowledged = model.DEVMA_CommandTransfer(nullptr, 0) == 1;
    bool done = false;
    if (model.m_PortDriver && model.m_PortDriver->RS232_IsOpen()) {
        CopyWaitSettings settings(*model.m_PortDriver);
        done = acknowledged && WaitForCopyDone(*model.m_PortDriver, progress);
    }
    if (done)
        progress.setPosition(kCopySteps);
    host.busyEnd();
    return done;
}

bool EDID_DeviceRead(xandrel::EdidCommandHost& host, xandrel::EdidImage& image, xandrel::EdidProgress& progress,
                     BYTE kind, BYTE number)
{
    INFODEVICEMATRIXBASE& model = host.model();
    if (!Begin(progress, static_cast<int>(xandrel::kEdidImageSize)))
        return false;
    host.commandStart();
    model.BeginFrame(kReadFrameLength, kReadCode, {kind, kWholeEdid, number});
    if (!model.DEVMA_CommandTransfer(nullptr, 0) || !progress.pause(kReadPreparationMs)) {
        host.busyEnd();
        return false;
    }
    xandrel::EdidImage received{};
    for (size_t index = 0; index < received.size(); ++index) {
        if (progress.stopRequested() || model.m_PortDriver->RS232_ReadBuf(&received[index], 1) != 1) {
            xandrel::traffic::Received(received.data(), static_cast<int>(index),
                                       "EDID image cut off after " + std::to_string(index) + " bytes");
            host.busyEnd();
            return false;
        }
        progress.setPosition(static_cast<int>(index));
    }
    xandrel::traffic::Received(received.data(), static_cast<int>(received.size()), "EDID image");
    image = received;
    progress.setPosition(static_cast<int>(xandrel::kEdidImageSize));
    host.commandEnd();
    return true;
}

bool EDID_DeviceWrite(xandrel::EdidCommandHost& host, const xandrel::EdidImage& image, xandrel::EdidProgress& progress,
                      BYTE number, BYTE kind, int* chunksSent)
{
    INFODEVICEMATRIXBASE& model = host.model();
    int sent = 0;
    if (!chunksSent)
        chunksSent = &sent;
    *chunksSent = 0;
    if (!Begin(progress, static_cast<int>(xandrel::kEdidImageSize)))
        return false;
    host.commandStart();
    for (int offset = 0; offset < static_cast<int>(image.size()); offset += kChunkSize) {
        if (progress.stopRequested()) {
            host.busyEnd();
            return false;
        }
        model.BeginFrame(kWriteFrameLength, kWriteCode, {kind});
        std::copy_n(image.begin() + offset, kChunkSize, model.m_Command + 8);
        model.m_Command[16] = static_cast<BYTE>(offset);
        model.m_Command[17] = number;
        // A chunk is written when the device acknowledges it (AA) and then
        // says it took it (B6).
        const bool taken = model.DEVMA_CommandTransfer(nullptr, 0) && ReadDone(*model.m_PortDriver, "chunk taken");
        if (model.m_ErrorCode != INFODEVICEMATRIXBASE::kPortNotOpen)
            ++*chunksSent;  // out on the line, whether or not the device said it took it
        if (!taken) {
            host.busyEnd();
            return false;
        }
        progress.setPosition(offset);
    }
    progress.setPosition(static_cast<int>(xandrel::kEdidImageSize));
    host.commandEnd();
    return true;
}

namespace xandrel {

std::optional<EdidIdentity> EDID_IdentityProbe(INFODEVICEMATRIXBASE& model, BYTE input)
{
    model.BeginFrame(kReadFrameLength, kReadCode, {kReadInput, kIdentityProbe, input});
    BYTE reply[8] = {};
    if (!model.DEVMA_CommandTransfer(reply, sizeof reply))
        return std::nullopt;
    return EdidIdentity{{reply[1], reply[2]}, {reply[3], reply[4]}};
}

std::string ManufacturerLine(int input, const std::optional<EdidIdentity>& identity)
{
    char line[96];
    if (!identity) {
        std::snprintf(line, sizeof line, "Input%d Manufacturer ID: Unknow!\r\n", input);
        return line;
    }
    std::snprintf(line, sizeof line, "%02X%02X\r\n", identity->product[1], identity->product[0]);
    return "Input" + std::to_string(input)
        + " Manufacturer ID: " + EdidManufacturerLetters(identity->manufacturer[0], identity->manufacturer[1]) + line;
}

std::string InputManufacturerReport(INFODEVICEMATRIXBASE& model)
{
    std::string report;
    for (BYTE input = 1; input <= 8; ++input)
        report += ManufacturerLine(input, EDID_IdentityProbe(model, input));
    return report;
}

}  // namespace xandrel
