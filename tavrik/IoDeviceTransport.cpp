// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrik/IoDeviceTransport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QIODevice>
#include <QThread>

namespace tavrik {

IoDeviceTransport::IoDeviceTransport(std::unique_ptr<QIODevice> device)
    : device_(std::move(device))
{
}

IoDeviceTransport::~IoDeviceTransport()
{
    if (device_) {
        takeThread();
        device_->close();
    }
}

// A device let go by the thread that used it last belongs to no thread; the
// thread that uses it now takes it.
void IoDeviceTransport::takeThread() const
{
    if (device_->thread() == nullptr)
        device_->moveToThread(QThread::currentThread());
}

// Each move of the device between threads leaves an empty entry in the old
// thread's list of posted events (and its socket notifiers post one each),
// which only delivering that thread's posted events clears. A device worker's
// thread runs no event loop to do that, so without it the list grows with
// every exchange and every move walks all of it: a shared line slowed from
// ~1,500 to ~15 commands a second within 4,000 commands. The events the
// device's own objects were posted (a socket notifier's re-enabling after each
// move) travel with them and are delivered only on a thread that holds them:
// delivered here before the move too, or one more is kept for every exchange.
// The main thread and threads with a running event loop are left to their loop.
void IoDeviceTransport::releaseThread()
{
    if (!device_ || device_->thread() != QThread::currentThread())
        return;
    const QCoreApplication* application = QCoreApplication::instance();
    QThread* here = QThread::currentThread();
    const bool noLoop = application && here != application->thread() && here->loopLevel() == 0;
    if (noLoop)
        QCoreApplication::sendPostedEvents();
    device_->moveToThread(nullptr);
    if (noLoop)
        QCoreApplication::sendPostedEvents();
}

bool IoDeviceTransport::write(const uint8_t* data, size_t size, uint32_t timeoutMs)
{
    if (broken_)
        return false;
    takeThread();
    const qint64 queued = device_->write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    if (queued != static_cast<qint64>(size)) {
        noteFailure();
        return false;
    }
    QDeadlineTimer deadline(timeoutMs);
    while (device_->bytesToWrite() > 0) {
        if (!device_->waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
            noteFailure();
            return false;
        }
    }
    return true;
}

size_t IoDeviceTransport::read(uint8_t* data, size_t size, uint32_t timeoutMs)
{
    takeThread();
    size_t received = 0;
    QDeadlineTimer deadline(timeoutMs);
    while (received < size && !broken_) {
        const qint64 n = device_->read(reinterpret_cast<char*>(data) + received, static_cast<qint64>(size - received));
        if (n < 0) {
            noteFailure();
            break;
        }
        received += static_cast<size_t>(n);
        if (received == size)
            break;
        // A false wait is a time-out or a failure: either way this try is over.
        if (!device_->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            noteFailure();
            break;
        }
    }
    return received;
}

void IoDeviceTransport::discardInput()
{
    if (broken_)
        return;
    takeThread();
    device_->waitForReadyRead(0);
    device_->readAll();
    flushSystemInput();
}

bool IoDeviceTransport::broken() const
{
    return broken_;
}

void IoDeviceTransport::noteFailure()
{
    if (deviceLost())
        broken_ = true;
}

}  // namespace tavrik
