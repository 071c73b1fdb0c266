// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/DeviceExchanges.h"

#include <QMetaObject>
#include <condition_variable>
#include <map>
#include <mutex>

#include "tavrik/INFOPORTDRIVER.h"
#include "xandrel/device/DeviceWorker.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/gui/CommandBracket.h"
#include "xandrel/gui/Controls.h"

namespace xandrel::gui {
namespace {

// DEVMA_GUICommandEnd's pause after a successful command: taken on the
// worker, so the line rests and the window does not.
constexpr uint32_t kRestAfterCommandMs = 200;
// The type of an event message that carries the whole routing.
constexpr BYTE kRoutingEventType = 1;

std::map<INFODEVICEMATRIXBASE*, std::unique_ptr<DeviceExchanges>>& Registry()
{
    static std::map<INFODEVICEMATRIXBASE*, std::unique_ptr<DeviceExchanges>> registry;
    return registry;
}

// Lets the windows' thread use the port next, when it holds it (a host or a
// test may have opened the port there).
void ReleasePortHere(INFODEVICEMATRIXBASE& model)
{
    if (model.m_PortDriver)
        model.m_PortDriver->RS232_ReleaseThread();
}

}  // namespace

// The door between the worker and the windows' thread. The worker hands a
// result through it and waits until the windows have taken it, so the model
// is the windows' to read meanwhile. It is shared with the worker: once the
// windows' side is gone the door is closed, and an exchange that ends later
// finds it closed instead of a dangling object.
class DeviceExchanges::HandBack {
public:
    explicit HandBack(QObject* receiver)
        : receiver_(receiver)
    {
    }

    // From the worker: runs `action` on the receiver's thread; false once closed.
    bool post(std::function<void()> action)
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        QMetaObject::invokeMethod(receiver_, std::move(action), Qt::QueuedConnection);
        return true;
    }

    // From the worker: waits until the windows have taken the result.
    void waitForReturn()
    {
        std::unique_lock lock(mutex_);
        returned_.wait(lock, [this] { return back_ || closed_; });
        back_ = false;
    }

    void giveBack()
    {
        {
            std::lock_guard lock(mutex_);
            back_ = true;
        }
        returned_.notify_all();
    }

    void close()
    {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        returned_.notify_all();
    }

private:
    QObject* receiver_;
    std::mutex mutex_;
    std::condition_variable returned_;
    bool back_ = false;
    bool closed_ = false;
};

struct DeviceExchanges::Job {
    Exchange exchange;
    Finished finished;
    bool command = false;
    bool stoppable = false;
    bool restAfterSuccess = false;
    bool succeeded = false;  // the model's error code was 0 afterwards
};

// The newest progress of the running exchange, and whether an update is on
// its way to the windows.
struct DeviceExchanges::Progress {
    std::mutex mutex;
    int minimum = 0;
    int maximum = 0;
    int value = 0;
    bool pending = false;
};

DeviceExchanges& DeviceExchanges::Of(INFODEVICEMATRIXBASE& model)
{
    std::unique_ptr<DeviceExchanges>& exchanges = Registry()[&model];
    if (!exchanges)
        exchanges.reset(new DeviceExchanges(model));
    return *exchanges;
}

void DeviceExchanges::EndAll()
{
    Registry().clear();
}

bool DeviceExchanges::AllIdle()
{
    for (const auto& [model, exchanges] : Registry())
        if (exchanges->inFlight_ > 0 || exchanges->commandUnderWay_)
            return false;
    return true;
}

DeviceExchanges::DeviceExchanges(INFODEVICEMATRIXBASE& model)
    : model_(model)
    , handBack_(std::make_shared<HandBack>(this))
    , worker_(std::make_unique<DeviceWorker>(model))
    , progress_(std::make_shared<Progress>())
{
}

DeviceExchanges::~DeviceExchanges()
{
    handBack_->close();
    worker_.reset();  // the running exchange ends at its next frame boundary
}

void DeviceExchanges::dispatch(std::shared_ptr<Job> job)
{
    if (inFlight_ == 0)
        ReleasePortHere(model_);
    ++inFlight_;
    DeviceWorker* worker = worker_.get();
    std::shared_ptr<HandBack> door = handBack_;
    worker->post([this, job, worker, door] {
        worker->letStopEndReads(job->stoppable);
        job->exchange(*worker);
        worker->letStopEndReads(false);
        job->succeeded = worker->model().m_ErrorCode == INFODEVICEMATRIXBASE::kNoError;
        ReleasePortHere(worker->model());
        if (door->post([this, job] { handBack(job); }))
            door->waitForReturn();
        if (job->restAfterSuccess && job->succeeded)
            worker->pauseUnlessStopped(kRestAfterCommandMs);
    });
}

void DeviceExchanges::handBack(const std::shared_ptr<Job>& job)
{
    --inFlight_;
    handingBack_ = true;
    if (job->command)
        commandUnderWay_ = false;  // `finished` may start the next step of its work
    else
        backgroundUnderWay_ = false;
    if (job->finished)
        job->finished();
    ReleasePortHere(model_);
    handingBack_ = false;
    handBack_->giveBack();
    if (job->command && !commandUnderWay_) {
        stoppable_ = false;
        stopRequested_ = false;
        busyText_.clear();
        Q_EMIT busyChanged(false);
    }
    Q_EMIT exchangeFinished();
    runIdleActions();
}

bool DeviceExchanges::start(const QString& what, Exchange exchange, Finished finished, bool stoppable)
{
    auto job = std::make_shared<Job>();
    job->exchange = std::move(exchange);
    job->finished = std::move(finished);
    return startJob(what, job, stoppable);
}

