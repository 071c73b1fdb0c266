// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "xandrel/XandrelExport.h"

class INFOPORTDRIVER;
using BYTE = uint8_t;

namespace xandrel {
struct ModelSpec;
}

// The base of every device model: the model's identity, the last state the
// device confirmed, and the serial command protocol.
//
// A command is one frame of L bytes (8 <= L <= 40):
//   [L][4-byte model header][device ID][code][payload: L - 8 bytes][checksum]
// where the checksum is the sum of all bytes before it, modulo 256. The device
// accepts a frame with the byte AA followed by a reply body whose length the
// command fixes. Every operation returns 1 for success and 0 for failure and
// leaves the reason in m_ErrorCode: 2 no valid answer, 4 port not open.
//
// Copies share their two state arrays (a copy sees the other's routing and
// signals); the arrays live as long as the last copy.
class XANDREL_EXPORT INFODEVICEMATRIXBASE {
public:
    INFODEVICEMATRIXBASE();
    INFODEVICEMATRIXBASE(const INFODEVICEMATRIXBASE&);
    INFODEVICEMATRIXBASE& operator=(const INFODEVICEMATRIXBASE&);

    // The order of these operations is the order of the virtual table.
    virtual int DEVMA_CommandStart();
    virtual int DEVMA_CommandEnd();
    virtual int DEVMA_CommandTransfer(BYTE* reply, BYTE replyLength);
    virtual BYTE DEVMA_CommandCheckSum(const BYTE* data, BYTE length);
    virtual int DEVMA_SetPortDriver(INFOPORTDRIVER* portDriver);
    virtual int DEVMA_SetVideoOutputChannel(const BYTE* routing);
    virtual int DEVMA_GetVideoOutputChannel();
    virtual int DEVMA_GetVideoInputSignal();
    virtual int DEVMA_SetDeviceID(BYTE newID);
    virtual int DEVMA_GetDeviceID();
    virtual int DEVMA_SetAudioOutputChannel(const BYTE* routing);
    virtual int DEVMA_GetAudioInputSignal();
    virtual int DEVMA_GetAudioOutputChannel();
    virtual int DEVMA_GetFirmwareString(BYTE* buffer, BYTE length);
    virtual int DEVMA_GetMachineModeHeader();
    virtual int DEVMA_SetVideoChannel(BYTE input, BYTE output);
    virtual int DEVMA_SetAudioChannel(BYTE input, BYTE output);
    virtual int DEVMA_GetEventMessage();
    virtual int DEVMA_GetDeviceAllStatus();
    virtual int DEVMA_ScanPort(BYTE** portList, BYTE* portCount);
    virtual int DEVMA_ScanPortDeviceID(BYTE portNumber, BYTE** portList, BYTE* portCount);
    virtual ~INFODEVICEMATRIXBASE();

    BYTE m_InputNumber;
    BYTE m_OutputNumber;
    BYTE m_InputPortNumber;
    BYTE m_OutputPortNumber;
    uint32_t m_BaudRate;
    BYTE m_DeviceID;
    BYTE m_MachineModeHeader[4];
    std::shared_ptr<BYTE[]> m_VideoOutputChannel;    // per output: the 1-based input routed to it
    std::shared_ptr<uint32_t[]> m_VideoInputSignal;  // per input: 1 = signal present
    INFOPORTDRIVER* m_PortDriver;
    BYTE m_EventType;
    BYTE m_RetryTimes;
    BYTE m_ErrorCode;
    BYTE m_Command[40];
    BYTE m_CommandLength;

    // Command codes and frame limits of the protocol.
    static constexpr BYTE kReadRouting = 0x01;
    static constexpr BYTE kWriteRouting = 0x02;
    static constexpr BYTE kReadSignals = 0x03;
    static constexpr BYTE kReadDeviceID = 0x04;
    static constexpr BYTE kWriteDeviceID = 0x05;
    static constexpr BYTE kAcknowledge = 0xAA;
    static constexpr BYTE kBroadcastID = 255;
    static constexpr BYTE kMinFrameLength = 8;
    static constexpr BYTE kMaxFrameLength = 40;
    static constexpr uint32_t kPacingMs = 200;

    // Failure reasons kept in m_ErrorCode.
    static constexpr BYTE kNoError = 0;
    static constexpr BYTE kNoValidAnswer = 2;
    static constexpr BYTE kPortNotOpen = 4;

    // Clears m_Command and puts in the length, the code and the payload; the
    // transfer adds the header, the device ID and the checksum.
    void BeginFrame(BYTE length, BYTE code, std::initializer_list<BYTE> payload = {});
    // Completes the frame begun in m_Command as a transfer would (header,
    // device ID, checksum) and returns it without sending it, for a host that
    // carries frames itself; empty when its length is outside 8-40.
    std::vector<BYTE> PreparedFrame();

    // Why the last routing or signal answer was refused ("output 1: input
    // 170, but the device has 8 inputs"); empty when it was taken. A refused
    // answer fails like one that never came and changes no state.
    const std::string& LastAnswerProblem() const { return answerProblem_; }

protected:
    explicit INFODEVICEMATRIXBASE(const xandrel::ModelSpec& model);

    bool PortIsOpen() const;

    // The two full refreshes the families share.
    int RefreshSignalsThenRouting();
    int RefreshRoutingOnly();

    // Sends `routing` as code 02 in a frame of `length` bytes (payload one byte
    // per output, the rest zero) and reads `replyLength` body bytes.
    int SendRouting(const BYTE* routing, BYTE length, BYTE replyLength);
    // Reads the device ID with the frame carrying m_DeviceID as it is.
    int QueryDeviceID();

private:
    bool CompleteFrame();
    bool TryOnce(BYTE* reply, BYTE replyLength);
    bool TakeEventBeforeAnswer(BYTE first);
    void TakeEventBody(const BYTE* message, BYTE length);
    std::string EventDropReason(const BYTE* message, BYTE length) const;
    bool EntriesAreValid(const BYTE* entries, bool routing);
    std::string answerProblem_;
};
