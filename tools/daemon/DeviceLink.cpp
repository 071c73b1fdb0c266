// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceLink.h"

#include <algorithm>
#include <thread>

#include "DeviceFiles.h"
#include "DeviceLine.h"
#include "Log.h"
#include "xandrel/device/DeviceWorker.h"
#include "xandrel/device/ModelCatalog.h"

namespace quellixd {

namespace {

constexpr int kFirstRetryMs = 1000;
constexpr int kLongestRetryMs = 30000;
// A client of the shared line keeps the line while its next frame comes
// this soon after its answer (its own 200 ms rest fits), for at most a run
// this long.
constexpr qint64 kKeepLineMs = 400;
constexpr qint64 kLongestRunMs = 3000;

// Runs `call` on `context`'s thread.
template <typename Call>
void Deliver(QObject* context, Call call)
{
    QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
}

}  // namespace

DeviceLink::DeviceLink(const DeviceConfig& config, int pollMs, QObject* parent)
    : QObject(parent)
    , config_(config)
    , line_(std::make_unique<DeviceLine>(config))
{
    address_ = line_->address();
    state_ = line_->state();
    QString problem;
    locks_ = LoadLocks(config_, problem);
    if (!problem.isEmpty())
        Log("device " + config_.name + ": locks not read, none taken: " + problem);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &DeviceLink::start);
    pollTimer_.setInterval(pollMs);
    connect(&pollTimer_, &QTimer::timeout, this, &DeviceLink::poll);
    holdTimer_.setSingleShot(true);
    connect(&holdTimer_, &QTimer::timeout, this, &DeviceLink::startNext);
    clock_.start();
    worker_ = std::make_unique<xandrel::DeviceWorker>(line_->model());
}

DeviceLink::~DeviceLink()
{
    worker_.reset();
}

// ---- the queue ----

void DeviceLink::submit(quint64 client, QObject* asker, Work work, Completion refused, Cancel cancel)
{
    if (retired_ || queue_.size() >= kMostWaiting) {
        if (refused)
            refused();
        return;
    }
    auto job = std::make_shared<Job>();
    job->client = client;
    job->hasAsker = asker != nullptr;
    job->asker = asker;
    job->work = std::move(work);
    job->refused = std::move(refused);
    job->cancel = std::move(cancel);
    queue_.push_back(std::move(job));
    startNext();
}

void DeviceLink::retire()
{
    retired_ = true;
    pollTimer_.stop();
    retryTimer_.stop();
    holdTimer_.stop();
    for (const auto& job : queue_)
        if (job->refused && (!job->hasAsker || job->asker))
            job->refused();
    queue_.clear();
    worker_->requestStop();
    // An exchange may take seconds: the worker ends on a thread of its own,
    // then the link goes on this one.
    std::thread([this] {
        worker_.reset();
        QMetaObject::invokeMethod(this, &QObject::deleteLater, Qt::QueuedConnection);
    }).detach();
}

// True while a client keeps the line; its hold ends when its next frame is
// late or its run has lasted long enough.
bool DeviceLink::holding(qint64 now)
{
    if (holder_ != 0 && now >= std::min(holdUntil_, runUntil_))
        holder_ = 0;
    return holder_ != 0;
}

void DeviceLink::startNext()
{
    if (busy_ || retired_)
        return;
    // Nobody waits for the answer of a job whose asker has gone.
    queue_.erase(
        std::remove_if(queue_.begin(), queue_.end(), [](const auto& job) { return job->hasAsker && !job->asker; }),
        queue_.end());
    const qint64 now = clock_.elapsed();
    const bool held = holding(now);
    const auto next =
        std::find_if(queue_.begin(), queue_.end(), [&](const auto& job) { return !held || job->client == holder_; });
    if (next == queue_.end()) {
        if (held && !queue_.empty())
            holdTimer_.start(static_cast<int>(std::min(holdUntil_, runUntil_) - now));
        return;
    }
    std::shared_ptr<Job> job = *next;
    queue_.erase(next);
    busy_ = true;
    holdTimer_.stop();
    // The worker is reached through this pointer only: the member may be
    // reset on another thread while the job runs (retire()).
    xandrel::DeviceWorker* worker = worker_.get();
    worker->post([this, job, worker] {
        line_->setStop([worker, cancel = job->cancel] { return worker->stopRequested() || (cancel && *cancel); });
        const Completion completion = job->work(*line_);
        line_->setStop({});
        const LineReport report = line_->report();
        Deliver(this, [this, job, report, completion] { finish(*job, report, completion); });
    });
}

void DeviceLink::finish(const Job& job, const LineReport& report, const Completion& completion)
{
    busy_ = false;
    if (job.client != 0)
        keepLineFor(job.client);
    apply(report, job.client);
    if (completion && (!job.hasAsker || job.asker))
        completion();
    startNext();
}

