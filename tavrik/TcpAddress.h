// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Private to Tavrik: the parts of a "tcp://" port address, shared by the Qt
// and the POSIX TCP transports so both read an address alike.
#include <cstdint>
#include <string>

#include "tavrik/Transport.h"

namespace tavrik {

// How long opening waits for a device server to accept the connection.
constexpr int kTcpConnectTimeoutMs = 3000;

struct TcpAddress {
    std::string host;   // name or address, IPv6 without its brackets
    uint16_t port = 0;  // 1-65535
    std::string token;  // sent first as "AUTH token" when not empty
};

// Reads "tcp://host:port" or "tcp://host:port?token=SECRET". False when the
// text is not such an address (no host, a port outside 1-65535, an empty
// token or another parameter), with `outcome` saying so as opening does.
bool ParseTcpAddress(const std::string& address, TcpAddress& parsed, OpenOutcome& outcome);

// The first line a token-guarded server expects: "AUTH SECRET\n".
std::string AuthLine(const std::string& token);

}  // namespace tavrik
