// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the daemon knows of a device, and how a request on it ended.
#include <QString>

#include <vector>

namespace quellixd {

// "offline": the port cannot be opened; "silent": open, but the device gave
// no valid answer to the last exchange; "online": it did.
enum class Connection {
    Offline,
    Silent,
    Online
};
const char* ConnectionName(Connection connection);

struct DeviceState {
    Connection connection = Connection::Offline;
    QString problem;           // why offline or silent
    std::vector<int> routing;  // per output, the input routed to it
    std::vector<int> signals;  // per input, 1 = signal present
    bool routingKnown = false;
    bool signalsKnown = false;

    bool operator==(const DeviceState&) const = default;
};

// An HTTP-level outcome of a request: 200, or a failure with its status
// and reason. `unknown` tells a write that may or may not have reached the
// device.
struct Outcome {
    int status = 200;
    QString error;
    bool unknown = false;
};

}  // namespace quellixd
