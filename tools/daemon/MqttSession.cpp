// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttSession.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <poll.h>

#include "Log.h"

namespace quellixd {

namespace {

constexpr int kFirstRetryMs = 1000;
constexpr int kLongestRetryMs = 60000;
constexpr int kLeaveMs = 1000;

QString Reason(int code)
{
    if (code == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(code));
}

}  // namespace

MqttSession::MqttSession(const MqttSettings& settings, const QString& clientId, MqttMessage will, bool reportsBroker)
    : settings_(settings)
    , clientId_(clientId)
    , will_(std::move(will))
    , reportsBroker_(reportsBroker)
    , version5_(settings.protocol != MqttProtocol::V311)
    , miscTimer_(this)
    , retryTimer_(this)
{
    miscTimer_.setInterval(1000);
    connect(&miscTimer_, &QTimer::timeout, this, [this] { step(mosquitto_loop_misc(handle_)); });
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &MqttSession::connectNow);
}

MqttSession::~MqttSession()
{
    reader_.reset();
    writer_.reset();
    if (handle_)
        mosquitto_destroy(handle_);
}

template <typename Call>
void MqttSession::later(Call call)
{
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void MqttSession::open()
{
    later([this] {
        create();
        connectNow();
    });
}

void MqttSession::publish(const QString& topic, const QByteArray& payload)
{
    later([this, message = MqttMessage{topic, payload}] {
        publishNow(message);
        step(MOSQ_ERR_SUCCESS);
    });
}

void MqttSession::subscribe(const QString& filter)
{
    later([this, filter] {
        filters_.append(filter);
        if (connected_)
            mosquitto_subscribe(handle_, nullptr, filter.toUtf8().constData(), 1);
        step(MOSQ_ERR_SUCCESS);
    });
}

void MqttSession::close(std::vector<MqttMessage> last)
{
    later([this, last = std::move(last)] {
        leave(last);
        deleteLater();
    });
}

QString MqttSession::where() const
{
    return "MQTT " + clientId_ + " at " + settings_.host + ":" + QString::number(settings_.port);
}

// ---- the connection ----

void MqttSession::create()
{
    handle_ = mosquitto_new(clientId_.toUtf8().constData(), true, this);
    if (!handle_) {
        Log(where() + ": cannot make a client (" + Reason(MOSQ_ERR_ERRNO) + ")");
        return;
    }
    mosquitto_int_option(handle_, MOSQ_OPT_TCP_NODELAY, 1);
    if (!settings_.username.isEmpty())
        mosquitto_username_pw_set(handle_, settings_.username.toUtf8().constData(),
                                  settings_.password.isEmpty() ? nullptr : settings_.password.toUtf8().constData());
    if (settings_.tls) {
        const MqttTls& tls = *settings_.tls;
        const auto path = [](const QString& file) { return file.toLocal8Bit(); };
        const QByteArray ca = path(tls.caFile), cert = path(tls.certFile), key = path(tls.keyFile);
        if (tls.caFile.isEmpty())
            mosquitto_int_option(handle_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        const int code = mosquitto_tls_set(
            handle_, ca.isEmpty() ? nullptr : ca.constData(), ca.isEmpty() ? "/etc/ssl/certs" : nullptr,
            cert.isEmpty() ? nullptr : cert.constData(), key.isEmpty() ? nullptr : key.constData(), nullptr);
        if (code != MOSQ_ERR_SUCCESS)
            Log(where() + ": TLS files not taken: " + Reason(code));
    }
    const QByteArray willTopic = will_.topic.toUtf8();
    mosquitto_will_set(handle_, willTopic.constData(), static_cast<int>(will_.payload.size()),
                       will_.payload.constData(), 1, true);
    mosquitto_connect_callback_set(handle_, &MqttSession::OnConnect);
    mosquitto_message_callback_set(handle_, &MqttSession::OnMessage);
}

void MqttSession::connectNow()
{
    if (!handle_)
        return;
    mosquitto_int_option(handle_, MOSQ_OPT_PROTOCOL_VERSION, version5_ ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311);
    const int code =
        mosquitto_connect_async(handle_, settings_.host.toUtf8().constData(), settings_.port, settings_.keepalive);
    if (code != MOSQ_ERR_SUCCESS) {
        retryLater(Reason(code));
        return;
    }
    watch();
}

void MqttSession::watch()
{
    socket_ = mosquitto_socket(handle_);
    if (socket_ < 0) {
        retryLater("no socket");
        return;
    }
    reader_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Read);
    writer_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Write);
    connect(reader_.get(), &QSocketNotifier::activated, this, [this] { step(mosquitto_loop_read(handle_, 1)); });
    connect(writer_.get(), &QSocketNotifier::activated, this, [this] { step(mosquitto_loop_write(handle_, 1)); });
    miscTimer_.start();
    step(MOSQ_ERR_SUCCESS);
}

