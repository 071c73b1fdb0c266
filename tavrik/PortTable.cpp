// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrik/PortTable.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string_view>

#include "tavrik/SystemAccess.h"
#include "tavrik/Transport.h"

#if defined(__linux__)
#include <grp.h>
#include <sys/stat.h>
#endif

namespace tavrik {
namespace {

constexpr const char* kDefaultPinFile = "data/ports.dat";

// The number of up to three digits that follow `prefix` (letter case aside)
// and end `path`; -1 when `path` is not that.
int IndexAfter(const std::string& path, std::string_view prefix)
{
    if (path.size() <= prefix.size() || path.size() - prefix.size() > 3)
        return -1;
    const auto sameLetter = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    if (!std::equal(prefix.begin(), prefix.end(), path.begin(), sameLetter))
        return -1;
    int index = 0;
    for (size_t k = prefix.size(); k < path.size(); ++k) {
        if (!std::isdigit(static_cast<unsigned char>(path[k])))
            return -1;
        index = index * 10 + (path[k] - '0');
    }
    return index;
}

// The fixed number a system path takes by its name, 0 when its name fixes none.
// Plain comparisons, not regular expressions: the table is built from every
// port the system lists, dozens of them, each tried on every family.
int ConventionalNumber(const std::string& path)
{
    struct Family {
        std::string_view prefix;
        int first;
        int count;
    };
    static constexpr Family families[] = {
        {"COM", 0, 256}, {R"(\\.\COM)", 0, 256}, {"/dev/ttyS", 1, 16}, {"/dev/ttyUSB", 17, 32}, {"/dev/ttyACM", 49, 32},
    };
    for (const Family& family : families) {
        const int index = IndexAfter(path, family.prefix);
        if (index >= 0 && index < family.count) {
            const int number = family.first + index;
            return number >= 1 && number <= PortTable::kLastNumber ? number : 0;
        }
    }
    return 0;
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

using Warn = std::function<void(const std::string& line)>;

// The pin file's text: at most kPinFileLimit bytes of it, cut back to its
// last whole line. A missing file pins nothing; a FIFO or device is not read,
// as reading it may never end.
std::string ReadPinText(const std::string& path, const Warn& warn)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status))
        return {};
    if (!std::filesystem::is_regular_file(status)) {
        warn(path + ": not a regular file; no ports are pinned from it");
        return {};
    }
    std::ifstream file(path, std::ios::binary);
    std::string text(PortTable::kPinFileLimit + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));
    if (text.size() > PortTable::kPinFileLimit) {
        text.resize(text.rfind('\n', PortTable::kPinFileLimit - 1) + 1);  // npos + 1: nothing
        warn(path + ": larger than 1 MiB; everything after its first " + std::to_string(text.size())
             + " bytes is ignored");
    }
    return text;
}

bool HoldsControlCharacter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

std::map<int, std::string> ReadPinFile(const std::string& path, const Warn& warn)
{
    std::map<int, std::string> pins;
    std::istringstream lines(ReadPinText(path, warn));
    std::string line;
    for (int lineNumber = 1; std::getline(lines, line); ++lineNumber) {
        line = Trim(line);
        const auto equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos)
            continue;
        const int number = ParsePortNumber(Trim(line.substr(0, equals)));
        const std::string address = Trim(line.substr(equals + 1));
        if (HoldsControlCharacter(address)) {
            warn(path + " line " + std::to_string(lineNumber)
                 + ": the path holds a control character; the entry is skipped");
            continue;
        }
        if (number != 0 && !address.empty())
            pins.emplace(number, address);  // the first line for a number wins
    }
    return pins;
}

class TableBuilder {
public:
    void add(int number, const std::string& address, const std::string& description, bool listed)
    {
        if (byNumber_.count(number) || addresses_.count(address))
            return;
        byNumber_[number] = PortEntry{number, address, description, listed};
        addresses_.insert(address);
    }

    bool has(const std::string& address) const { return addresses_.count(address) != 0; }

