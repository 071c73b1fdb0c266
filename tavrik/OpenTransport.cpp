// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrik/Replaceable.h"
#include "tavrik/SystemAccess.h"

namespace tavrik {

Transport::~Transport() = default;

void Transport::releaseThread()
{
}

namespace {

Replaceable<TransportOpener>& CurrentOpener()
{
    static Replaceable<TransportOpener> opener{TransportOpener(OpenSystemTransport)};
    return opener;
}

}  // namespace

bool IsTcpAddress(const std::string& address)
{
    return address.rfind("tcp://", 0) == 0;
}

OpenOutcome OpenTransport(const std::string& address, uint32_t baudRate)
{
    return CurrentOpener().get()(address, baudRate);
}

TransportOpener SetTransportOpener(TransportOpener opener)
{
    return CurrentOpener().replace(std::move(opener));
}

}  // namespace tavrik
