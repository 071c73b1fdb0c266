#include "DeviceLink.h"

#include <QJsonObject>
#include <QPointer>

#include <algorithm>

#include "LineProtocol.h"
#include "Log.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/DeviceWorker.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/device/RoutingCheck.h"
#include "xandrel/edid/EdidExchange.h"
#include "xandrel/edid/EdidReport.h"

namespace quellixd {

namespace {

constexpr int kFirstRetryMs = 1000;
constexpr int kLongestRetryMs = 30000;
// The acknowledgement and every byte of a body: two tries of 500 ms.
constexpr uint32_t kByteTryMs = 500;
constexpr uint8_t kByteTries = 2;
// The first byte of a body the device works on first (a whole EDID, a
// copy's B6): up to 12 s, longer than any client waits.
constexpr uint32_t kLateTryMs = 1000;
constexpr uint8_t kLateTries = 12;
// Event messages that may stand in the way of an acknowledgement or a late body.
constexpr int kEventsBeforeAck = 4;

// Runs `call` on `context`'s thread, unless `context` is gone by then.
template <typename Call>
void Deliver(QObject* context, Call call)
{
    QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
}

std::vector<int> Entries(const BYTE* values, int count)
{
    return std::vector<int>(values, values + count);
}

}  // namespace

const char* ConnectionName(Connection connection)
{
    switch (connection) {
    case Connection::Offline: return "offline";
    case Connection::Silent: return "silent";
    case Connection::Online: return "online";
    }
    return "offline";
}

DeviceLink::DeviceLink(const DeviceConfig& config, int pollMs, QObject* parent)
    : QObject(parent)
    , config_(config)
    , model_(xandrel::CreateModel(*config.model))
{
    std::string problem;
    portNumber_ = tavrik::ResolvePort(config.port, problem);
    if (portNumber_ == 0)  // a path absent now: numbered for the run, opened once it appears
        portNumber_ = tavrik::PortTable::instance().numberOf(config.port);
    address_ = tavrik::PortTable::instance().addressOf(portNumber_);
    if (address_.empty())
        address_ = config.port;
    model_->DEVMA_SetPortDriver(&driver_);
    model_->m_DeviceID = static_cast<BYTE>(config.id);
    driver_.m_ShowError = 0;
    state_.problem = "not opened yet";
    state_.routing.assign(config.model->outputs, 0);
    state_.signals.assign(config.model->inputs, 0);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &DeviceLink::start);
    pollTimer_.setInterval(pollMs);
    connect(&pollTimer_, &QTimer::timeout, this, &DeviceLink::poll);
    worker_ = std::make_unique<xandrel::DeviceWorker>(*model_);
}

DeviceLink::~DeviceLink()
{
    worker_.reset();
    driver_.RS232_ClosePort();
}

void DeviceLink::start()
{
    if (opening_)
        return;
    opening_ = true;
    worker_->post([this] { openOnWorker(); });
    pollTimer_.start();
}

void DeviceLink::scheduleRetry()
{
    Log("device " + config_.name + ": " + QString::fromStdString(config_.port) + " offline (" + state_.problem
        + "); next try in " + QString::number(backoffMs_ / 1000.0) + " s");
    retryTimer_.start(backoffMs_);
    backoffMs_ = std::min(backoffMs_ * 2, kLongestRetryMs);
}

void DeviceLink::poll()
{
    if (pollQueued_ || state_.connection == Connection::Offline)
        return;
    pollQueued_ = true;
    worker_->post([this] { pollOnWorker(); });
}

void DeviceLink::apply(const DeviceState& state)
{
    const DeviceState before = state_;
    state_ = state;
    if (before.connection != state.connection) {
        Log("device " + config_.name + ": " + ConnectionName(state.connection)
            + (state.problem.isEmpty() ? QString() : " (" + state.problem + ")"));
        Q_EMIT changed("connection");
    }
    if (before.routing != state.routing && state.routingKnown)
        Q_EMIT changed("routing");
    if (before.signals != state.signals && state.signalsKnown)
        Q_EMIT changed("signals");
}

// ---- worker thread ----

void DeviceLink::publish()
{
    DeviceState state;
    state.connection = workerConnection_;
    state.problem = workerProblem_;
    state.routing = Entries(model_->m_VideoOutputChannel.get(), model_->m_OutputNumber);
    state.signals.assign(model_->m_VideoInputSignal.get(), model_->m_VideoInputSignal.get() + model_->m_InputNumber);
    state.routingKnown = routingKnown_;
    state.signalsKnown = signalsKnown_;
    Deliver(this, [this, state] { apply(state); });
}

