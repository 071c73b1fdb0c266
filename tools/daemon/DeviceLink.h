// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One device the daemon owns, as the main thread sees it: its settings, the
// state last read from it, its output locks, and the queue of jobs for its
// worker. Jobs run on the worker's thread one at a time (DeviceLine,
// DeviceJobs); each hands back a report that this object applies, tells the
// shared line and the API of, and then answers the job's asker with.
//
// The queue keeps a client's sequence whole: a client of the shared line
// that has just had an answer keeps the line while its next frame comes
// within 400 ms, for up to 3 s, so a read-modify-write of a program is not
// cut by another's.
#include <QElapsedTimer>
#include <QJsonArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "Config.h"
#include "DeviceJobs.h"
#include "DeviceState.h"

namespace xandrel {
class DeviceWorker;
}

namespace quellixd {

class DeviceLine;
struct LineReport;

class DeviceLink : public QObject {
    Q_OBJECT
public:
    // Jobs waiting beyond this many are refused: 503 "busy" for the API, a
    // dropped frame for a shared-line client.
    static constexpr size_t kMostWaiting = 32;
    // Set by the asker of a job to end it: no further frame is sent.
    using Cancel = std::shared_ptr<std::atomic<bool>>;

    DeviceLink(const DeviceConfig& config, int pollMs, QObject* parent = nullptr);
    ~DeviceLink() override;

    // Opens the port and reads the state; a port that cannot be opened is
    // tried again after 1 s, then after twice as long each time, up to 30 s.
    void start();
    // Ends the link without holding up this thread: jobs not started are
    // refused, the running one stops at its next frame, and the link deletes
    // itself once its worker has ended. The caller gives up its ownership.
    void retire();

    const DeviceConfig& config() const { return config_; }
    const DeviceState& state() const { return state_; }
    // The port's system path or tcp:// address.
    const std::string& address() const { return address_; }
    // The TCP port of the device's shared line, as it listens.
    quint16 linePort() const { return linePort_; }
    void setLinePort(quint16 port) { linePort_ = port; }
    // Milliseconds before the next try to open the port (0 while open).
    int retryDelay() const { return retryTimer_.isActive() ? retryTimer_.remainingTime() : 0; }

    void setPollInterval(int pollMs) { pollTimer_.setInterval(pollMs); }

    // Outputs (1-based) that no client may change.
    const std::set<int>& locks() const { return locks_; }
    void setLocks(std::set<int> locks);

    // Forwards one whole frame of shared-line client `client` (a number the
    // shared line gives each client) to the device; `sink` gets the reply on
    // this thread while `context` lives.
    void forward(quint64 client, const QByteArray& frame, QObject* context, ReplySink sink);
    // A client of the shared line left: the line it held is free.
    void clientGone(quint64 client);

    // Sets the outputs in `changes` (output -> input, 1-based) as one job:
    // read, merge, write, read back (see WriteRouting).
    void writeRouting(const std::map<int, int>& changes, QObject* context, std::function<void(Outcome)> done,
                      Cancel cancel = {});

    // The manufacturer ID and product code of each input's EDID.
    void readEdidIds(QObject* context, std::function<void(Outcome, QJsonArray)> done, Cancel cancel = {});

    // Tells everyone who follows the device of a change made in its data
    // folder: "names" or "presets".
    void announce(const QString& what) { Q_EMIT changed(what); }

Q_SIGNALS:
    // A message for the clients of the shared line in the device's own
    // format: an event message the device sent (`except` 0), or one the
    // daemon made for a change that client `except` made itself.
    void lineMessage(const QByteArray& message, quint64 except);
    // The routing, the signals, the connection, the locks, the names or the
    // presets changed: "routing", "signals", "connection", "locks", "names"
    // or "presets".
    void changed(const QString& what);

private:
    // What a job leaves for this thread once it ran: called after the
    // report is applied, while the asker lives.
    using Completion = std::function<void()>;
    using Work = std::function<Completion(DeviceLine&)>;
    struct Job {
        quint64 client = 0;  // the shared-line client that asked; 0 for the API and the daemon
        bool hasAsker = false;
        QPointer<QObject> asker;  // a job whose asker has gone is dropped before it starts
        Work work;
        Completion refused;  // told when the job will not run (too many waiting, the link retired)
        Cancel cancel;
    };

    void submit(quint64 client, QObject* asker, Work work, Completion refused = {}, Cancel cancel = {});
    void startNext();
    bool holding(qint64 now);
    void finish(const Job& job, const LineReport& report, const Completion& completion);
    void keepLineFor(quint64 client);
    void apply(const LineReport& report, quint64 client);
    void scheduleRetry();
    void poll();

    DeviceConfig config_;
    std::string address_;
    quint16 linePort_ = 0;
    DeviceState state_;
    std::set<int> locks_;
    QTimer retryTimer_;
    QTimer pollTimer_;
    int backoffMs_ = 1000;
    bool pollQueued_ = false;
    bool opening_ = false;
    bool retired_ = false;

    std::deque<std::shared_ptr<Job>> queue_;
    bool busy_ = false;
    // The client that keeps the line, until when, and until when its run of
    // sequences may last.
    quint64 holder_ = 0;
    qint64 holdUntil_ = 0;
    qint64 runUntil_ = 0;
    QElapsedTimer clock_;
    QTimer holdTimer_;

    std::unique_ptr<DeviceLine> line_;  // used on the worker's thread only
    // Last member: its thread ends first when the link goes.
    std::unique_ptr<xandrel::DeviceWorker> worker_;
};

}  // namespace quellixd
