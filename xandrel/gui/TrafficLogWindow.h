// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The traffic log: a live table of every frame the library sends and
// receives and every event message it drops, with the reason (time, what,
// bytes in hex, meaning). It opens with the recent past the matrix window
// kept (TrafficHistory) and follows new lines while it is open. Save As Text
// writes the table as the command line's --trace prints it.
#include <QDialog>

#include "xandrel/XandrelExport.h"
#include "xandrel/gui/TrafficHistory.h"

class QTableWidget;

namespace xandrel::gui {

class XANDREL_EXPORT TrafficLogWindow : public QDialog {
    Q_OBJECT
public:
    // Rows beyond this many push the oldest out, so a log left open for days
    // stays small.
    static constexpr int kMaxRows = 20000;

    TrafficLogWindow(TrafficHistory& history, QWidget* parent = nullptr);
    ~TrafficLogWindow() override;

    QTableWidget* table() const { return table_; }
    // The table as lines of text, one row a line, fields separated by spaces.
    QString Text() const;
    void SaveAsText();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void append(const TrafficHistory::Entry& entry);

    TrafficHistory& history_;
    QTableWidget* table_ = nullptr;
    QMetaObject::Connection following_;
};

}  // namespace xandrel::gui