void DeviceLink::openOnWorker()
{
    driver_.RS232_ClosePort();
    const int opened = driver_.RS232_OpenPort(portNumber_, model_->m_BaudRate);
    if (opened != 1) {
        workerConnection_ = Connection::Offline;
        workerProblem_ = driver_.RS232_LastErrorText();
        if (workerProblem_.isEmpty())
            workerProblem_ = "cannot open " + QString::fromStdString(address_);
        publish();
        Deliver(this, [this] {
            opening_ = false;
            scheduleRetry();
        });
        return;
    }
    routingKnown_ = model_->DEVMA_GetVideoOutputChannel() == 1 || routingKnown_;
    signalsKnown_ = model_->DEVMA_GetVideoInputSignal() == 1 || signalsKnown_;
    noteAnswered(routingKnown_ || signalsKnown_, "no answer to the state read");
    publish();
    Deliver(this, [this] {
        opening_ = false;
        backoffMs_ = kFirstRetryMs;
    });
}

// True when the port went away during the last exchange: the link goes
// offline and the port is opened afresh after the back-off.
bool DeviceLink::portLost()
{
    if (driver_.RS232_IsOpen() && !driver_.RS232_DeviceLost())
        return false;
    workerConnection_ = Connection::Offline;
    workerProblem_ = driver_.RS232_LastErrorText();
    if (workerProblem_.isEmpty())
        workerProblem_ = "the port closed";
    driver_.RS232_ClosePort();
    publish();
    Deliver(this, [this] {
        if (!opening_ && !retryTimer_.isActive())
            scheduleRetry();
    });
    return true;
}

void DeviceLink::noteAnswered(bool answered, const QString& problem)
{
    workerConnection_ = answered ? Connection::Online : Connection::Silent;
    workerProblem_ = answered ? QString() : problem;
}

// One byte within `tries` tries of `tryMs`; the port's read settings are
// put back afterwards, for the model's exchanges that follow.
bool DeviceLink::readByte(uint8_t& byte, uint32_t tryMs, uint8_t tries)
{
    COMMTIMEOUTS saved{};
    driver_.RS232_GetTimeouts(saved);
    const uint8_t savedTimes = driver_.m_ReadTimes;
    const uint32_t savedInterval = driver_.m_ReadInterval;
    COMMTIMEOUTS timeouts = saved;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = tryMs;
    driver_.RS232_SetTimeouts(timeouts);
    driver_.m_ReadTimes = tries;
    driver_.m_ReadInterval = 1;
    const bool read = driver_.RS232_ReadBuf(&byte, 1) == 1;
    driver_.RS232_SetTimeouts(saved);
    driver_.m_ReadTimes = savedTimes;
    driver_.m_ReadInterval = savedInterval;
    return read;
}

// Reads what the device sent unasked: event messages go to every client and
// into the state; other bytes are stray and dropped.
void DeviceLink::drainEvents(uint32_t firstByteMs)
{
    uint8_t first = 0;
    while (readByte(first, firstByteMs, 1)) {
        takeEvent(first);
        firstByteMs = 1;
    }
}

void DeviceLink::takeEvent(uint8_t first)
{
    const int length = EventLength(first);
    if (length == 0)
        return;
    QByteArray message(1, static_cast<char>(first));
    uint8_t byte = 0;
    while (message.size() < length && readByte(byte, kByteTryMs, kByteTries))
        message.append(static_cast<char>(byte));
    const std::optional<EventMessage> event = ParseEvent(*config_.model, message);
    if (!event) {
        Log("device " + config_.name + ": dropped " + QString::number(message.size())
            + " bytes that are no event message of the model");
        return;
    }
    BYTE* target = event->type == 1 ? model_->m_VideoOutputChannel.get() : nullptr;
    if (target)
        std::copy(event->entries.begin(), event->entries.end(), target);
    else
        std::copy(event->entries.begin(), event->entries.end(), model_->m_VideoInputSignal.get());
    (event->type == 1 ? routingKnown_ : signalsKnown_) = true;
    Q_EMIT eventMessage(message);  // queued to the link's thread
    noteAnswered(true, {});
    publish();
}

