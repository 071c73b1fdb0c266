// SPDX-License-Identifier: GPL-3.0-or-later
// "tcp://host:port": raw TCP to a serial device server (or to the simulator).
#include <QTcpSocket>

#include "tavrik/IoDeviceTransport.h"

namespace tavrik {
namespace {

// How long opening waits for a device server to accept the connection.
constexpr int kConnectTimeoutMs = 3000;

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

// "tcp://host:port" or "tcp://host:port?token=SECRET": the token is sent
// first, as the line "AUTH SECRET", to a server that shares the device
// (quellixd listening beyond this computer asks for one).
bool SplitHostPort(const std::string& address, QString& host, quint16& port, std::string& token)
{
    std::string rest = address.substr(6);  // after "tcp://"
    if (const auto query = rest.find('?'); query != std::string::npos) {
        const std::string parameter = rest.substr(query + 1);
        if (parameter.rfind("token=", 0) != 0 || parameter.size() == 6)
            return false;
        token = parameter.substr(6);
        rest.erase(query);
    }
    const auto colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    bool ok = false;
    const uint value = QString::fromStdString(rest.substr(colon + 1)).toUInt(&ok);
    if (!ok || value == 0 || value > 65535)
        return false;
    host = QString::fromStdString(rest.substr(0, colon));
    if (host.startsWith('[') && host.endsWith(']'))
        host = host.mid(1, host.size() - 2);
    port = static_cast<quint16>(value);
    return true;
}

}  // namespace

std::unique_ptr<Transport> MakeTcpTransport(const std::string& address, OpenOutcome& outcome)
{
    QString host;
    quint16 port = 0;
    std::string token;
    if (!SplitHostPort(address, host, port, token)) {
        outcome.status = OpenStatus::NotFound;
        outcome.message = address + ": not a tcp://host:port[?token=SECRET] address";
        return nullptr;
    }
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(host, port);
    if (!socket->waitForConnected(kConnectTimeoutMs)) {
        const auto error = socket->error();
        outcome.status =
            (error == QAbstractSocket::ConnectionRefusedError || error == QAbstractSocket::HostNotFoundError)
            ? OpenStatus::NotFound
            : OpenStatus::Failed;
        outcome.message = address + ": " + socket->errorString().toStdString();
        return nullptr;
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (!token.empty()) {
        socket->write(QByteArray::fromStdString("AUTH " + token + "\n"));
        socket->waitForBytesWritten(kConnectTimeoutMs);
    }
    outcome.status = OpenStatus::Opened;
    return std::make_unique<TcpTransport>(std::move(socket));
}

}  // namespace tavrik
