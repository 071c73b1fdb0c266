// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The matrix window: the routing view with its toolbar and status bar. It
// carries out the toolbar's commands and drop-down menus, polls the device
// for its event messages every 2000 ms, and closes as its record says.
//
// Beyond that it keeps a lamp of the line in its status bar (the device
// answers or not), asks the device for its ID every 10 s while idle so a
// device that went away shows (View > Check Device), offers take mode, and
// remembers its model, port, device ID and View choices in data/window.json.
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <string>

#include "xandrel/XandrelExport.h"
#include "xandrel/custom/WindowSettings.h"
#include "xandrel/gui/CMatrixStatusBar.h"
#include "xandrel/gui/CMatrixVideoBar.h"
#include "xandrel/gui/GUIDEVICEMATRIXBASE.h"
#include "xandrel/gui/MatrixCommands.h"
#include "xandrel/gui/MatrixWindowNotices.h"

class CMatrix0001View;
class INFODEVICEMATRIXBASE;
class QMenu;

namespace xandrel::gui {
class DeviceExchanges;
class PresetsMenu;
class SetupMenu;
class TrafficHistory;
}  // namespace xandrel::gui

class XANDREL_EXPORT CMatrix0001Frame : public QMainWindow, public xandrel::gui::MatrixWindowNotices {
    Q_OBJECT
public:
    // The toolbar's and menus' commands, as CMatrix0001Frame::ID_MATRIX_SCAN and so on.
    using enum xandrel::gui::MatrixCommand;
    using enum xandrel::gui::MatrixMenuCommand;
    static constexpr int kPollIntervalMs = 2000;
    // While idle with the port open the device is asked for its ID this often.
    static constexpr int kCheckIntervalMs = 10000;

    CMatrix0001Frame(GUIDEVICEMATRIXBASE* gui, const INFOGUIPDATA& data, QWidget* parent = nullptr);
    ~CMatrix0001Frame() override;

    GUIDEVICEMATRIXBASE* m_GUI;
    std::array<std::string, 3> m_TitleText;  // window caption, Setting dialog, port scan dialog
    std::array<std::string, 8> m_InputName;
    std::array<std::string, 8> m_OutputName;
    CMatrixStatusBar m_wndStatusBar;
    CMatrixVideoBar m_wndToolBar;
    int32_t m_Polling = 1;
    INFOGUIPDATA m_GUIData;

    INFODEVICEMATRIXBASE* model() const { return m_GUI ? m_GUI->m_Device : nullptr; }
    CMatrix0001View* view() const { return m_View; }
    // The exchanges of the model's device (null without a model): every
    // command runs there, off the window's thread.
    xandrel::gui::DeviceExchanges* exchanges() const;
    xandrel::gui::SetupMenu* setupMenu() const { return m_Setup; }
    // The line's recent past, kept while the window exists.
    xandrel::gui::TrafficHistory& trafficHistory() const { return *m_Traffic; }

    // Status texts, the Open/Close pair, then the view from the model. While
    // an exchange has the model, the model's part waits for its end.
    void RefreshAll();
    // Carries out a toolbar or menu command.
    void OnCommand(int id);
    // Fills the drop-down menu of Mapping or Fast Select.
    void FillDropDownMenu(int id, QMenu& menu);
    // One tick of the device poll: the poll runs on the device's worker and
    // the next tick is set when it has ended.
    void OnPollTimer();
    bool PollTimerActive() const { return m_PollTimer.isActive(); }

    // The ID check: when its time has come (or now, from a test).
    void OnCheckTimer();
    bool CheckTimerActive() const { return m_CheckTimer.isActive(); }
    int CheckTimerInterval() const { return m_CheckTimer.interval(); }
    // What a command's end tells of the device (its error code).
    void NoteCommandOutcome(uint8_t errorCode);
    CMatrixStatusBar::LineState LineState() const { return m_LineState; }
    // Reads the device's state once, reporting nothing but the lamp: after
    // the device answers again, and when a host opened the port for it.
    void ReadDeviceOnce();
    // Opens COM `number` for the window (a host's choice, as the port it last
    // used) and reads the device once; a port that does not open is told in
    // the status bar, not in a message box.
    void OpenPortAndRead(int number);

    bool TakeMode() const;
    void SetTakeMode(bool on);
    bool CheckDevice() const { return m_CheckDevice; }
    void SetCheckDevice(bool on);

    // The size at which the panel and both bars show without scrolling.
    QSize NaturalSize() const;

    // What the command bracket and the String Table dialog tell the window.
    void commandEnded(INFODEVICEMATRIXBASE* model, uint8_t errorCode) override;
    void namesChanged() override;
    QWidget* reportParent() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    INFOGUIPDATA modalRecord(int titleEntry);
    void openSettingDialog();
    void openScanDialog();
    void openConfigDialog();
    void readDeviceState();
    void selectOutputsFedBySelectedInput();
    void routeOneToOne(bool wrapAround);
    void routeAllTo(int input);
    void openOrClosePort(bool open);
    void showManufacturerReport();
    bool pollsThisModel() const;
    void loadTitles();
    void addKeys();
    void followExchanges();
    void showBusy(bool busy);
    void followPollPause(bool paused);
    void afterExchange();
    void showTakeState();
    void showLineState();
    void noteAnswer(bool answered);
    void startChecking(int afterMs);
    void loadSettings();
    void rememberSettings();

    xandrel::gui::TrafficHistory* m_Traffic = nullptr;
    CMatrix0001View* m_View = nullptr;
    xandrel::gui::PresetsMenu* m_Presets = nullptr;
    xandrel::gui::SetupMenu* m_Setup = nullptr;
    QTimer m_PollTimer;
    QTimer m_CheckTimer;
    CMatrixStatusBar::LineState m_LineState = CMatrixStatusBar::LineState::NotChecked;
    bool m_CheckDevice = true;
    xandrel::WindowSettings m_Settings;  // as window.json holds them
    bool m_SettingsUsable = true;        // false when window.json is no settings file: never written over
    int32_t m_PollingBeforePause = 1;    // m_Polling as it was when a dialog paused the poll
    bool m_RefreshPending = false;
    bool m_ClosePending = false;
};