    void markListed(const SystemPort& port)
    {
        for (auto& [number, entry] : byNumber_) {
            if (entry.address == port.path) {
                entry.listed = true;
                entry.description = port.description;
            }
        }
    }

    int firstFree(int from) const
    {
        for (int number = from; number <= PortTable::kLastNumber; ++number)
            if (!byNumber_.count(number))
                return number;
        for (int number = 1; number < from; ++number)
            if (!byNumber_.count(number))
                return number;
        return 0;
    }

    bool taken(int number) const { return byNumber_.count(number) != 0; }

    std::string addressOf(int number) const
    {
        const auto found = byNumber_.find(number);
        return found == byNumber_.end() ? std::string() : found->second.address;
    }

    int numberOf(const std::string& address) const
    {
        for (const auto& [number, entry] : byNumber_)
            if (entry.address == address)
                return number;
        return 0;
    }

    std::vector<PortEntry> result() const
    {
        std::vector<PortEntry> entries;
        for (const auto& [number, entry] : byNumber_)
            entries.push_back(entry);
        return entries;
    }

private:
    std::map<int, PortEntry> byNumber_;
    std::set<std::string> addresses_;
};

// What this run assigned beats the pin file, which beats the system's listing:
// the part of the table known without listing.
TableBuilder FixedPart(const std::map<int, std::string>& runTimeAdditions, const std::map<int, std::string>& pins,
                       const std::string& pinFile)
{
    TableBuilder table;
    for (const auto& [number, address] : runTimeAdditions)
        table.add(number, address, "added for this run", false);
    for (const auto& [number, address] : pins)
        table.add(number, address, "pinned in " + pinFile, false);
    return table;
}

}  // namespace

const char* PortStateName(PortState state)
{
    switch (state) {
    case PortState::Free: return "free";
    case PortState::InUse: return "in use";
    case PortState::NoPermission: return "no permission";
    case PortState::Unavailable: return "unavailable";
    case PortState::Absent: return "absent";
    }
    return "absent";
}

PortState ProbePortState(const std::string& address)
{
    if (IsTcpAddress(address))
        return PortState::Free;
    const OpenOutcome outcome = OpenTransport(address, 9600);
    switch (outcome.status) {
    case OpenStatus::Opened: return PortState::Free;
    case OpenStatus::InUse: return PortState::InUse;
    case OpenStatus::NoPermission: return PortState::NoPermission;
    case OpenStatus::NotFound: return PortState::Absent;
    case OpenStatus::Failed: return PortState::Unavailable;
    }
    return PortState::Absent;
}

PortTable::PortTable()
    : lister_(ListSystemPorts)
{
    const char* fromEnvironment = std::getenv("QUELLIX_PORTS");
    pinFile_ = fromEnvironment && *fromEnvironment ? fromEnvironment : kDefaultPinFile;
}

PortTable& PortTable::instance()
{
    static PortTable table;
    return table;
}

void PortTable::setPinFile(const std::string& path)
{
    std::lock_guard lock(mutex_);
    pinFile_ = path;
    reported_.clear();
}

std::string PortTable::pinFile() const
{
    std::lock_guard lock(mutex_);
    return pinFile_;
}

PortLister PortTable::setLister(PortLister lister)
{
    std::lock_guard lock(mutex_);
    PortLister previous = std::move(lister_);
    lister_ = lister ? std::move(lister) : PortLister(ListSystemPorts);
    return previous;
}

std::map<int, std::string> PortTable::readPins() const
{
    // The table is read afresh many times a run: each problem is told once.
    const Warn warnOnce = [this](const std::string& line) {
        if (reported_.insert(line).second)
            std::fprintf(stderr, "%s\n", line.c_str());
    };
    return ReadPinFile(pinFile_, warnOnce);
}

