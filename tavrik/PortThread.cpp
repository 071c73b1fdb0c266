#include "tavrik/PortThread.h"

#include <QThread>

namespace tavrik {

struct PortThread::Impl {
    std::unique_ptr<QThread> thread;
};

PortThread::PortThread(std::function<void()> body)
    : impl_(std::make_unique<Impl>())
{
    impl_->thread.reset(QThread::create(std::move(body)));
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
