// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The recent past of the line: the last lines of the traffic log (frames
// sent and received, answers missed, event messages dropped), kept from the
// moment the matrix window opens, so the traffic log window opens with what
// happened before it was opened.
#include <QObject>
#include <QString>
#include <deque>
#include <memory>

#include "xandrel/XandrelExport.h"
#include "xandrel/device/TrafficLog.h"

namespace xandrel::gui {

class XANDREL_EXPORT TrafficHistory : public QObject {
    Q_OBJECT
public:
    static constexpr size_t kLines = 2000;

    struct Entry {
        QString time;  // when the line was logged, HH:mm:ss.zzz
        xandrel::traffic::Line line;
    };

    explicit TrafficHistory(QObject* parent = nullptr);
    ~TrafficHistory() override;

    const std::deque<Entry>& entries() const { return entries_; }
    void clear() { entries_.clear(); }

Q_SIGNALS:
    // A line was added (on the window's thread, whichever thread logged it).
    void added(const xandrel::gui::TrafficHistory::Entry& entry);

private:
    void add(Entry entry);

    std::deque<Entry> entries_;
    std::unique_ptr<xandrel::traffic::Listening> listening_;
};

}  // namespace xandrel::gui
