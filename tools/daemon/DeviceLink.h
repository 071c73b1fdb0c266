#pragma once
// One device the daemon owns: its model, port driver and worker thread, the
// state last read from it, the opening of its port with back-off, its event
// poll, and the exchanges the shared line and the HTTP API ask for. Every
// exchange with the device runs on the worker's thread, one at a time in
// the order asked; results come back to the thread of this object.
#include <QJsonArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "Config.h"
#include "tavrik/INFOPORTDRIVER.h"

class INFODEVICEMATRIXBASE;
namespace xandrel {
class DeviceWorker;
}

namespace quellixd {

// "offline": the port cannot be opened; "silent": open, but the device gave
// no valid answer to the last exchange; "online": it did.
enum class Connection {
    Offline,
    Silent,
    Online
};
const char* ConnectionName(Connection connection);

struct DeviceState {
    Connection connection = Connection::Offline;
    QString problem;           // why offline or silent
    std::vector<int> routing;  // per output, the input routed to it
    std::vector<int> signals;  // per input, 1 = signal present
    bool routingKnown = false;
    bool signalsKnown = false;
};

// An HTTP-level outcome of an exchange: 200, or 409 / 503 with a reason.
struct Outcome {
    int status = 200;
    QString error;
};

class DeviceLink : public QObject {
    Q_OBJECT
public:
    DeviceLink(const DeviceConfig& config, int pollMs, QObject* parent = nullptr);
    ~DeviceLink() override;

    // Opens the port and reads the state; a port that cannot be opened is
    // tried again after 1 s, then after twice as long each time, up to 30 s.
    void start();

    const DeviceConfig& config() const { return config_; }
    const DeviceState& state() const { return state_; }
    // The port's system path or tcp:// address.
    const std::string& address() const { return address_; }
    // The TCP port of the device's shared line, as it listens.
    quint16 linePort() const { return linePort_; }
    void setLinePort(quint16 port) { linePort_ = port; }

    // Forwards one whole frame of a client to the device. `sink` gets the
    // reply as it comes, on this object's thread, while `context` lives: the
    // acknowledgement at once, the body once whole (`last` on the final call;
    // empty bytes when the device did not answer).
    using ReplySink = std::function<void(const QByteArray& bytes, bool last)>;
    void forward(const QByteArray& frame, QObject* context, ReplySink sink);

    // Sets the outputs in `changes` (output -> input, 1-based), keeping the
    // others as the device reports them, and reads the routing back.
    void writeRouting(const std::map<int, int>& changes, QObject* context, std::function<void(Outcome)> done);

    // The manufacturer ID and product code of each input's EDID (null where
    // an input did not answer).
    void readEdidIds(QObject* context, std::function<void(Outcome, QJsonArray)> done);

    // Milliseconds before the next try to open the port (0 while open).
    int retryDelay() const { return retryTimer_.isActive() ? retryTimer_.remainingTime() : 0; }

Q_SIGNALS:
    // A whole event message from the device, as it came.
    void eventMessage(const QByteArray& message);
    // The routing, the signals or the connection changed: "routing",
    // "signals" or "connection".
    void changed(const QString& what);

private:
    // Worker-thread side.
    void openOnWorker();
    void pollOnWorker();
    void forwardOnWorker(const QByteArray& frame, const std::function<void(const QByteArray&, bool)>& deliver);
    bool readByte(uint8_t& byte, uint32_t tryMs, uint8_t tries);
    void drainEvents(uint32_t firstByteMs);
    void takeEvent(uint8_t first);
    void noteAnswered(bool answered, const QString& problem);
    bool portLost();
    void publish();
    void takeTraffic(const QByteArray& frame, uint8_t ack, const QByteArray& body);

    // This object's thread.
    void apply(const DeviceState& state);
    void scheduleRetry();
    void poll();

    DeviceConfig config_;
    std::string address_;
    int portNumber_ = 0;
    quint16 linePort_ = 0;
    DeviceState state_;
    QTimer retryTimer_;
    QTimer pollTimer_;
    int backoffMs_ = 1000;
    bool pollQueued_ = false;
    bool opening_ = false;

    // Used on the worker's thread only (the model's arrays are read there
    // and copied out by publish()).
    INFOPORTDRIVER driver_;
    std::unique_ptr<INFODEVICEMATRIXBASE> model_;
    Connection workerConnection_ = Connection::Offline;
    QString workerProblem_;
    bool routingKnown_ = false;
    bool signalsKnown_ = false;
    // Last member: its thread ends first when the link goes.
    std::unique_ptr<xandrel::DeviceWorker> worker_;
};

}  // namespace quellixd
