#pragma once
// The matrix window's status bar: a stretching message pane, then the serial
// port ("COM %d", with its system path where the system has no COM ports)
// and the device ID ("ID: %d").
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include "xandrel/XandrelExport.h"

class INFODEVICEMATRIXBASE;

class XANDREL_EXPORT CMatrixStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit CMatrixStatusBar(QWidget* parent = nullptr);

    void UpdateStatusText(INFODEVICEMATRIXBASE* model);

    // The cue of an exchange under way: what runs, and a bar that moves
    // (filling as the exchange reports its progress).
    void ShowBusy(const QString& what);
    void ShowProgress(int minimum, int maximum, int value);
    void ClearBusy();
    QString BusyText() const { return m_BusyText.text(); }

    QString PortText() const { return m_PortPane.text(); }
    QString IdText() const { return m_IdPane.text(); }

private:
    QLabel m_BusyText;
    QProgressBar m_BusyBar;
    QLabel m_PortPane;
    QLabel m_IdPane;
};
