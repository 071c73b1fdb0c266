// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/device/DeviceWorker.h"

#include <algorithm>

#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortThread.h"
#include "tavrik/Wait.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"

namespace xandrel {
namespace {

// A stop is taken within this long during a pause.
constexpr uint32_t kPauseStepMs = 50;

}  // namespace

DeviceWorker::DeviceWorker(INFODEVICEMATRIXBASE& model)
    : model_(model)
{
    // The thread starts last, when every member is ready.
    thread_ = std::make_unique<tavrik::PortThread>([this] { run(); });
}

DeviceWorker::~DeviceWorker()
{
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        queue_.clear();
        othersWaiting_ = false;
    }
    wake_.notify_all();
    thread_->join();
}

void DeviceWorker::post(Exchange exchange)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(Queued{++nextNumber_, std::move(exchange)});
        othersWaiting_ = true;
    }
    wake_.notify_one();
}

void DeviceWorker::requestStop()
{
    std::lock_guard lock(mutex_);
    stopBefore_ = nextNumber_ + 1;
}

bool DeviceWorker::stopRequested() const
{
    if (runningNumber_ < stopBefore_)
        return true;
    std::lock_guard lock(mutex_);
    return ending_;
}

bool DeviceWorker::othersWaiting() const
{
    return othersWaiting_;
}

int DeviceWorker::pollEventMessage()
{
    INFOPORTDRIVER* port = model_.m_PortDriver;
    // Nothing of a message yet: a waiting exchange or a stop goes first.
    if (port)
        port->RS232_SetGiveWay(
            [this](uint32_t arrived) { return arrived == 0 && (othersWaiting() || stopRequested()); });
    const int result = model_.DEVMA_GetEventMessage();
    if (port)
        port->RS232_SetGiveWay(nullptr);
    return result;
}

bool DeviceWorker::pauseUnlessStopped(uint32_t milliseconds) const
{
    while (milliseconds > 0) {
        if (stopRequested())
            return false;
        const uint32_t step = std::min(milliseconds, kPauseStepMs);
        tavrik::Wait(step);
        milliseconds -= step;
    }
    return !stopRequested();
}

void DeviceWorker::letStopEndReads(bool on)
{
    if (INFOPORTDRIVER* port = model_.m_PortDriver) {
        if (on)
            port->RS232_SetGiveWay([this](uint32_t) { return stopRequested(); });
        else
            port->RS232_SetGiveWay(nullptr);
    }
}

void DeviceWorker::run()
{
    for (;;) {
        Queued next;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
            if (ending_)
                return;
            next = std::move(queue_.front());
            queue_.pop_front();
            othersWaiting_ = !queue_.empty();
            runningNumber_ = next.number;
        }
        next.exchange();
        // Between exchanges the port belongs to no thread: the next user,
        // here or elsewhere, takes it.
        if (model_.m_PortDriver)
            model_.m_PortDriver->RS232_ReleaseThread();
    }
}

}  // namespace xandrel
