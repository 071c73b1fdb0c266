// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps a flood of bad MQTT commands from filling the journal: at most a
// few lines a minute pass, and the next line that passes tells how many
// were held back.
#include <QString>

namespace quellixd {

class MqttLogLimiter {
public:
    explicit MqttLogLimiter(int burst = 5, qint64 windowMs = 60000);

    // The line to log at `nowMs` (any steady clock), or an empty string
    // when it is held back.
    QString pass(const QString& line, qint64 nowMs);

private:
    int burst_;
    qint64 windowMs_;
    qint64 windowStart_ = 0;
    bool started_ = false;
    int passed_ = 0;
    int heldBack_ = 0;
};

}  // namespace quellixd
