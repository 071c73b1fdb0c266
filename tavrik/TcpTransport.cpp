// SPDX-License-Identifier: GPL-3.0-or-later
// "tcp://host:port": raw TCP to a serial device server (or to the simulator).
#include <QTcpSocket>

#include "tavrik/IoDeviceTransport.h"
#include "tavrik/TcpAddress.h"

namespace tavrik {
namespace {

class TcpTransport : public IoDeviceTransport {
public:
    explicit TcpTransport(std::unique_ptr<QTcpSocket> socket)
        : IoDeviceTransport(std::move(socket))
    {
    }

protected:
    QTcpSocket& socket() const { return static_cast<QTcpSocket&>(device()); }
    bool deviceLost() const override { return socket().state() != QAbstractSocket::ConnectedState; }
    void flushSystemInput() override
    {
        while (socket().waitForReadyRead(0))
            socket().readAll();
    }
};

}  // namespace

std::unique_ptr<Transport> MakeTcpTransport(const std::string& address, OpenOutcome& outcome)
{
    TcpAddress parsed;
    if (!ParseTcpAddress(address, parsed, outcome))
        return nullptr;
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QString::fromStdString(parsed.host), parsed.port);
    if (!socket->waitForConnected(kTcpConnectTimeoutMs)) {
        const auto error = socket->error();
        outcome.status =
            (error == QAbstractSocket::ConnectionRefusedError || error == QAbstractSocket::HostNotFoundError)
            ? OpenStatus::NotFound
            : OpenStatus::Failed;
        outcome.message = address + ": " + socket->errorString().toStdString();
        return nullptr;
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (!parsed.token.empty()) {
        socket->write(QByteArray::fromStdString(AuthLine(parsed.token)));
        socket->waitForBytesWritten(kTcpConnectTimeoutMs);
    }
    outcome.status = OpenStatus::Opened;
    return std::make_unique<TcpTransport>(std::move(socket));
}

}  // namespace tavrik
