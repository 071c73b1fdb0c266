// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The matrix window's menu bar beyond its toolbar: File (Model..., Back Up
// Setup..., Restore Setup...) and View (Take Mode, Check Device, Traffic
// Log). Model... reopens the window as another model when the host offers
// that (xandrel/gui/ModelChange.h). A backup is the device's
// routing and ID as the window last read them, the names and the device's
// presets; a restore checks the file, shows what it would change and, once
// agreed, writes the names and presets and sends the routing (read back to
// confirm). A backup of another model is refused.
#include <QObject>
#include <QPointer>

#include "xandrel/XandrelExport.h"

class CMatrix0001View;
class QAction;
class QMenuBar;

namespace xandrel::gui {

class TrafficHistory;
class TrafficLogWindow;

class XANDREL_EXPORT SetupMenu : public QObject {
    Q_OBJECT
public:
    // The menus of the window whose routing panel is `view`, into `bar`;
    // the traffic log shows `traffic`.
    SetupMenu(CMatrix0001View& view, QMenuBar& bar, TrafficHistory& traffic);

    // The View menu's choices (the window keeps them), checked as they are.
    void ShowChoices(bool takeMode, bool checkDevice);

    void ChooseModel();
    void BackUp();
    void Restore();
    void ShowTrafficLog();
    TrafficLogWindow* trafficLog() const { return trafficLog_; }

Q_SIGNALS:
    void takeModeChosen(bool on);
    void checkDeviceChosen(bool on);

private:
    QWidget* window() const;

    CMatrix0001View& view_;
    TrafficHistory& traffic_;
    QAction* takeMode_;
    QAction* checkDevice_;
    QPointer<TrafficLogWindow> trafficLog_;
};

}  // namespace xandrel::gui
