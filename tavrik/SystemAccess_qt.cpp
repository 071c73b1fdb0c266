// SPDX-License-Identifier: GPL-3.0-or-later
// The system's ports as Qt SerialPort lists them, opened through Qt.
#include <QSerialPortInfo>

#include "tavrik/IoDeviceTransport.h"
#include "tavrik/SystemAccess.h"

namespace tavrik {

std::vector<SystemPort> ListSystemPorts()
{
    std::vector<SystemPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        QString description = info.description();
        if (!info.manufacturer().isEmpty() && !description.contains(info.manufacturer()))
            description = description.isEmpty() ? info.manufacturer() : description + " - " + info.manufacturer();
        ports.push_back({info.systemLocation().toStdString(), description.toStdString()});
    }
    return ports;
}

OpenOutcome OpenSystemTransport(const std::string& address, uint32_t baudRate)
{
    OpenOutcome outcome;
    outcome.transport =
        IsTcpAddress(address) ? MakeTcpTransport(address, outcome) : MakeSerialTransport(address, baudRate, outcome);
    return outcome;
}

}  // namespace tavrik
