// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Private to Tavrik: the byte channel over a Qt I/O device, shared by the
// serial and TCP transports.
#include <memory>

#include "tavrik/Transport.h"

class QIODevice;

namespace tavrik {

class IoDeviceTransport : public Transport {
public:
    explicit IoDeviceTransport(std::unique_ptr<QIODevice> device);
    ~IoDeviceTransport() override;

    bool write(const uint8_t* data, size_t size, uint32_t timeoutMs) override;
    size_t read(uint8_t* data, size_t size, uint32_t timeoutMs) override;
    void discardInput() override;
    bool broken() const override;
    void releaseThread() override;

protected:
    QIODevice& device() const { return *device_; }
    // True when the device reports that it is gone rather than just quiet.
    virtual bool deviceLost() const = 0;
    // Drops received bytes the operating system still holds.
    virtual void flushSystemInput() = 0;

private:
    void noteFailure();
    void takeThread() const;

    std::unique_ptr<QIODevice> device_;
    bool broken_ = false;
};

std::unique_ptr<Transport> MakeSerialTransport(const std::string& path, uint32_t baudRate, OpenOutcome& outcome);
std::unique_ptr<Transport> MakeTcpTransport(const std::string& address, OpenOutcome& outcome);

}  // namespace tavrik