void DeviceLink::pollOnWorker()
{
    Deliver(this, [this] { pollQueued_ = false; });
    if (workerConnection_ == Connection::Offline)
        return;
    drainEvents(5);
    if (portLost() || workerConnection_ != Connection::Silent)
        return;
    // A device that stopped answering is asked for its state until it answers again.
    const bool routing = model_->DEVMA_GetVideoOutputChannel() == 1;
    routingKnown_ = routingKnown_ || routing;
    if (routing)
        signalsKnown_ = model_->DEVMA_GetVideoInputSignal() == 1 || signalsKnown_;
    if (!portLost()) {
        noteAnswered(routing, workerProblem_);
        publish();
    }
}

// What a client's exchange says of the device's state: a routing or signal
// read answered, or a routing write acknowledged.
void DeviceLink::takeTraffic(const QByteArray& frame, uint8_t ack, const QByteArray& body)
{
    if (ack != INFODEVICEMATRIXBASE::kAcknowledge)
        return;
    const auto code = static_cast<uint8_t>(frame[6]);
    const xandrel::ModelSpec& model = *config_.model;
    const auto fits = [](const QByteArray& values, int count, int highest) {
        return values.size() >= count && std::all_of(values.begin(), values.begin() + count, [highest](char v) {
                   return static_cast<uint8_t>(v) <= highest;
               });
    };
    if (code == INFODEVICEMATRIXBASE::kReadRouting && fits(body.mid(1), model.outputs, model.inputs)) {
        std::copy_n(body.constData() + 1, model.outputs, reinterpret_cast<char*>(model_->m_VideoOutputChannel.get()));
        routingKnown_ = true;
    } else if (code == INFODEVICEMATRIXBASE::kReadSignals && fits(body.mid(1), model.inputs, 1)) {
        for (int k = 0; k < model.inputs; ++k)
            model_->m_VideoInputSignal[k] = static_cast<uint8_t>(body[1 + k]);
        signalsKnown_ = true;
    } else if (code == INFODEVICEMATRIXBASE::kWriteRouting) {
        for (int k = 0; k < model.outputs && 7 + k < frame.size() - 1; ++k) {
            const int input = static_cast<uint8_t>(frame[7 + k]);
            if (input >= 1 && input <= model.inputs)
                model_->m_VideoOutputChannel[k] = static_cast<BYTE>(input);
        }
    } else {
        return;
    }
    publish();
}

void DeviceLink::forwardOnWorker(const QByteArray& frame, const std::function<void(const QByteArray&, bool)>& deliver)
{
    if (workerConnection_ == Connection::Offline) {
        Log("device " + config_.name + ": dropped a client's frame: the device is offline");
        deliver({}, true);
        return;
    }
    drainEvents(0);  // only what has arrived already: no wait before the frame
    if (driver_.RS232_WriteBuf(reinterpret_cast<const uint8_t*>(frame.constData()), static_cast<uint32_t>(frame.size()))
        != 1) {
        deliver({}, true);
        portLost();
        return;
    }
    uint8_t ack = 0;
    bool acknowledged = false;
    for (int events = 0; events <= kEventsBeforeAck; ++events) {
        if (!readByte(ack, kByteTryMs, kByteTries))
            break;
        if (ack == INFODEVICEMATRIXBASE::kAcknowledge || EventLength(ack) == 0) {
            acknowledged = true;
            break;
        }
        takeEvent(ack);  // an event message sent just before the answer
    }
    if (!acknowledged) {
        deliver({}, true);
        if (!portLost()) {
            noteAnswered(false, "no acknowledgement of a client's frame");
            publish();
        }
        return;
    }
    const ExpectedReply expected = ReplyTo(*config_.model, frame);
    const bool bodyFollows = ack == INFODEVICEMATRIXBASE::kAcknowledge && expected.bodyBytes > 0;
    // The AA goes ahead on its own only when the body takes the device a
    // while (the client reads the AA within its usual time-out meanwhile).
    if (!bodyFollows || expected.bodyLater)
        deliver(QByteArray(1, static_cast<char>(ack)), !bodyFollows);
    if (!bodyFollows) {
        noteAnswered(ack == INFODEVICEMATRIXBASE::kAcknowledge, "a client's frame was not acknowledged");
        takeTraffic(frame, ack, {});
        publish();
        return;
    }
    QByteArray body;
    uint8_t byte = 0;
    int events = 0;
    while (body.size() < expected.bodyBytes) {
        const bool late = body.isEmpty() && expected.bodyLater;
        if (!readByte(byte, late ? kLateTryMs : kByteTryMs, late ? kLateTries : kByteTries))
            break;
        // While the device works on a late body (a copy's B6 or 00, an EDID
        // starting 00) the front panel may report first: such a message is
        // no body's first byte.
        if (late && EventLength(byte) != 0 && events++ < kEventsBeforeAck) {
            takeEvent(byte);
            continue;
        }
        body.append(static_cast<char>(byte));
    }
    deliver(expected.bodyLater ? body : static_cast<char>(ack) + body, true);
    if (portLost())
        return;
    noteAnswered(body.size() == expected.bodyBytes, "a reply body was cut off");
    takeTraffic(frame, ack, body);
    publish();
}

