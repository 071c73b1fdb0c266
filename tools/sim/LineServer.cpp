// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineServer.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <utility>

#include "PseudoTerminal.h"

namespace quellix::sim {

using Clock = std::chrono::steady_clock;

// The line's side on the server's thread: the listening socket and its one
// client, or the pseudo-terminal. Reads what arrives and sends what is due
// when it is due.
class LineWorker : public QObject {
public:
    explicit LineWorker(LineServer& server)
        : server_(server)
        , timer_(new QTimer(this))
    {
        timer_->setSingleShot(true);
        timer_->setTimerType(Qt::PreciseTimer);
        connect(timer_, &QTimer::timeout, this, [this] { service(); });
    }

    std::string openTcp(const std::string& host, uint16_t port);
    std::string openPseudoTerminal();
    // Carries out a hang-up asked for, then sends what is due.
    void service();

private:
    bool lineOpen() const { return pty_ ? pty_->ok() : client_ != nullptr; }
    void usePseudoTerminal(std::unique_ptr<PseudoTerminal> pty);
    void readPseudoTerminal();
    void takeClients();
    void readClient();
    void dropClient();
    void setClient(bool present);
    std::ptrdiff_t writeLine(const uint8_t* bytes, size_t size);
    void flushDue();

    LineServer& server_;
    QTimer* timer_;
    QTcpServer* listener_ = nullptr;
    QTcpSocket* client_ = nullptr;
    std::unique_ptr<PseudoTerminal> pty_;
    std::unique_ptr<QSocketNotifier> ptyWatch_;  // destroyed before the pseudo-terminal it watches
};

std::string LineWorker::openTcp(const std::string& host, uint16_t port)
{
    const QString name = QString::fromStdString(host);
    QList<QHostAddress> candidates;
    if (QHostAddress literal; literal.setAddress(name))
        candidates.append(literal);
    else
        candidates = QHostInfo::fromName(name).addresses();
    if (candidates.isEmpty())
        return host + ": no such host";
    listener_ = new QTcpServer(this);
    bool listening = false;
    for (const QHostAddress& candidate : candidates)
        if ((listening = listener_->listen(candidate, port)))
            break;
    if (!listening)
        return "cannot listen on " + host + ":" + std::to_string(port) + ": " + listener_->errorString().toStdString();
    connect(listener_, &QTcpServer::newConnection, this, [this] { takeClients(); });
    const bool ipv6 = host.find(':') != std::string::npos;
    std::lock_guard lock(server_.mutex_);
    server_.address_ = "tcp://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(listener_->serverPort());
    return {};
}

std::string LineWorker::openPseudoTerminal()
{
    auto pty = std::make_unique<PseudoTerminal>();
    if (!pty->ok())
        return pty->error();
    usePseudoTerminal(std::move(pty));
    setClient(true);  // a pseudo-terminal is always there for a program to open
    return {};
}

void LineWorker::usePseudoTerminal(std::unique_ptr<PseudoTerminal> pty)
{
    ptyWatch_.reset();
    pty_ = std::move(pty);
    if (pty_->ok()) {
        ptyWatch_ = std::make_unique<QSocketNotifier>(pty_->masterFd(), QSocketNotifier::Read);
        connect(ptyWatch_.get(), &QSocketNotifier::activated, this, [this] { readPseudoTerminal(); });
    }
    std::lock_guard lock(server_.mutex_);
    server_.address_ = pty_->slavePath();
}

void LineWorker::readPseudoTerminal()
{
    uint8_t buffer[512];
    const std::ptrdiff_t n = pty_->read(buffer, sizeof buffer);
    if (n > 0) {
        server_.receiver_(Bytes(buffer, buffer + n));
    } else if (n < 0) {
        // No program on the line: the master reports a hang-up until one
        // opens it again. Look again a little later instead of spinning.
        ptyWatch_->setEnabled(false);
        QTimer::singleShot(5, this, [this, watch = ptyWatch_.get()] {
            if (ptyWatch_.get() == watch)
                watch->setEnabled(true);
        });
    }
}

void LineWorker::takeClients()
{
    while (QTcpSocket* socket = listener_->nextPendingConnection()) {
        // A client that left just before the next came must not turn it away:
        // take in what it sent last and see whether it is gone.
        if (client_ && client_->state() == QAbstractSocket::ConnectedState)
            client_->waitForReadyRead(0);
        if (client_ && client_->state() != QAbstractSocket::ConnectedState)
            dropClient();
        if (client_) {  // one client at a time, like a serial line
            socket->close();
            socket->deleteLater();
            continue;
        }
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        client_ = socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (socket == client_)
                readClient();
        });
        // Queued: a write that finds the client gone must not drop it while
        // the queue of bytes to send is being worked through.
        connect(
            socket, &QTcpSocket::disconnected, this,
            [this, socket] {
                if (socket == client_)
                    dropClient();
            },
            Qt::QueuedConnection);
        setClient(true);
    }
}

void LineWorker::readClient()
{
    const QByteArray bytes = client_->readAll();
    if (!bytes.isEmpty())
        server_.receiver_(Bytes(bytes.begin(), bytes.end()));
}

void LineWorker::dropClient()
{
    if (!client_)
        return;
    if (client_->bytesAvailable() > 0)
        readClient();
    QTcpSocket* socket = std::exchange(client_, nullptr);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    setClient(false);
}

void LineWorker::setClient(bool present)
{
    {
        std::lock_guard lock(server_.mutex_);
        server_.hasClient_ = present;
    }
    server_.clientChanged_.notify_all();
}

std::ptrdiff_t LineWorker::writeLine(const uint8_t* bytes, size_t size)
{
    if (pty_)
        return pty_->write(bytes, size);
    const qint64 written = client_->write(reinterpret_cast<const char*>(bytes), static_cast<qint64>(size));
    client_->flush();  // to the system now, not when the event loop next runs
    return static_cast<std::ptrdiff_t>(written);
}

