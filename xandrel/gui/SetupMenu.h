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

class CMatrix0001Frame;
class QMenuBar;

namespace xandrel::gui {

class TrafficLogWindow;

class XANDREL_EXPORT SetupMenu : public QObject {
    Q_OBJECT
public:
    SetupMenu(CMatrix0001Frame& frame, QMenuBar& bar);

    void ChooseModel();
    void BackUp();
    void Restore();
    void ShowTrafficLog();
    TrafficLogWindow* trafficLog() const { return trafficLog_; }

private:
    CMatrix0001Frame& frame_;
    QPointer<TrafficLogWindow> trafficLog_;
};

}  // namespace xandrel::gui
