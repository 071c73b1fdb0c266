// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The matrix window's status bar: a stretching message pane, then the take
// mode's count of prepared routings (in take mode only), the line's lamp (is
// the device answering?), the serial port ("COM %d", with its system path
// where the system has no COM ports) and the device ID ("ID: %d").
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include "xandrel/XandrelExport.h"

class INFODEVICEMATRIXBASE;

class XANDREL_EXPORT CMatrixStatusBar : public QStatusBar {
    Q_OBJECT
public:
    // What the window knows of the device at the other end of the line.
    enum class LineState {
        PortClosed,
        NotChecked,  // the port is open; nothing was heard since
        Answering,   // the last exchange had a valid answer
        Silent       // the last exchange had none
    };

    explicit CMatrixStatusBar(QWidget* parent = nullptr);

    void UpdateStatusText(INFODEVICEMATRIXBASE* model);

    // The cue of an exchange under way: what runs, and a bar that moves
    // (filling as the exchange reports its progress).
    void ShowBusy(const QString& what);
    void ShowProgress(int minimum, int maximum, int value);
    void ClearBusy();
    // What the last command found that the person should know (the device
    // did not follow a routing, say), until the next command; "" clears it.
    void ShowNotice(const QString& text);
    QString BusyText() const { return m_BusyText.text(); }

    QString PortText() const { return m_PortPane.text(); }
    QString IdText() const { return m_IdPane.text(); }

    void ShowLine(LineState state);
    QString LineText() const { return m_LineText.text(); }
    // Take mode: the count of prepared routings; hidden outside take mode.
    void ShowTakeMode(bool on, int prepared);
    QString TakeText() const { return m_TakePane.isVisible() ? m_TakePane.text() : QString(); }

private:
    QLabel m_BusyText;  // what runs, or after it the notice it left
    QProgressBar m_BusyBar;
    bool m_ShowingNotice = false;
    QLabel m_TakePane;
    QLabel m_LineLamp;
    QLabel m_LineText;
    QLabel m_PortPane;
    QLabel m_IdPane;
};
