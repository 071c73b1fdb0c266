// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttLogLimiter.h"

namespace quellixd {

MqttLogLimiter::MqttLogLimiter(int burst, qint64 windowMs)
    : burst_(burst)
    , windowMs_(windowMs)
{
}

QString MqttLogLimiter::pass(const QString& line, qint64 nowMs)
{
    if (!started_ || nowMs - windowStart_ >= windowMs_) {
        started_ = true;
        windowStart_ = nowMs;
        passed_ = 0;
    }
    if (passed_ >= burst_) {
        ++heldBack_;
        return {};
    }
    ++passed_;
    if (heldBack_ == 0)
        return line;
    const QString told = line + " (and " + QString::number(heldBack_) + " more like it not logged)";
    heldBack_ = 0;
    return told;
}

}  // namespace quellixd
