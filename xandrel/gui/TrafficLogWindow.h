#pragma once
// The traffic log: a live table of every frame the library sends and
// receives and every event message it drops, with the reason (time, what,
// bytes in hex, meaning). It listens only while it is open, so the line's
// exchanges cost nothing more when nobody looks. Save As Text writes the
// table as the command line's --trace prints it.
#include <QDialog>
#include <memory>

#include "xandrel/XandrelExport.h"
#include "xandrel/device/TrafficLog.h"

class QTableWidget;

namespace xandrel::gui {

class XANDREL_EXPORT TrafficLogWindow : public QDialog {
    Q_OBJECT
public:
    // Rows beyond this many push the oldest out, so a log left open for days
    // stays small.
    static constexpr int kMaxRows = 20000;

    explicit TrafficLogWindow(QWidget* parent = nullptr);
    ~TrafficLogWindow() override;

    QTableWidget* table() const { return table_; }
    // The table as lines of text, one row a line, fields separated by spaces.
    QString Text() const;
    void SaveAsText();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void append(const QString& time, const xandrel::traffic::Line& line);

    QTableWidget* table_ = nullptr;
    std::unique_ptr<xandrel::traffic::Listening> listening_;
};

}  // namespace xandrel::gui
