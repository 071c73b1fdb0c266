// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/device/TrafficLog.h"

#include <cstdio>
#include <map>

namespace xandrel::traffic {

const char* const kCategory = "quellix.traffic";

std::string Hex(const BYTE* bytes, int length)
{
    std::string hex;
    char pair[4];
    for (int k = 0; k < length; ++k) {
        std::snprintf(pair, sizeof pair, k ? " %02x" : "%02x", bytes[k]);
        hex += pair;
    }
    return hex;
}

std::string CommandName(BYTE code)
{
    static const std::map<BYTE, const char*> names = {
        {0x01, "read routing"},    {0x02, "write routing"}, {0x03, "read signals"}, {0x04, "read device ID"},
        {0x05, "write device ID"}, {0x16, "copy EDID"},     {0x17, "read EDID"},    {0x18, "write EDID"},
    };
    if (auto name = names.find(code); name != names.end())
        return name->second;
    char text[16];
    std::snprintf(text, sizeof text, "command 0x%02x", code);
    return text;
}

void Sent(const BYTE* frame, int length)
{
    if (!Enabled() || length < 7)
        return;
    Log("sent", Hex(frame, length), CommandName(frame[6]) + ", ID " + std::to_string(frame[5]));
}

void Received(const BYTE* bytes, int length, const std::string& meaning)
{
    if (Enabled())
        Log("received", Hex(bytes, length), meaning);
}

void NoAnswer(const std::string& meaning)
{
    if (Enabled())
        Log("no answer", "", meaning);
}

void Dropped(const BYTE* message, int length, const std::string& reason)
{
    if (Enabled())
        Log("dropped", Hex(message, length), reason);
}

Line Split(const std::string& message)
{
    Line line;
    const size_t first = message.find('\t');
    const size_t second = first == std::string::npos ? first : message.find('\t', first + 1);
    if (second == std::string::npos) {
        line.meaning = message;
        return line;
    }
    line.what = message.substr(0, first);
    line.hex = message.substr(first + 1, second - first - 1);
    line.meaning = message.substr(second + 1);
    return line;
}

}  // namespace xandrel::traffic
