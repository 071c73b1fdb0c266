// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Serial ports and TCP device servers through POSIX calls alone, for a
// program that must not load Qt. They behave as the Qt transports do: the
// same time-outs, open statuses and messages, and a serial port held by a Qt
// program is in use to them and the reverse.
#include <cstdint>
#include <memory>
#include <string>

#include "tavrik/TavrikExport.h"
#include "tavrik/Transport.h"

namespace tavrik {

// A serial port (or pseudo-terminal) at 8N1 without flow control. Null on
// failure, with `outcome` saying why.
TAVRIK_EXPORT std::unique_ptr<Transport> MakePosixSerialTransport(const std::string& path, uint32_t baudRate,
                                                                  OpenOutcome& outcome);

// "tcp://host:port[?token=SECRET]". Null on failure, with `outcome` saying why.
TAVRIK_EXPORT std::unique_ptr<Transport> MakePosixTcpTransport(const std::string& address, OpenOutcome& outcome);

// Opens either by the address (a TransportOpener).
TAVRIK_EXPORT OpenOutcome OpenPosixTransport(const std::string& address, uint32_t baudRate);

}  // namespace tavrik
