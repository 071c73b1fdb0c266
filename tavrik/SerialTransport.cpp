// SPDX-License-Identifier: GPL-3.0-or-later
// Serial ports (and pseudo-terminals) through Qt SerialPort at 8N1, no flow control.
#include <QSerialPort>

#include "tavrik/IoDeviceTransport.h"
#include "tavrik/PortTable.h"

#if defined(Q_OS_UNIX)
#include <poll.h>
#include <unistd.h>
#endif

namespace tavrik {
namespace {

// A terminal whose far end has gone (a pseudo-terminal whose master closed)
// reports a hang-up: it stays readable but never gives a byte again, so
// every wait on it ends at once and empty.
bool HungUp(const QSerialPort& port)
{
#if defined(Q_OS_UNIX)
    pollfd line{static_cast<int>(port.handle()), POLLIN, 0};
    return ::poll(&line, 1, 0) == 1 && (line.revents & POLLHUP) != 0;
#else
    (void)port;
    return false;
#endif
}

class SerialTransport : public IoDeviceTransport {
public:
    explicit SerialTransport(std::unique_ptr<QSerialPort> port)
        : IoDeviceTransport(std::move(port))
    {
    }

protected:
    QSerialPort& port() const { return static_cast<QSerialPort&>(device()); }

    bool deviceLost() const override
    {
        const auto error = port().error();
        return error == QSerialPort::ResourceError || error == QSerialPort::NotOpenError
            || error == QSerialPort::DeviceNotFoundError || !port().isOpen() || HungUp(port());
    }

    void flushSystemInput() override { port().clear(QSerialPort::Input); }
};

// Qt reports a held lock file, an exclusive-mode refusal and a missing
// permission alike; only the last leaves the file unreadable to us.
bool LacksPermission(const std::string& path)
{
#if defined(Q_OS_UNIX)
    return ::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    (void)path;
    return false;
#endif
}

void DescribeFailure(const std::string& path, const QSerialPort& port, OpenOutcome& outcome)
{
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        outcome.status = OpenStatus::NotFound;
        outcome.message = path + ": no such port";
        return;
    case QSerialPort::PermissionError:
        if (LacksPermission(path)) {
            outcome.status = OpenStatus::NoPermission;
            outcome.message = path + ": permission denied. " + SerialAccessHint(path);
        } else {
            outcome.status = OpenStatus::InUse;
            outcome.message = path + " is in use by another program";
        }
        return;
    default:
        outcome.status = OpenStatus::Failed;
        outcome.message = path + ": " + port.errorString().toStdString();
        return;
    }
}

}  // namespace

std::unique_ptr<Transport> MakeSerialTransport(const std::string& path, uint32_t baudRate, OpenOutcome& outcome)
{
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(QString::fromStdString(path));
    port->setBaudRate(static_cast<qint32>(baudRate));
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        DescribeFailure(path, *port, outcome);
        return nullptr;
    }
    outcome.status = OpenStatus::Opened;
    return std::make_unique<SerialTransport>(std::move(port));
}

}  // namespace tavrik