void DeviceLink::keepLineFor(quint64 client)
{
    const qint64 now = clock_.elapsed();
    if (client == holder_ && now >= runUntil_) {
        holder_ = 0;  // its run is over: the others go first
        return;
    }
    if (client != holder_)
        runUntil_ = now + kLongestRunMs;
    holder_ = client;
    holdUntil_ = now + kKeepLineMs;
}

void DeviceLink::clientGone(quint64 client)
{
    if (holder_ == client) {
        holder_ = 0;
        startNext();
    }
}

// ---- state ----

void DeviceLink::apply(const LineReport& report, quint64 client)
{
    for (const QByteArray& message : report.deviceEvents)
        Q_EMIT lineMessage(message, 0);
    for (const QByteArray& message : report.announcements)
        Q_EMIT lineMessage(message, client);
    const DeviceState before = state_;
    state_ = report.state;
    if (before.connection != state_.connection) {
        Log("device " + config_.name + ": " + ConnectionName(state_.connection)
            + (state_.problem.isEmpty() ? QString() : " (" + state_.problem + ")"));
        Q_EMIT changed("connection");
        if (state_.connection == Connection::Offline && !opening_ && !retryTimer_.isActive())
            scheduleRetry();
    }
    if (before.routing != state_.routing && state_.routingKnown)
        Q_EMIT changed("routing");
    if (before.signals != state_.signals && state_.signalsKnown)
        Q_EMIT changed("signals");
}

void DeviceLink::setLocks(std::set<int> locks)
{
    if (locks == locks_)
        return;
    locks_ = std::move(locks);
    QString problem;
    if (!SaveLocks(config_, locks_, problem))
        Log("device " + config_.name + ": locks not saved: " + problem);
    Q_EMIT changed("locks");
}

// ---- the device's own jobs ----

void DeviceLink::start()
{
    if (opening_)
        return;
    opening_ = true;
    submit(0, nullptr, [this](DeviceLine& line) -> Completion {
        const bool opened = OpenAndRead(line);
        return [this, opened] {
            opening_ = false;
            if (opened)
                backoffMs_ = kFirstRetryMs;
            else
                scheduleRetry();
        };
    });
    pollTimer_.start();
}

void DeviceLink::scheduleRetry()
{
    Log("device " + config_.name + ": " + QString::fromStdString(config_.port) + " offline (" + state_.problem
        + "); next try in " + QString::number(backoffMs_ / 1000.0) + " s");
    retryTimer_.start(backoffMs_);
    backoffMs_ = std::min(backoffMs_ * 2, kLongestRetryMs);
}

void DeviceLink::poll()
{
    if (pollQueued_ || state_.connection == Connection::Offline)
        return;
    pollQueued_ = true;
    submit(0, nullptr, [this](DeviceLine& line) -> Completion {
        Poll(line);
        return [this] { pollQueued_ = false; };
    });
}

// ---- requests ----

void DeviceLink::forward(quint64 client, const QByteArray& frame, QObject* context, ReplySink sink)
{
    QPointer<QObject> guard(context);
    const std::set<int> locked = locks_;
    const auto dropped = [this, client, guard, sink] {
        Log("device " + config_.name + ": dropped a frame of shared-line client " + QString::number(client) + ": "
            + (retired_ ? QString("the device was reconfigured")
                        : QString::number(queue_.size()) + " jobs wait already"));
        if (guard)
            sink({}, true);
    };
    submit(
        client, context,
        [this, frame, guard, sink, locked](DeviceLine& line) -> Completion {
            QByteArray last;
            Forward(line, frame, locked, [&](const QByteArray& bytes, bool final) {
                if (final) {
                    last = bytes;
                    return;
                }
                // The AA goes ahead while the device works on the body.
                Deliver(this, [guard, sink, bytes] {
                    if (guard)
                        sink(bytes, false);
                });
            });
            return [sink, last] { sink(last, true); };
        },
        dropped);
}

namespace {
const Outcome kBusy{503, "the device is busy: too many requests wait for it"};
}  // namespace

void DeviceLink::writeRouting(const std::map<int, int>& changes, QObject* context, std::function<void(Outcome)> done,
                              Cancel cancel)
{
    const std::set<int> locked = locks_;
    submit(
        0, context,
        [changes, locked, done](DeviceLine& line) -> Completion {
            const Outcome outcome = WriteRouting(line, changes, locked);
            return [done, outcome] { done(outcome); };
        },
        [done] { done(kBusy); }, std::move(cancel));
}

void DeviceLink::readEdidIds(QObject* context, std::function<void(Outcome, QJsonArray)> done, Cancel cancel)
{
    submit(
        0, context,
        [done](DeviceLine& line) -> Completion {
            QJsonArray inputs;
            const Outcome outcome = ReadEdidIds(line, inputs);
            return [done, outcome, inputs] { done(outcome, inputs); };
        },
        [done] { done(kBusy, {}); }, std::move(cancel));
}

}  // namespace quellixd
