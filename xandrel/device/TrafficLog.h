// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line's traffic: every frame sent and every answer received, and every
// event message dropped with the reason, as one logging category of the
// library ("quellix.traffic", off by default). The window's traffic log and
// the command line's --trace turn it on and read its lines.
//
// A line is three fields separated by tabs: what happened ("sent",
// "received", "no answer", "dropped"), the bytes in hex, and what they
// mean ("read routing, ID 255", "acknowledged", "another device's ID 4").
#include <cstdint>
#include <functional>
#include <string>

#include "xandrel/XandrelExport.h"

namespace xandrel::traffic {

using BYTE = uint8_t;

// The category's name, for logging rules ("quellix.traffic.debug=true").
XANDREL_EXPORT extern const char* const kCategory;

// True while someone listens: callers skip the formatting otherwise.
XANDREL_EXPORT bool Enabled();
// Turns the category on or off for the whole program.
XANDREL_EXPORT void Enable(bool on);

// Writes one line of the category (callers check Enabled() first).
XANDREL_EXPORT void Log(const std::string& what, const std::string& hex, const std::string& meaning);

// A frame written to the line; its meaning comes from its command byte.
XANDREL_EXPORT void Sent(const BYTE* frame, int length);
XANDREL_EXPORT void Received(const BYTE* bytes, int length, const std::string& meaning);
XANDREL_EXPORT void NoAnswer(const std::string& meaning);
XANDREL_EXPORT void Dropped(const BYTE* message, int length, const std::string& reason);

// "write routing" for 0x02, "command 0x7f" for one the library does not send.
XANDREL_EXPORT std::string CommandName(BYTE code);
XANDREL_EXPORT std::string Hex(const BYTE* bytes, int length);

// One line of the category split into its fields.
struct Line {
    std::string what;
    std::string hex;
    std::string meaning;
};
XANDREL_EXPORT Line Split(const std::string& message);

// Hands every line of the category to `listener` (on whatever thread logs
// it) until the returned token is destroyed; other messages go where they
// went before. Turns the category on while any listener is registered.
class XANDREL_EXPORT Listening {
public:
    using Listener = std::function<void(const Line&)>;
    explicit Listening(Listener listener);
    ~Listening();
    Listening(const Listening&) = delete;
    Listening& operator=(const Listening&) = delete;

private:
    int id_;
};

}  // namespace xandrel::traffic