void LineWorker::service()
{
    bool hangUp = false;
    std::function<void(const std::string&)> announce;
    {
        std::lock_guard lock(server_.mutex_);
        server_.wakePosted_ = false;
        std::swap(hangUp, server_.hangUpRequested_);
        if (hangUp) {
            server_.outgoing_.clear();
            announce = server_.addressChanged_;
        }
    }
    if (hangUp) {
        if (pty_)
            usePseudoTerminal(std::make_unique<PseudoTerminal>());
        else
            dropClient();
        if (announce)
            announce(server_.address());
    }
    flushDue();
}

// Sends every byte that is due; the timer wakes the thread for the next one.
void LineWorker::flushDue()
{
    std::lock_guard lock(server_.mutex_);
    std::deque<LineServer::Pending>& outgoing = server_.outgoing_;
    while (!outgoing.empty()) {
        LineServer::Pending& next = outgoing.front();
        const auto now = Clock::now();
        if (next.due > now) {
            timer_->start(std::chrono::ceil<std::chrono::milliseconds>(next.due - now));
            return;
        }
        if (!lineOpen()) {  // no client: the bytes go nowhere, as on an unplugged cable
            outgoing.pop_front();
            continue;
        }
        const size_t chunk = next.byteGap.count() > 0 ? 1 : next.bytes.size() - next.sent;
        const std::ptrdiff_t written = writeLine(next.bytes.data() + next.sent, chunk);
        if (written == 0) {  // the line is full: try again shortly
            timer_->start(std::chrono::milliseconds(1));
            return;
        }
        if (written < 0) {
            outgoing.pop_front();
            continue;
        }
        next.sent += static_cast<size_t>(written);
        if (next.sent == next.bytes.size())
            outgoing.pop_front();
        else if (next.byteGap.count() > 0)
            next.due += next.byteGap;  // from when the byte was due, so waking late does not add up
    }
}

LineServer::LineServer(Receiver receiver)
    : receiver_(std::move(receiver))
{
}

bool LineServer::start(const std::function<std::string(LineWorker&)>& open, std::string& error)
{
    if (!QCoreApplication::instance()) {
        error = "serving a line needs a QCoreApplication";
        return false;
    }
    thread_ = std::make_unique<QThread>();
    auto* worker = new LineWorker(*this);
    worker->moveToThread(thread_.get());
    // Deleted on its own thread as that ends, with the sockets it holds.
    QObject::connect(thread_.get(), &QThread::finished, worker, &QObject::deleteLater);
    {
        std::lock_guard lock(mutex_);
        worker_ = worker;
    }
    thread_->start();
    std::string why;
    QMetaObject::invokeMethod(
        worker, [&] { why = open(*worker); }, Qt::BlockingQueuedConnection);
    if (!why.empty()) {
        error = why;
        stop();
        return false;
    }
    return true;
}

std::unique_ptr<LineServer> LineServer::OnPseudoTerminal(Receiver receiver, std::string& error)
{
    std::unique_ptr<LineServer> server(new LineServer(std::move(receiver)));
    if (!server->start([](LineWorker& worker) { return worker.openPseudoTerminal(); }, error))
        return nullptr;
    return server;
}

std::unique_ptr<LineServer> LineServer::OnTcp(const std::string& host, uint16_t port, Receiver receiver,
                                              std::string& error)
{
    std::unique_ptr<LineServer> server(new LineServer(std::move(receiver)));
    const std::string name = host.empty() ? "127.0.0.1" : host;
    if (!server->start([&](LineWorker& worker) { return worker.openTcp(name, port); }, error))
        return nullptr;
    return server;
}

LineServer::~LineServer()
{
    stop();
}

std::string LineServer::address() const
{
    std::lock_guard lock(mutex_);
    return address_;
}

bool LineServer::sending() const
{
    std::lock_guard lock(mutex_);
    return !outgoing_.empty();
}

void LineServer::send(Bytes bytes, std::chrono::microseconds delay, std::chrono::microseconds byteGap)
{
    if (bytes.empty())
        return;
    {
        std::lock_guard lock(mutex_);
        // A paced byte arrives when its last bit has gone, one byte time after it starts.
        Clock::time_point due = Clock::now() + delay + byteGap;
        if (!outgoing_.empty() && outgoing_.back().due > due)
            due = outgoing_.back().due;  // keep the order of the line
        outgoing_.push_back(Pending{due, byteGap, std::move(bytes)});
    }
    wake();
}

void LineServer::hangUp()
{
    {
        std::lock_guard lock(mutex_);
        hangUpRequested_ = true;
    }
    wake();
}

void LineServer::onAddressChange(std::function<void(const std::string&)> callback)
{
    std::lock_guard lock(mutex_);
    addressChanged_ = std::move(callback);
}

void LineServer::stop()
{
    if (stopping_.exchange(true))
        return;
    {
        std::lock_guard lock(mutex_);
        worker_ = nullptr;
    }
    if (thread_) {
        thread_->quit();
        thread_->wait();
    }
}

bool LineServer::waitForClient(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return clientChanged_.wait_for(lock, timeout, [this] { return hasClient_; });
}

// Has the line's thread look at the queue and at a hang-up asked for; one
// call waiting on the thread is enough however many come before it runs.
void LineServer::wake()
{
    std::lock_guard lock(mutex_);
    if (!worker_ || wakePosted_)
        return;
    wakePosted_ = true;
    QMetaObject::invokeMethod(
        worker_, [worker = worker_] { worker->service(); }, Qt::QueuedConnection);
}

}  // namespace quellix::sim
