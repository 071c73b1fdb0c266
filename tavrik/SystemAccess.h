// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the port library asks of the system: the serial ports it lists and
// how an address is opened. Tavrik answers on Qt (SystemAccess_qt.cpp); a
// program that loads no Qt links answers of its own in their place.
#include <cstdint>
#include <string>
#include <vector>

#include "tavrik/PortTable.h"
#include "tavrik/Transport.h"

namespace tavrik {

// The serial ports the system lists now.
std::vector<SystemPort> ListSystemPorts();

// Opens a system path or a tcp:// address.
OpenOutcome OpenSystemTransport(const std::string& address, uint32_t baudRate);

}  // namespace tavrik
