// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "tavrik/TavrikExport.h"

#if defined(_WIN32)
#include <windows.h>
#else
// The five time-outs of a serial port in milliseconds, as Windows lays them out.
typedef struct _COMMTIMEOUTS {
    uint32_t ReadIntervalTimeout;
    uint32_t ReadTotalTimeoutMultiplier;
    uint32_t ReadTotalTimeoutConstant;
    uint32_t WriteTotalTimeoutMultiplier;
    uint32_t WriteTotalTimeoutConstant;
} COMMTIMEOUTS;
#endif

// Results of RS232_OpenPort. Callers that only test for 1 keep working; the
// negative values tell the reasons apart, RS232_LastErrorText() words them.
enum : int {
    RS232_OPEN_OK = 1,
    RS232_OPEN_FAILED = 0,
    RS232_OPEN_NOT_FOUND = -1,
    RS232_OPEN_IN_USE = -2,
    RS232_OPEN_NO_PERMISSION = -3,
};

// The serial port driver: one port at a time, addressed by its COM number
// through the port table (tavrik/PortTable.h).
//
// Reads follow the read settings: RS232_ReadBuf makes m_ReadTimes tries (at
// least one), pausing m_ReadInterval ms between them; each try waits for the
// missing bytes at most ReadTotalTimeoutConstant + ReadTotalTimeoutMultiplier
// x (bytes asked for) ms. A try with both fields 0 takes only what has already
// arrived (it never waits without end). ReadIntervalTimeout is kept but not used.
//
// When the device goes away while the port is open (adapter unplugged, device
// server closed the connection) the port stays open for its user: the next
// write opens it afresh, so the next command works once the device is back.
class TAVRIK_EXPORT INFOPORTDRIVER {
public:
    INFOPORTDRIVER();
    ~INFOPORTDRIVER();
    INFOPORTDRIVER(const INFOPORTDRIVER&) = delete;
    INFOPORTDRIVER& operator=(const INFOPORTDRIVER&) = delete;

    // Opens COM `portNumber` (replacing a port already open) at `baudRate`,
    // 8 data bits, no parity, one stop bit. 1 when open, else one of the
    // RS232_OPEN_* failures. The number is kept for GetPortNumber() either way.
    int RS232_OpenPort(int portNumber, uint32_t baudRate);
    // Closes the port; always 1.
    int RS232_ClosePort();
    // 1 while a port is open, else 0.
    int RS232_IsOpen() const;
    int GetIsOpen() const;
    // The COM number last given to RS232_OpenPort (1 before any).
    int GetPortNumber() const;
    // 1 when all `count` bytes were sent within the write time-out.
    int RS232_WriteBuf(const uint8_t* buffer, uint32_t count);
    // 1 when exactly `count` bytes arrived within the read settings; the bytes
    // that did arrive are in `buffer` either way.
    int RS232_ReadBuf(uint8_t* buffer, uint32_t count);
    // Drops every received byte not read yet; always 1.
    int RS232_EraserReadBuffer();
    // Read and replace the time-outs; always 1.
    int RS232_GetTimeouts(COMMTIMEOUTS& timeouts) const;
    int RS232_SetTimeouts(const COMMTIMEOUTS& timeouts);

    // Why the last open failed or the device was lost; "" when nothing failed.
    const char* RS232_LastErrorText() const;
    // True while the port is open but its device has gone away (the next
    // write opens it afresh).
    bool RS232_DeviceLost() const;
    // The system path or tcp:// address of the open port; "" when closed.
    std::string RS232_PortAddress() const;

    // Lets another thread use the port next: a thread that has finished using
    // the port calls it, and the next thread that reads or writes takes the
    // port over (the serial and network objects behind it serve one thread at
    // a time). Does nothing on a thread that does not hold the port.
    void RS232_ReleaseThread();

    // While set, a read that has received nothing yet ends early (as a
    // time-out does) between two of its tries when `giveWay` returns true;
    // the first try always takes what has already arrived. `giveWay` is told
    // how many bytes have arrived since it was set, so the device poll can
    // let a message that has begun arrive whole while a waiting command makes
    // it give way, and a stop can end an exchange that waits in vain. An
    // empty function clears it.
    void RS232_SetGiveWay(std::function<bool(uint32_t arrivedSinceSet)> giveWay);

    // The line's rest: a device needs `restMs` between the end of one
    // exchange and the next frame. Waits (through tavrik::Wait) only for what
    // is left of it since the last exchange ended; a port opened afresh
    // counts as just used, since another program may have used it a moment
    // ago.
    void restBeforeFrame(uint32_t restMs);
    // Marks the end of an exchange (its last byte read, or its wait run out).
    // A read that receives bytes marks it too, so an event message counts.
    void noteExchangeEnd();
    // Microseconds since the last exchange ended.
    uint64_t sinceLastExchange() const;

    uint8_t m_ReadTimes;
    uint32_t m_ReadInterval;
    int32_t m_ShowError;
    char m_NotReadyText[100];
    char m_NoFeedbackText[100];

private:
    struct Impl;
    bool haveChannel();
    bool reopenIfLost();
    bool givingWay(uint32_t receivedThisRead) const;
    void noteLoss();
    void fail(const std::string& text);

    std::unique_ptr<Impl> m_Impl;
};

// The system uses the driver object as its serial port.
using INFORS232PORT = INFOPORTDRIVER;

// The COM numbers of the ports present on this computer, ascending, in a list
// the library keeps until the next call; 1 if there is any. `rescan` is
// accepted for callers that pass it; every call looks afresh.
TAVRIK_EXPORT int RS232_ScanPortExist(uint8_t** list, uint8_t* count, int rescan);

// The present ports that another program holds open, ascending, likewise.
TAVRIK_EXPORT int RS232_ScanPortOpen(uint8_t** list, uint8_t* count, int rescan);
