// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One device's exchanges, run one at a time and in the order they were asked
// for, on a thread of the device's own, so that a window never waits for the
// serial line. The port driver's I/O is used on that thread only while an
// exchange runs; between exchanges any thread may read the model's state.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "xandrel/XandrelExport.h"

class INFODEVICEMATRIXBASE;

namespace tavrik {
class PortThread;
}

namespace xandrel {

class XANDREL_EXPORT DeviceWorker {
public:
    using Exchange = std::function<void()>;

    explicit DeviceWorker(INFODEVICEMATRIXBASE& model);
    // Asks the running exchange to stop, lets it end at a frame boundary
    // (never inside a frame), drops the exchanges still waiting and ends the
    // thread.
    ~DeviceWorker();
    DeviceWorker(const DeviceWorker&) = delete;
    DeviceWorker& operator=(const DeviceWorker&) = delete;

    INFODEVICEMATRIXBASE& model() const { return model_; }

    // Queues an exchange; it runs on the worker's thread after every exchange
    // queued before it.
    void post(Exchange exchange);

    // Asks the exchanges queued or running now to stop at their next frame
    // boundary; exchanges queued later are not affected.
    void requestStop();
    // For the running exchange: true once it was asked to stop (or the
    // worker is ending).
    bool stopRequested() const;
    // True while exchanges wait behind the running one.
    bool othersWaiting() const;

    // For an exchange: the model's event poll (DEVMA_GetEventMessage), which
    // gives way between its read tries to an exchange waiting behind it or a
    // request to stop; a message that has begun to arrive is read whole.
    int pollEventMessage();

    // For an exchange: pauses `milliseconds` through the system's wait in
    // steps short enough for a stop to be taken; false when it was stopped.
    bool pauseUnlessStopped(uint32_t milliseconds) const;

    // For an exchange that can be stopped: while on, a read that waits in
    // vain for its bytes ends at a stop request instead of running out its
    // tries (a frame already sent is never cut).
    void letStopEndReads(bool on);

private:
    struct Queued {
        uint64_t number;
        Exchange exchange;
    };
    void run();

    INFODEVICEMATRIXBASE& model_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Queued> queue_;
    bool ending_ = false;
    uint64_t nextNumber_ = 0;
    std::atomic<uint64_t> runningNumber_{0};
    std::atomic<uint64_t> stopBefore_{0};
    std::atomic<bool> othersWaiting_{false};
    std::unique_ptr<tavrik::PortThread> thread_;
};

}  // namespace xandrel
