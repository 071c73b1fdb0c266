// SPDX-License-Identifier: GPL-3.0-or-later
// The traffic log as a Qt logging category: its lines go to whoever listens,
// and a logging rule can turn them on for any program that links Qt.
#include <QLoggingCategory>
#include <QString>
#include <map>
#include <mutex>

#include "xandrel/device/TrafficLog.h"

namespace xandrel::traffic {

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

}  // namespace

void Log(const std::string& what, const std::string& hex, const std::string& meaning)
{
    qCDebug(lcTraffic()).noquote() << QString::fromStdString(what + '\t' + hex + '\t' + meaning);
}

bool Enabled()
{
    return lcTraffic().isDebugEnabled();
}

void Enable(bool on)
{
    lcTraffic().setEnabled(QtDebugMsg, on);
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
