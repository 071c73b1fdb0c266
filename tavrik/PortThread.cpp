// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrik/PortThread.h"

#include <QThread>

// The thread sanitizer does not see Qt's own thread join (Qt is not built
// with it): the end of a thread's body and the join are told to it here.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TAVRIK_TELL_THREAD_SANITIZER 1
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif
#endif

namespace tavrik {

namespace {

void BodyEnded([[maybe_unused]] void* thread)
{
#if defined(TAVRIK_TELL_THREAD_SANITIZER)
    __tsan_release(thread);
#endif
}

void Joined([[maybe_unused]] void* thread)
{
#if defined(TAVRIK_TELL_THREAD_SANITIZER)
    __tsan_acquire(thread);
#endif
}

// Runs the body without an event loop, after entering Qt's once and leaving
// at once: only that binds the thread's properties, and until then Qt keeps
// every object moved to the thread in a list, one entry a move, for good.
class BodyThread : public QThread {
public:
    explicit BodyThread(std::function<void()> body)
        : body_(std::move(body))
    {
    }

protected:
    void run() override
    {
        exit();
        exec();
        body_();
        BodyEnded(this);
    }

private:
    std::function<void()> body_;
};

}  // namespace

struct PortThread::Impl {
    std::unique_ptr<QThread> thread;
};

PortThread::PortThread(std::function<void()> body)
    : impl_(std::make_unique<Impl>())
{
    impl_->thread = std::make_unique<BodyThread>(std::move(body));
    impl_->thread->start();
}

PortThread::~PortThread()
{
    join();
}

void PortThread::join()
{
    if (impl_->thread) {
        impl_->thread->wait();
        Joined(impl_->thread.get());
        impl_->thread.reset();
    }
}

}  // namespace tavrik
