// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The windows' side of a device's exchanges. Every exchange a window starts
// runs on the device's worker thread (xandrel/device/DeviceWorker.h); the
// window stays live and gets the result here, on its own thread, while the
// worker waits: the windows read the model only when no exchange runs.
//
// One command's exchange is under way at a time: a second one is refused
// (nothing is sent), and the windows disable what would start one while
// busy() is true, so clicks made meanwhile never replay an exchange. The
// device poll runs in the background: it never counts as busy and gives way
// to a command between its read tries; a dialog's long exchange pauses it.
#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "xandrel/XandrelExport.h"

class INFODEVICEMATRIXBASE;

namespace xandrel {
class DeviceWorker;
}

namespace xandrel::gui {

class XANDREL_EXPORT DeviceExchanges : public QObject {
    Q_OBJECT
public:
    using Exchange = std::function<void(DeviceWorker&)>;  // runs on the worker
    using Finished = std::function<void()>;               // runs here afterwards

    // The exchanges of `model`'s device, made on first use; every window that
    // drives the model shares them.
    static DeviceExchanges& Of(INFODEVICEMATRIXBASE& model);
    // Ends every device's worker: the running exchange ends at its next frame
    // boundary, results not yet handed back are dropped.
    static void EndAll();
    // True when no device has an exchange under way.
    static bool AllIdle();

    ~DeviceExchanges() override;

    // Starts a command's exchange unless one is under way (then false, and
    // nothing is sent). `what` is the busy cue the windows show; a stoppable
    // exchange can be asked to stop with stop().
    bool start(const QString& what, Exchange exchange, Finished finished, bool stoppable = false);

    // A command's exchange in the bracket of every window command
    // (CommandBracket.h): here the bracket's start that the window owns (the
    // wait cursor; the model's error code is cleared on the worker just
    // before `exchange`), and `finished` ends the bracket. After a bracketed
    // exchange that left no error the worker rests 200 ms before the next
    // one, as the bracket's end pauses after a success.
    bool startCommand(const QString& what, Exchange exchange, Finished finished, bool stoppable = false);

    // A device command with the whole bracket: `command` on the worker, then
    // here the bracket's end (refresh and error report), then `after`.
    bool runCommand(const QString& what, std::function<void(INFODEVICEMATRIXBASE&)> command, Finished after = {});

    // One device poll when nothing else is under way and the poll is not
    // paused (else false); `finished` gets DEVMA_GetEventMessage's result.
    bool poll(std::function<void(int result)> finished);

    // What asking the device for its ID in the background found.
    enum class CheckResult {
        Answered,  // a valid answer came
        Silent,    // no valid answer
        GaveWay    // a command came meanwhile and went first: nothing known
    };
    // Asks the device for its ID when no exchange at all is under way and the
    // poll is not paused (else false), without changing the model's ID, error
    // code or read settings. Like the poll it gives way to a command while no
    // answer has begun to arrive, so a click waits at most one read try for it.
    bool check(std::function<void(CheckResult result)> finished);

    // Whether the windows have the device's routing: read from it, confirmed
    // after a write, or reported by its event message. Until then they show
    // it as unknown, and a routing write reads the routing first. Exchanges
    // set it on the worker.
    bool routingKnown() const { return routingKnown_; }
    void setRoutingKnown(bool known) { routingKnown_ = known; }

    // A command's exchange is queued, running, or handing back its result.
    bool busy() const { return commandUnderWay_; }
    // No exchange at all, the poll included, is under way.
    bool idle() const { return inFlight_ == 0 && !commandUnderWay_; }
    // The worker has the model now (the poll included): leave it alone.
    bool exchanging() const { return inFlight_ > 0 && !handingBack_; }
    QString busyText() const { return busyText_; }
    bool stoppable() const { return commandUnderWay_ && stoppable_; }

    // A pause of the device poll, held while a dialog's long exchange has the
    // port: the exchange lets the windows repaint, and the poll's timer would
    // otherwise run in between. Neither the poll nor the ID check starts
    // until the last pause has been dropped. A pause that outlives its
    // exchanges does nothing.
    class PollPause {
    public:
        explicit PollPause(DeviceExchanges& exchanges);
        ~PollPause();
        PollPause(const PollPause&) = delete;
        PollPause& operator=(const PollPause&) = delete;

    private:
        QPointer<DeviceExchanges> exchanges_;
    };
    bool pollPaused() const { return pollPauses_ > 0; }

    // Asks what runs to end at its next frame boundary: a stoppable command
    // stops, the poll gives way, the rest after a command is cut short.
    void stop();
    bool stopRequested() const { return stopRequested_; }

    // Runs `action` here once no exchange is under way (at once if none is).
    void whenIdle(std::function<void()> action);

    // From an exchange on the worker: how far it has come. Updates reach the
    // windows coalesced, the newest one winning.
    void reportProgress(int minimum, int maximum, int value);

    INFODEVICEMATRIXBASE& model() const { return model_; }

Q_SIGNALS:
    void busyChanged(bool busy);
    void progressChanged(int minimum, int maximum, int value);
    // An exchange (the poll included) has handed back its result.
    void exchangeFinished();
    // The first pause of the poll was taken (true), or the last one dropped.
    void pollPausedChanged(bool paused);

private:
    class HandBack;
    struct Job;

    explicit DeviceExchanges(INFODEVICEMATRIXBASE& model);
    bool startJob(const QString& what, std::shared_ptr<Job> job, bool stoppable);
    bool startBackground(Exchange exchange, Finished finished);
    void dispatch(std::shared_ptr<Job> job);
    void handBack(const std::shared_ptr<Job>& job);
    void runIdleActions();

    INFODEVICEMATRIXBASE& model_;
    std::shared_ptr<HandBack> handBack_;
    std::unique_ptr<DeviceWorker> worker_;
    int inFlight_ = 0;
    bool handingBack_ = false;
    bool commandUnderWay_ = false;
    bool stoppable_ = false;
    bool stopRequested_ = false;
    bool backgroundUnderWay_ = false;
    int pollPauses_ = 0;
    std::atomic<bool> routingKnown_{false};
    QString busyText_;
    std::vector<std::function<void()>> idleActions_;
    struct Progress;
    std::shared_ptr<Progress> progress_;
};

}  // namespace xandrel::gui