// After each of libmosquitto's steps: a failed step or a socket it closed
// ends the connection; otherwise the socket is watched for writing while
// packets wait.
void MqttSession::step(int code)
{
    if (!reader_)
        return;
    if (code != MOSQ_ERR_SUCCESS || mosquitto_socket(handle_) != socket_) {
        lost(Reason(code == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : code));
        return;
    }
    writer_->setEnabled(mosquitto_want_write(handle_));
}

void MqttSession::lost(const QString& why)
{
    // The notifiers go before libmosquitto's socket does.
    reader_.reset();
    writer_.reset();
    miscTimer_.stop();
    socket_ = -1;
    const bool wasConnected = connected_;
    connected_ = false;
    if (wasConnected && reportsBroker_)
        Log(where() + ": connection lost (" + why + ")");
    retryLater(why);
}

void MqttSession::retryLater(const QString& why)
{
    if (!failing_ && reportsBroker_)
        Log(where() + ": not connected (" + why + "); trying again after 1 s, then up to every 60 s");
    failing_ = true;
    retryTimer_.start(backoffMs_);
    backoffMs_ = std::min(backoffMs_ * 2, kLongestRetryMs);
}

void MqttSession::connectAnswered(int code)
{
    if (code != 0) {
        // A broker that speaks 3.1.1 only answers a version 5 CONNECT so.
        const bool older = code == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION || code == CONNACK_REFUSED_PROTOCOL_VERSION;
        if (older && version5_ && settings_.protocol == MqttProtocol::Auto) {
            version5_ = false;
            backoffMs_ = kFirstRetryMs;
            Log(where() + ": the broker does not speak MQTT 5; using 3.1.1");
            return;
        }
        if (!failing_)  // told once until a connection works
            Log(where() + ": the broker refused the connection: " + QString::fromUtf8(mosquitto_reason_string(code)));
        return;
    }
    connected_ = true;
    backoffMs_ = kFirstRetryMs;
    if (failing_ || reportsBroker_)
        Log(where() + ": connected (MQTT " + (version5_ ? "5" : "3.1.1") + ")");
    failing_ = false;
    for (const QString& filter : filters_)
        mosquitto_subscribe(handle_, nullptr, filter.toUtf8().constData(), 1);
    Q_EMIT connected();
}

void MqttSession::publishNow(const MqttMessage& message)
{
    if (!connected_)
        return;
    const QByteArray topic = message.topic.toUtf8();
    mosquitto_publish(handle_, nullptr, topic.constData(), static_cast<int>(message.payload.size()),
                      message.payload.constData(), 0, true);
}

// Sends `last` and a DISCONNECT, waiting for the socket to take them for at
// most kLeaveMs; without a connection the broker has sent the will already.
void MqttSession::leave(const std::vector<MqttMessage>& last)
{
    retryTimer_.stop();
    if (!connected_ || !reader_)
        return;
    for (const MqttMessage& message : last)
        publishNow(message);
    connected_ = false;
    reader_.reset();
    writer_.reset();
    miscTimer_.stop();
    mosquitto_disconnect(handle_);
    const QDeadlineTimer deadline(kLeaveMs);
    while (mosquitto_socket(handle_) >= 0 && mosquitto_want_write(handle_) && !deadline.hasExpired()) {
        pollfd writable{mosquitto_socket(handle_), POLLOUT, 0};
        if (::poll(&writable, 1, static_cast<int>(deadline.remainingTime())) <= 0
            || mosquitto_loop_write(handle_, 1) != MOSQ_ERR_SUCCESS)
            break;
    }
}

void MqttSession::OnConnect(mosquitto*, void* self, int code)
{
    static_cast<MqttSession*>(self)->connectAnswered(code);
}

void MqttSession::OnMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* session = static_cast<MqttSession*>(self);
    Q_EMIT session->received(QString::fromUtf8(message->topic),
                             QByteArray(static_cast<const char*>(message->payload), message->payloadlen),
                             message->retain);
}

}  // namespace quellixd
