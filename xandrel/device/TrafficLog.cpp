// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/device/TrafficLog.h"

#include <QLoggingCategory>
#include <QString>
#include <cstdio>
#include <map>
#include <mutex>

namespace xandrel::traffic {

const char* const kCategory = "quellix.traffic";

namespace {

// Off by default: debug lines show once someone listens or a logging rule
// ("quellix.traffic.debug=true") turns them on.
QLoggingCategory& lcTraffic()
{
    static QLoggingCategory category(kCategory, QtWarningMsg);
    return category;
}

struct Listeners {
    std::recursive_mutex mutex;  // a listener that logs comes back here
    std::map<int, Listening::Listener> byId;
    int nextId = 1;
    QtMessageHandler previous = nullptr;
};

Listeners& TheListeners()
{
    static Listeners listeners;
    return listeners;
}

void Route(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    Listeners& listeners = TheListeners();
    std::unique_lock lock(listeners.mutex);
    if (context.category && std::string(context.category) == kCategory) {
        const Line line = Split(text.toStdString());
        for (const auto& [id, listener] : listeners.byId)
            listener(line);
        return;
    }
    QtMessageHandler previous = listeners.previous;
    lock.unlock();
    if (previous)
        previous(type, context, text);
}

void Log(const std::string& what, const std::string& hex, const std::string& meaning)
{
    qCDebug(lcTraffic()).noquote() << QString::fromStdString(what + '\t' + hex + '\t' + meaning);
}

}  // namespace

bool Enabled()
{
    return lcTraffic().isDebugEnabled();
}

void Enable(bool on)
{
    lcTraffic().setEnabled(QtDebugMsg, on);
}

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

Listening::Listening(Listener listener)
{
    Listeners& listeners = TheListeners();
    std::lock_guard lock(listeners.mutex);
    if (listeners.byId.empty())
        listeners.previous = qInstallMessageHandler(Route);
    id_ = listeners.nextId++;
    listeners.byId.emplace(id_, std::move(listener));
    Enable(true);
}

Listening::~Listening()
{
    Listeners& listeners = TheListeners();
    std::lock_guard lock(listeners.mutex);
    listeners.byId.erase(id_);
    if (listeners.byId.empty()) {
        qInstallMessageHandler(listeners.previous);
        listeners.previous = nullptr;
        Enable(false);
    }
}

}  // namespace xandrel::traffic
