// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three EDID exchanges with the device (copy inside the device, read to
// the computer, write from the computer) and the identity probe of an input.
// They talk through the model's command frame and port driver; what they need
// of a window (busy cursor, the refresh and error report after a command,
// a progress bar) comes through the two interfaces below.
#include <array>
#include <optional>
#include <string>

#include "xandrel/XandrelExport.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/edid/EdidFile.h"

namespace xandrel {

// Where an exchange shows how far it has come, and learns whether to go on.
class XANDREL_EXPORT EdidProgress {
public:
    virtual ~EdidProgress();
    virtual void setRange(int minimum, int maximum);
    virtual void setPosition(int position);
    // True once the person asked the exchange to stop: it ends before its
    // next frame (never inside one). By default nobody can ask.
    virtual bool stopRequested();
    // The exchange's long pauses; false when a stop cut the pause short. By
    // default the whole time through the system's wait.
    virtual bool pause(uint32_t milliseconds);
};

// What an exchange asks of its host around the device command.
class XANDREL_EXPORT EdidCommandHost {
public:
    virtual ~EdidCommandHost();
    virtual INFODEVICEMATRIXBASE& model() = 0;
    // Busy cursor on; the model's error code cleared.
    virtual void commandStart();
    // Busy cursor off, nothing more: a copy, and every failed exchange.
    virtual void busyEnd();
    // After a completed read or write: the window's refresh and its report of
    // the model's error code; ends the busy cursor.
    virtual void commandEnd();
};

// A host with no window: it clears the error code and nothing else.
class XANDREL_EXPORT PlainEdidHost : public EdidCommandHost {
public:
    explicit PlainEdidHost(INFODEVICEMATRIXBASE& model)
        : model_(model)
    {
    }
    INFODEVICEMATRIXBASE& model() override { return model_; }

private:
    INFODEVICEMATRIXBASE& model_;
};

// How many empty single-byte reads a copy waits through for the device to
// say it is done. Each such read makes two tries at the port's time-outs
// (about 0.3 s with the driver's defaults), so the copy gives up after about
// 9 s; the progress bar fills over the first 12 of them.
inline constexpr int kCopyWaitReads = 30;

}  // namespace xandrel

// Each exchange below ends early, and fails, when its progress says stop:
// before its command, between two frames or reads, or during its pauses.

// Copies an EDID inside the device: mode 1 output -> memory slot, 2 output ->
// input(s), 3 input -> memory slot, 4 memory slot -> input(s). True when the
// device reports the copy done (B6). The port's read settings are 15, 300 and
// 1 (m_ReadTimes, m_ReadInterval, m_ShowError) afterwards, whatever happened.
XANDREL_EXPORT bool EDID_DeviceCopy(xandrel::EdidCommandHost& host, xandrel::EdidProgress& progress, BYTE mode,
                                    BYTE target, BYTE source);

// Reads the whole EDID of an input (kind A5) or a memory slot (kind A1) into
// `image`. The device is given 5 s to make it ready; then its 256 bytes are
// read one at a time. The read stops and fails at the first byte that does
// not arrive, and `image` is only replaced when all 256 came.
XANDREL_EXPORT bool EDID_DeviceRead(xandrel::EdidCommandHost& host, xandrel::EdidImage& image,
                                    xandrel::EdidProgress& progress, BYTE kind, BYTE number);

// Writes `image` to an input (kind A6) or a memory slot (kind A2) in 32 chunks
// of 8 bytes; every chunk must be answered with B6, and the first that is not
// ends the write. `chunksSent`, when given, counts the chunks that went out on
// the line: a write that failed with some sent has changed the EDID part-way.
XANDREL_EXPORT bool EDID_DeviceWrite(xandrel::EdidCommandHost& host, const xandrel::EdidImage& image,
                                     xandrel::EdidProgress& progress, BYTE number, BYTE kind,
                                     int* chunksSent = nullptr);

namespace xandrel {

// The identity of an input's EDID: its manufacturer ID (EDID bytes 8, 9) and
// product code (bytes 10, 11).
struct EdidIdentity {
    BYTE manufacturer[2];
    BYTE product[2];
};

// One identity probe of `input` (no bracket of its own); empty on failure.
XANDREL_EXPORT std::optional<EdidIdentity> EDID_IdentityProbe(INFODEVICEMATRIXBASE& model, BYTE input);

// The manufacturer report of inputs 1 to 8 (always eight), one probe each:
// "Input%d Manufacturer ID: " with the three letters and the product code
// "%02X%02X" (high byte first), or "Unknow!", each line ended by CR LF. The
// caller brackets it.
XANDREL_EXPORT std::string InputManufacturerReport(INFODEVICEMATRIXBASE& model);

// One line of that report.
XANDREL_EXPORT std::string ManufacturerLine(int input, const std::optional<EdidIdentity>& identity);

}  // namespace xandrel
