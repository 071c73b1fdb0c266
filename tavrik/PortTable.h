// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "tavrik/TavrikExport.h"

namespace tavrik {

// The system addresses ports by COM number (1-255). The port table gives every
// port of this computer a stable number: on Windows COMn is n; elsewhere
//   /dev/ttyS<k>   -> k + 1    (k < 16)
//   /dev/ttyUSB<k> -> k + 17   (k < 32)
//   /dev/ttyACM<k> -> k + 49   (k < 32)
// and every other port the first free number from 81 up, in name order.
// The pin file (data/ports.dat, or the file named by $QUELLIX_PORTS) fixes
// numbers and adds ports no listing shows, one per line:
//   # comment
//   20 = /dev/pts/4
//   COM21 = tcp://192.168.1.50:4001
// Only the first kPinFileLimit bytes of a regular file are read; an entry
// whose path holds a control character is skipped. Each such problem is told
// once on stderr, with the file and line.
struct PortEntry {
    int number = 0;
    std::string address;      // system path or tcp://host:port
    std::string description;  // what the system says of the port, or where the entry came from
    bool listed = false;      // the system lists it (otherwise pinned or added for this run)
};

struct SystemPort {
    std::string path;
    std::string description;
};
using PortLister = std::function<std::vector<SystemPort>()>;

enum class PortState {
    Free,
    InUse,
    NoPermission,
    Unavailable,
    Absent
};

// "free", "in use", "no permission", "unavailable", "absent".
TAVRIK_EXPORT const char* PortStateName(PortState state);

// Tries the port the way opening does and closes it again. TCP addresses are
// not connected to (a device server may take one client only): they count as free.
TAVRIK_EXPORT PortState ProbePortState(const std::string& address);

class TAVRIK_EXPORT PortTable {
public:
    static constexpr int kFirstExtraNumber = 81;
    static constexpr int kLastNumber = 255;
    static constexpr size_t kPinFileLimit = 1024 * 1024;

    static PortTable& instance();

    void setPinFile(const std::string& path);
    std::string pinFile() const;

    // Replaces the system listing (tests); returns the lister it replaces.
    // An empty lister restores the system's.
    PortLister setLister(PortLister lister);

    // Every known port, ascending by number, read afresh.
    std::vector<PortEntry> entries();

    // The address of a COM number, or "" when no port has it. A number given
    // for this run or pinned is answered without listing the system's ports.
    std::string addressOf(int number);

    // The number of an address; an address the table lacks is added for the
    // rest of the run under the first free number. 0 when all are taken.
    int numberOf(const std::string& address);

    // The number of an address as numberOf() gives it, without listing the
    // system's ports: its number for this run or its pinned one, else the
    // number its name fixes (/dev/ttyUSB0: 17) when no pin holds that. An
    // address with none of these is added for the rest of the run under the
    // first number from 81 that no pin or run-time addition holds (a listed
    // port with that number is hidden for the run) and `lasting` is false:
    // the number names the port for this run only. 0 when all are taken.
    int numberWithoutListing(const std::string& address, bool& lasting);

    // Gives an address a number for the rest of the run (as a pin would).
    // False for numbers outside 1-255.
    bool assign(int number, const std::string& address);

    // Drops what numberOf() and assign() added.
    void forgetRunTimeAdditions();

private:
    PortTable();
    std::vector<PortEntry> build() const;
    std::map<int, std::string> readPins() const;  // the pin file, each problem told once
    int addForThisRun(const std::string& address, const std::set<int>& taken);

    mutable std::mutex mutex_;
    std::string pinFile_;
    PortLister lister_;
    std::map<int, std::string> runTimeAdditions_;
    mutable std::set<std::string> reported_;  // the pin file's problems told so far
};

// How a person sees a COM number: "COM3" on Windows, "COM17 (/dev/ttyUSB0)"
// elsewhere, so the system path is always in sight.
TAVRIK_EXPORT std::string PortLabel(int number);

// How a person gets the right to open serial ports: on Linux membership of
// the group that owns the device file (`path`, or the usual serial devices
// when empty), e.g. "Add yourself to the 'dialout' group (sudo usermod -aG
// dialout $USER), then log in again."; empty where no such rule exists.
TAVRIK_EXPORT std::string SerialAccessHint(const std::string& path = {});

// Reads a COM number from "3", "COM3" or "com3"; 0 if it is none of these or
// outside 1-255.
TAVRIK_EXPORT int ParsePortNumber(const std::string& text);

// The COM number of a port as a person types it: a COM number ("COM3", "3"),
// a system path ("/dev/ttyUSB0", also a link such as /dev/serial/by-id/...),
// a bare device name ("ttyUSB0") or "tcp://host:port". A path or address the
// table lacks is added for the rest of the run. 0 when the text names no
// port, with `problem` saying so: what was typed, the ports present, and how
// to pin one.
TAVRIK_EXPORT int ResolvePort(const std::string& text, std::string& problem);

// A port as typed, ready to open by its number.
struct LocatedPort {
    int number = 0;        // 0: the text names no port
    std::string address;   // the system path or tcp://host:port
    bool lasting = false;  // the number is the port's own, not one for this run only
};

// What ResolvePort() does, but a path, a device name or tcp://host:port is
// numbered without listing the system's ports (see numberWithoutListing()),
// as a program that opens one port it was told need not know the others.
// Only a COM number not pinned, or text that names no port (for the message),
// lists them.
TAVRIK_EXPORT LocatedPort LocatePort(const std::string& text, std::string& problem);

}  // namespace tavrik
