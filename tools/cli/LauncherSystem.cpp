// SPDX-License-Identifier: GPL-3.0-or-later
#include "LauncherSystem.h"

#include "tavrik/PosixTransports.h"
#include "tavrik/SystemAccess.h"
#include "xandrel/device/TrafficLog.h"

namespace tavrik {

// Listing the system's ports needs Qt SerialPort, which the launcher does
// not load: the command is left to the full program.
std::vector<SystemPort> ListSystemPorts()
{
    throw quellix::cli::PortListingNeeded{};
}

OpenOutcome OpenSystemTransport(const std::string& address, uint32_t baudRate)
{
    return OpenPosixTransport(address, baudRate);
}

}  // namespace tavrik

namespace xandrel::traffic {

bool Enabled()
{
    return false;
}

void Enable(bool)
{
}

void Log(const std::string&, const std::string&, const std::string&)
{
}

Listening::Listening(Listener)
    : id_(0)
{
}

Listening::~Listening() = default;

}  // namespace xandrel::traffic