// ---- requests ----

void DeviceLink::forward(const QByteArray& frame, QObject* context, ReplySink sink)
{
    QPointer<QObject> guard(context);
    worker_->post([this, frame, guard, sink] {
        forwardOnWorker(frame, [guard, sink](const QByteArray& bytes, bool last) {
            if (guard)
                Deliver(guard.data(), [sink, bytes, last] { sink(bytes, last); });
        });
    });
}

void DeviceLink::writeRouting(const std::map<int, int>& changes, QObject* context, std::function<void(Outcome)> done)
{
    QPointer<QObject> guard(context);
    worker_->post([this, changes, guard, done] {
        const auto finish = [guard, done](Outcome outcome) {
            if (guard)
                Deliver(guard.data(), [done, outcome] { done(outcome); });
        };
        if (workerConnection_ == Connection::Offline) {
            finish({503, "the device is offline: " + workerProblem_});
            return;
        }
        // Outputs not named keep what the device has now, which a client of
        // the shared line or the front panel may have changed.
        const bool whole = static_cast<int>(changes.size()) == model_->m_OutputNumber;
        if (!whole && model_->DEVMA_GetVideoOutputChannel() != 1) {
            noteAnswered(false, "no answer to the routing read");
            publish();
            finish({503, "the device did not answer the routing read"});
            return;
        }
        std::vector<BYTE> routing(model_->m_VideoOutputChannel.get(),
                                  model_->m_VideoOutputChannel.get() + model_->m_OutputNumber);
        for (const auto& [output, input] : changes)
            routing[output - 1] = static_cast<BYTE>(input);
        if (model_->DEVMA_SetVideoOutputChannel(routing.data()) != 1) {
            if (!portLost()) {
                noteAnswered(false, "no answer to the routing write");
                publish();
            }
            finish({503, "the device did not acknowledge the routing"});
            return;
        }
        const std::string problem = xandrel::ConfirmRouting(*model_, std::vector<int>(routing.begin(), routing.end()));
        routingKnown_ = true;
        noteAnswered(true, {});
        publish();
        finish(problem.empty() ? Outcome{}
                               : Outcome{409, "the device did not follow: " + QString::fromStdString(problem)});
    });
}

void DeviceLink::readEdidIds(QObject* context, std::function<void(Outcome, QJsonArray)> done)
{
    QPointer<QObject> guard(context);
    worker_->post([this, guard, done] {
        QJsonArray inputs;
        Outcome outcome;
        if (workerConnection_ == Connection::Offline) {
            outcome = {503, "the device is offline: " + workerProblem_};
        } else {
            bool any = false;
            for (int input = 1; input <= model_->m_InputNumber; ++input) {
                const auto identity = xandrel::EDID_IdentityProbe(*model_, static_cast<BYTE>(input));
                any = any || identity;
                if (!identity) {
                    inputs.append(QJsonValue());
                    continue;
                }
                inputs.append(QJsonObject{
                    {"input", input},
                    {"manufacturer",
                     QString::fromStdString(
                         xandrel::EdidManufacturerLetters(identity->manufacturer[0], identity->manufacturer[1]))},
                    {"product", QString::asprintf("%02X%02X", identity->product[1], identity->product[0])}});
            }
            if (!any)
                outcome = {503, "no input answered"};
            if (!portLost()) {
                noteAnswered(any, "no answer to the EDID probes");
                publish();
            }
        }
        if (guard)
            Deliver(guard.data(), [done, outcome, inputs] { done(outcome, inputs); });
    });
}

}  // namespace quellixd
