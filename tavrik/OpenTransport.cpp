// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrik/IoDeviceTransport.h"
#include "tavrik/Replaceable.h"

namespace tavrik {
namespace {

OpenOutcome OpenSystemTransport(const std::string& address, uint32_t baudRate)
{
    OpenOutcome outcome;
    outcome.transport =
        IsTcpAddress(address) ? MakeTcpTransport(address, outcome) : MakeSerialTransport(address, baudRate, outcome);
    return outcome;
}

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