std::vector<PortEntry> PortTable::build() const
{
    TableBuilder table = FixedPart(runTimeAdditions_, readPins(), pinFile_);
    std::vector<SystemPort> listed = lister_();
    std::sort(listed.begin(), listed.end(), [](const SystemPort& a, const SystemPort& b) { return a.path < b.path; });
    std::vector<SystemPort> unnumbered;
    for (const SystemPort& port : listed) {
        if (table.has(port.path)) {
            table.markListed(port);
            continue;
        }
        const int number = ConventionalNumber(port.path);
        if (number != 0 && !table.taken(number))
            table.add(number, port.path, port.description, true);
        else
            unnumbered.push_back(port);
    }
    for (const SystemPort& port : unnumbered) {
        if (const int number = table.firstFree(kFirstExtraNumber))
            table.add(number, port.path, port.description, true);
    }
    return table.result();
}

std::vector<PortEntry> PortTable::entries()
{
    std::lock_guard lock(mutex_);
    return build();
}

std::string PortTable::addressOf(int number)
{
    {
        std::lock_guard lock(mutex_);
        const TableBuilder fixed = FixedPart(runTimeAdditions_, readPins(), pinFile_);
        if (fixed.taken(number))
            return fixed.addressOf(number);
    }
    for (const PortEntry& entry : entries())
        if (entry.number == number)
            return entry.address;
    return {};
}

int PortTable::numberOf(const std::string& address)
{
    std::lock_guard lock(mutex_);
    const std::vector<PortEntry> current = build();
    for (const PortEntry& entry : current)
        if (entry.address == address)
            return entry.number;
    std::set<int> taken;
    for (const PortEntry& entry : current)
        taken.insert(entry.number);
    return addForThisRun(address, taken);
}

int PortTable::numberWithoutListing(const std::string& address, bool& lasting)
{
    std::lock_guard lock(mutex_);
    const TableBuilder fixed = FixedPart(runTimeAdditions_, readPins(), pinFile_);
    // A pin lasts, and so does the number a name fixes (ttyS2 is COM3); a
    // number this run gave the address before does not.
    if (const int number = fixed.numberOf(address)) {
        lasting = !runTimeAdditions_.count(number) || number == ConventionalNumber(address);
        return number;
    }
    const int conventional = ConventionalNumber(address);
    lasting = conventional != 0 && !fixed.taken(conventional);
    std::set<int> taken;
    for (const PortEntry& entry : fixed.result())
        taken.insert(entry.number);
    return addForThisRun(address, taken);
}

int PortTable::addForThisRun(const std::string& address, const std::set<int>& taken)
{
    int number = ConventionalNumber(address);
    if (number == 0 || taken.count(number)) {
        number = 0;
        for (int candidate = kFirstExtraNumber; candidate <= kLastNumber && number == 0; ++candidate)
            if (!taken.count(candidate))
                number = candidate;
    }
    if (number != 0)
        runTimeAdditions_[number] = address;
    return number;
}

bool PortTable::assign(int number, const std::string& address)
{
    if (number < 1 || number > kLastNumber || address.empty())
        return false;
    std::lock_guard lock(mutex_);
    runTimeAdditions_[number] = address;
    return true;
}

void PortTable::forgetRunTimeAdditions()
{
    std::lock_guard lock(mutex_);
    runTimeAdditions_.clear();
}

std::string PortLabel(int number)
{
#if defined(_WIN32)
    return "COM" + std::to_string(number);
#else
    const std::string address = PortTable::instance().addressOf(number);
    std::string label = "COM" + std::to_string(number);
    return address.empty() ? label : label + " (" + address + ")";
#endif
}

std::string SerialAccessHint(const std::string& path)
{
#if defined(__linux__)
    std::string group = "dialout";
    for (const char* candidate : {path.c_str(), "/dev/ttyS0", "/dev/ttyUSB0"}) {
        struct stat info { };
        if (*candidate && ::stat(candidate, &info) == 0) {
            if (const struct group* entry = ::getgrgid(info.st_gid); entry && info.st_gid != 0)
                group = entry->gr_name;
            break;
        }
    }
    return "Add yourself to the '" + group + "' group (sudo usermod -aG " + group + " $USER), then log in again.";
#else
    (void)path;
    return {};
#endif
}

