// SPDX-License-Identifier: GPL-3.0-or-later
#include "LauncherSystem.h"

#include <map>
#include <mutex>

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

// The traffic log without Qt's logging: its lines go straight to whoever
// listens (--trace), and it is on while anyone does.
namespace {

struct Listeners {
    std::mutex mutex;
    std::map<int, Listening::Listener> byId;
    int nextId = 1;
};

Listeners& TheListeners()
{
    static Listeners listeners;
    return listeners;
}

}  // namespace

bool Enabled()
{
    Listeners& listeners = TheListeners();
    std::lock_guard lock(listeners.mutex);
    return !listeners.byId.empty();
}

void Enable(bool)
{
}

void Log(const std::string& what, const std::string& hex, const std::string& meaning)
{
    Listeners& listeners = TheListeners();
    std::lock_guard lock(listeners.mutex);
    for (const auto& [id, listener] : listeners.byId)
        listener(Line{what, hex, meaning});
}

Listening::Listening(Listener listener)
{
    Listeners& listeners = TheListeners();
    std::lock_guard lock(listeners.mutex);
    id_ = listeners.nextId++;
    listeners.byId.emplace(id_, std::move(listener));
}

Listening::~Listening()
{
    Listeners& listeners = TheListeners();
    std::lock_guard lock(listeners.mutex);
    listeners.byId.erase(id_);
}

}  // namespace xandrel::traffic
