#include "tavrik/PortThread.h"

#include <QThread>

namespace tavrik {

namespace {

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
        impl_->thread.reset();
    }
}

}  // namespace tavrik
