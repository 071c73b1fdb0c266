// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/TrafficHistory.h"

#include <QPointer>
#include <QTime>

namespace xandrel::gui {

// Lines come on the thread that logs them (the device's worker): each is
// stamped there and handed to the window's thread.
TrafficHistory::TrafficHistory(QObject* parent)
    : QObject(parent)
{
    QPointer<TrafficHistory> self(this);
    listening_ = std::make_unique<xandrel::traffic::Listening>([self](const xandrel::traffic::Line& line) {
        Entry entry{QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")), line};
        QMetaObject::invokeMethod(
            self.data(),
            [self, entry] {
                if (self)
                    self->add(entry);
            },
            Qt::QueuedConnection);
    });
}

TrafficHistory::~TrafficHistory() = default;

void TrafficHistory::add(Entry entry)
{
    if (entries_.size() >= kLines)
        entries_.pop_front();
    entries_.push_back(std::move(entry));
    Q_EMIT added(entries_.back());
}

}  // namespace xandrel::gui