int ParsePortNumber(const std::string& text)
{
    std::string digits = text;
    if (digits.size() > 3 && (digits[0] == 'C' || digits[0] == 'c') && (digits[1] == 'O' || digits[1] == 'o')
        && (digits[2] == 'M' || digits[2] == 'm'))
        digits = digits.substr(3);
    if (digits.empty() || digits.size() > 3
        || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return 0;
    const int number = std::atoi(digits.c_str());
    return number >= 1 && number <= PortTable::kLastNumber ? number : 0;
}

namespace {

// The ports present, for a message: "COM1 (/dev/ttyS0), COM90 (tcp://...)".
std::string PortsPresent()
{
    std::string list;
    for (const PortEntry& entry : PortTable::instance().entries())
        list += (list.empty() ? "" : ", ") + ("COM" + std::to_string(entry.number)) + " (" + entry.address + ")";
    return list.empty() ? "none" : list;
}

std::string NoSuchPort(const std::string& typed, const std::string& why)
{
    return "'" + typed + "' " + why + ". Ports here: " + PortsPresent()
        + ". A port no listing shows can be pinned in data/ports.dat or the file named by $QUELLIX_PORTS (\"20 = "
          "/dev/pts/4\").";
}

// A system path for what was typed: the path itself (a link followed to the
// device it names), or /dev/NAME for a bare device name.
std::string DevicePath(const std::string& typed)
{
    namespace fs = std::filesystem;
    std::error_code status;
    fs::path path = typed.find('/') == std::string::npos ? fs::path("/dev") / typed : fs::path(typed);
    if (!fs::exists(path, status))
        return {};
    if (fs::is_symlink(path, status))
        path = fs::canonical(path, status);
    return status ? std::string() : path.string();
}

}  // namespace

namespace {

// The address of a COM number as typed, or "" with `problem` naming the ports present.
std::string AddressOfTypedNumber(int number, const std::string& typed, std::string& problem)
{
    std::string address = PortTable::instance().addressOf(number);
    if (address.empty())
        problem = NoSuchPort(typed, "is no port on this computer");
    return address;
}

// The address of a path, device name or tcp://host:port as typed, or "" with
// `problem` saying why it names no port.
std::string TypedAddress(const std::string& text, std::string& problem)
{
    if (IsTcpAddress(text)) {
        const std::string address = text.substr(0, text.find('?'));  // "?token=..." is for the server
        const auto colon = address.rfind(':');
        const std::string port = colon == std::string::npos ? "" : address.substr(colon + 1);
        if (colon < 6 || port.empty() || port.find_first_not_of("0123456789") != std::string::npos) {
            problem = "'" + text + "' needs a port number: tcp://host:port";
            return {};
        }
        return text;
    }
    std::string path = DevicePath(text);
    if (path.empty())
        problem = NoSuchPort(text, "is no port: no such device");
    return path;
}

int Numbered(int number, const std::string& address, std::string& problem)
{
    if (number == 0)
        problem = "no free COM number is left for " + address;
    return number;
}

}  // namespace

int ResolvePort(const std::string& text, std::string& problem)
{
    if (const int number = ParsePortNumber(text))
        return AddressOfTypedNumber(number, text, problem).empty() ? 0 : number;
    const std::string address = TypedAddress(text, problem);
    return address.empty() ? 0 : Numbered(PortTable::instance().numberOf(address), address, problem);
}

LocatedPort LocatePort(const std::string& text, std::string& problem)
{
    LocatedPort port;
    if (const int number = ParsePortNumber(text)) {
        port.address = AddressOfTypedNumber(number, text, problem);
        port.number = port.address.empty() ? 0 : number;
        port.lasting = true;
        return port;
    }
    port.address = TypedAddress(text, problem);
    if (!port.address.empty())
        port.number =
            Numbered(PortTable::instance().numberWithoutListing(port.address, port.lasting), port.address, problem);
    return port;
}

}  // namespace tavrik
