// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One connection to the MQTT broker through libmosquitto, with a retained
// last will, kept up on the event loop of the thread it lives on.
//
// The session runs on a thread of its own (MqttBridge's), not on the
// daemon's main thread: libmosquitto resolves the broker's name with a
// blocking lookup and loads TLS files and keys when it connects, and neither
// may hold up the HTTP API or the devices. On that thread the session's
// socket is watched with QSocketNotifier (mosquitto_loop_read/write) and a
// 1 s timer (mosquitto_loop_misc: keepalive), rather than libmosquitto's own
// thread, whose reconnection gives up for good on a failed name lookup or
// TLS error and does not double its delay. A lost or refused connection is
// tried again after 1 s, then twice as long each time, up to 60 s.
//
// Every function may be called from any thread: each runs on the session's.
// Messages published while the session is not connected are dropped: the
// publisher sends everything again on connected().
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <utility>
#include <vector>

#include "MqttConfig.h"

class QSocketNotifier;
struct mosquitto;
struct mosquitto_message;

namespace quellixd {

struct MqttMessage {
    QString topic;
    QByteArray payload;
};

class MqttSession : public QObject {
    Q_OBJECT
public:
    // `reportsBroker`: this session logs the broker's reachability (one
    // session of a daemon does, so an outage is one log line, not one per
    // device).
    MqttSession(const MqttSettings& settings, const QString& clientId, MqttMessage will, bool reportsBroker);
    ~MqttSession() override;

    void open();
    // Publishes a retained message (QoS 0: on a lost connection everything
    // is published again).
    void publish(const QString& topic, const QByteArray& payload);
    // Subscribes with QoS 1, on this and every later connection.
    void subscribe(const QString& filter);
    // Publishes `last` (retained), leaves the broker within about 1 s and
    // deletes the session.
    void close(std::vector<MqttMessage> last);

Q_SIGNALS:
    void connected();
    // `retained`: a message the broker kept, not one sent now.
    void received(const QString& topic, const QByteArray& payload, bool retained);

private:
    static void OnConnect(mosquitto* handle, void* self, int code);
    static void OnMessage(mosquitto* handle, void* self, const mosquitto_message* message);

    // Runs `call` on the session's thread, in the order asked.
    template <typename Call>
    void later(Call call);
    void create();
    void connectNow();
    void watch();
    void step(int code);
    void lost(const QString& why);
    void retryLater(const QString& why);
    void connectAnswered(int code);
    void publishNow(const MqttMessage& message);
    void leave(const std::vector<MqttMessage>& last);
    QString where() const;

    MqttSettings settings_;
    QString clientId_;
    MqttMessage will_;
    bool reportsBroker_;
    QStringList filters_;
    mosquitto* handle_ = nullptr;
    int socket_ = -1;
    bool connected_ = false;
    bool version5_ = true;
    bool failing_ = false;  // the last try failed; told once until it works again
    int backoffMs_ = 1000;
    std::unique_ptr<QSocketNotifier> reader_;
    std::unique_ptr<QSocketNotifier> writer_;
    QTimer miscTimer_;
    QTimer retryTimer_;
};

}  // namespace quellixd
