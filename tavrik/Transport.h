// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "tavrik/TavrikExport.h"

namespace tavrik {

// A byte channel to one device: a serial port, a TCP connection to a serial
// device server, or a fake in tests. The port driver builds its read tries,
// time-outs and failure reporting on top of it.
class TAVRIK_EXPORT Transport {
public:
    virtual ~Transport();

    // Sends all bytes within the time-out; false if not all were sent.
    virtual bool write(const uint8_t* data, size_t size, uint32_t timeoutMs) = 0;

    // Reads up to `size` bytes, waiting at most `timeoutMs` for them to arrive.
    // Returns how many bytes were read (fewer on time-out or failure).
    virtual size_t read(uint8_t* data, size_t size, uint32_t timeoutMs) = 0;

    // Drops every received byte not read yet.
    virtual void discardInput() = 0;

    // True once the device has gone away (adapter unplugged, connection
    // closed): the driver drops the channel and opens the port afresh before
    // its next exchange.
    virtual bool broken() const = 0;

    // Lets another thread use the channel next. Qt's serial and network
    // objects serve one thread at a time: the thread that used them lets them
    // go, and the next thread that reads or writes takes them. Does nothing
    // when called on a thread that does not hold them.
    virtual void releaseThread();
};

enum class OpenStatus {
    Opened,
    NotFound,
    InUse,
    NoPermission,
    Failed
};

struct OpenOutcome {
    OpenStatus status = OpenStatus::Failed;
    std::string message;  // one line a person understands; empty when opened
    std::unique_ptr<Transport> transport;
};

// Opens the channel for a port address: a system path ("/dev/ttyUSB0",
// "COM3", "/dev/pts/4") or "tcp://host:port".
using TransportOpener = std::function<OpenOutcome(const std::string& address, uint32_t baudRate)>;

TAVRIK_EXPORT OpenOutcome OpenTransport(const std::string& address, uint32_t baudRate);

// Replaces how addresses are opened (tests plug in scripted devices) and
// returns the opener it replaces; an empty opener restores the real one.
TAVRIK_EXPORT TransportOpener SetTransportOpener(TransportOpener opener);

// True for "tcp://host:port" addresses.
TAVRIK_EXPORT bool IsTcpAddress(const std::string& address);

}  // namespace tavrik
