// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrik/TcpAddress.h"

#include <algorithm>
#include <cctype>

namespace tavrik {
namespace {

constexpr char kScheme[] = "tcp://";
constexpr char kTokenParameter[] = "token=";

bool ParsePort(const std::string& text, uint16_t& port)
{
    if (text.empty() || text.size() > 5
        || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    const unsigned long value = std::stoul(text);
    if (value == 0 || value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

// A token is for a server that shares the device beyond this computer
// (quellixd asks for one there).
bool Parse(const std::string& address, TcpAddress& parsed)
{
    if (address.rfind(kScheme, 0) != 0)
        return false;
    std::string rest = address.substr(sizeof(kScheme) - 1);
    if (const auto query = rest.find('?'); query != std::string::npos) {
        const std::string parameter = rest.substr(query + 1);
        const size_t nameSize = sizeof(kTokenParameter) - 1;
        if (parameter.rfind(kTokenParameter, 0) != 0 || parameter.size() == nameSize)
            return false;
        parsed.token = parameter.substr(nameSize);
        rest.erase(query);
    }
    const auto colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0 || !ParsePort(rest.substr(colon + 1), parsed.port))
        return false;
    parsed.host = rest.substr(0, colon);
    if (parsed.host.size() >= 2 && parsed.host.front() == '[' && parsed.host.back() == ']')
        parsed.host = parsed.host.substr(1, parsed.host.size() - 2);
    return true;
}

}  // namespace

bool ParseTcpAddress(const std::string& address, TcpAddress& parsed, OpenOutcome& outcome)
{
    if (Parse(address, parsed))
        return true;
    outcome.status = OpenStatus::NotFound;
    outcome.message = address + ": not a tcp://host:port[?token=SECRET] address";
    return false;
}

std::string AuthLine(const std::string& token)
{
    return "AUTH " + token + "\n";
}

}  // namespace tavrik