bool DeviceExchanges::startCommand(const QString& what, Exchange exchange, Finished finished, bool stoppable)
{
    if (commandUnderWay_)
        return false;
    // The bracket's start, unless the poll has the model just now: then the
    // wait cursor alone, and the exchange clears the error code itself.
    if (exchanging())
        BeginWaitCursor();
    else
        BeginCommand(&model_);
    auto job = std::make_shared<Job>();
    job->exchange = [exchange = std::move(exchange)](DeviceWorker& worker) {
        worker.model().m_ErrorCode = INFODEVICEMATRIXBASE::kNoError;
        exchange(worker);
    };
    job->finished = std::move(finished);
    job->restAfterSuccess = true;
    return startJob(what, job, stoppable);
}

bool DeviceExchanges::runCommand(const QString& what, std::function<void(INFODEVICEMATRIXBASE&)> command,
                                 Finished after)
{
    return startCommand(
        what, [command = std::move(command)](DeviceWorker& worker) { command(worker.model()); },
        [this, after = std::move(after)] {
            EndCommandAfterExchange(&model_);
            if (after)
                after();
        });
}

bool DeviceExchanges::startJob(const QString& what, std::shared_ptr<Job> job, bool stoppable)
{
    if (commandUnderWay_)
        return false;
    commandUnderWay_ = true;
    busyText_ = what;
    stoppable_ = stoppable;
    stopRequested_ = false;
    job->command = true;
    job->stoppable = stoppable;
    dispatch(std::move(job));
    Q_EMIT busyChanged(true);
    return true;
}

// A background exchange (the poll, the ID check): it never counts as busy.
bool DeviceExchanges::startBackground(Exchange exchange, Finished finished)
{
    if (commandUnderWay_ || backgroundUnderWay_)
        return false;
    backgroundUnderWay_ = true;
    auto job = std::make_shared<Job>();
    job->exchange = std::move(exchange);
    job->finished = std::move(finished);
    dispatch(job);
    return true;
}

DeviceExchanges::PollPause::PollPause(DeviceExchanges& exchanges)
    : exchanges_(&exchanges)
{
    if (exchanges.pollPauses_++ == 0)
        Q_EMIT exchanges.pollPausedChanged(true);
}

DeviceExchanges::PollPause::~PollPause()
{
    if (exchanges_ && --exchanges_->pollPauses_ == 0)
        Q_EMIT exchanges_->pollPausedChanged(false);
}

bool DeviceExchanges::poll(std::function<void(int result)> finished)
{
    if (pollPaused())
        return false;
    auto result = std::make_shared<int>(0);
    return startBackground(
        [this, result](DeviceWorker& worker) {
            *result = worker.pollEventMessage();
            if (*result == 1 && worker.model().m_EventType == kRoutingEventType)
                routingKnown_ = true;
        },
        [result, finished = std::move(finished)] { finished(*result); });
}

bool DeviceExchanges::check(std::function<void(CheckResult result)> finished)
{
    if (!idle() || pollPaused())
        return false;
    auto result = std::make_shared<CheckResult>(CheckResult::GaveWay);
    return startBackground(
        [result](DeviceWorker& worker) {
            INFODEVICEMATRIXBASE& m = worker.model();
            INFOPORTDRIVER* port = m.m_PortDriver;
            if (!port || worker.othersWaiting())
                return;
            const BYTE id = m.m_DeviceID;
            const BYTE error = m.m_ErrorCode;
            const uint8_t readTimes = port->m_ReadTimes;
            auto gaveWay = std::make_shared<bool>(false);
            port->RS232_SetGiveWay([&worker, gaveWay](uint32_t arrived) {
                *gaveWay = *gaveWay || (arrived == 0 && worker.othersWaiting());
                return *gaveWay;
            });
            const bool answered = m.DEVMA_GetDeviceID() == 1;
            port->RS232_SetGiveWay(nullptr);
            m.m_DeviceID = id;
            m.m_ErrorCode = error;
            port->m_ReadTimes = readTimes;
            *result = answered ? CheckResult::Answered : *gaveWay ? CheckResult::GaveWay : CheckResult::Silent;
        },
        [result, finished = std::move(finished)] { finished(*result); });
}

void DeviceExchanges::stop()
{
    if (idle())
        return;
    stopRequested_ = true;
    worker_->requestStop();
}

void DeviceExchanges::whenIdle(std::function<void()> action)
{
    if (inFlight_ == 0 && !commandUnderWay_)
        action();
    else
        idleActions_.push_back(std::move(action));
}

void DeviceExchanges::runIdleActions()
{
    if (inFlight_ > 0 || commandUnderWay_)
        return;
    std::vector<std::function<void()>> actions;
    actions.swap(idleActions_);
    for (const auto& action : actions)
        action();
}

void DeviceExchanges::reportProgress(int minimum, int maximum, int value)
{
    {
        std::lock_guard lock(progress_->mutex);
        progress_->minimum = minimum;
        progress_->maximum = maximum;
        progress_->value = value;
        if (progress_->pending)
            return;
        progress_->pending = true;
    }
    handBack_->post([this] {
        int minimum = 0;
        int maximum = 0;
        int value = 0;
        {
            std::lock_guard lock(progress_->mutex);
            minimum = progress_->minimum;
            maximum = progress_->maximum;
            value = progress_->value;
            progress_->pending = false;
        }
        Q_EMIT progressChanged(minimum, maximum, value);
    });
}

}  // namespace xandrel::gui
