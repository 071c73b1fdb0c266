// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The routing panel: a signal lamp and a button per input, a button and a
// list of inputs per output, and the wiring diagram between the columns.
// Routing by an input button (to every selected output), by an output button
// (the selected input to that output) or by an output's list sends the whole
// routing table to the device and refreshes the panel from the model.
//
// Beyond that: until the window has the device's routing, the lists show it
// as unknown and a write reads the routing first, so an output nobody
// touched keeps its input. In take mode a routing is prepared (shown pending
// on its output) and Take sends everything prepared in one write. A locked
// output keeps its input whatever asks to change it.
#include <QScrollArea>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "xandrel/XandrelExport.h"
#include "xandrel/custom/OutputLocks.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"

class CMappingStatic;
class CMatrixStatusBar;
class GUIDEVICEMATRIXBASE;
namespace xandrel::gui {
class DeviceExchanges;
}
class QComboBox;
class QLabel;
class QPushButton;

class XANDREL_EXPORT CMatrix0001View : public QScrollArea {
    Q_OBJECT
public:
    // Pixel geometry of the panel.
    static constexpr int kBaseWidth = 562;
    static constexpr int kRowTop = 30;
    static constexpr int kRowPitch = 44;
    static constexpr int kRowHeight = 32;
    static constexpr int kMinMappingWidth = 150;
    // Control identifiers: input k's lamp is 6000 + k, and so on.
    static constexpr int kLampId = 6000;
    static constexpr int kInputButtonId = 6300;
    static constexpr int kOutputButtonId = 6600;
    static constexpr int kOutputListId = 6900;
    static constexpr int kMappingId = 7200;

    // A routing to make: output (from 0) to input (from 1).
    using RoutingChanges = std::map<int, BYTE>;
    // Names of inputs or outputs 1 to 8, as ds.dat gives them.
    using NameTable = std::array<std::string, 8>;

    // What the view uses of its matrix window: the GUI front whose model it
    // drives, the window's name tables (the view fills them from ds.dat) and
    // the status bar its notices go to.
    struct FrameParts {
        GUIDEVICEMATRIXBASE* const& gui;
        NameTable& inputNames;
        NameTable& outputNames;
        CMatrixStatusBar& statusBar;
    };

    CMatrix0001View(const FrameParts& frame, QWidget* parent);

    // Every output of `routing` (the input of each, output 1 first).
    static RoutingChanges WholeTable(const std::vector<int>& routing);

    // Lamps, lists, route buffer and input buttons from the model; redraws.
    void RefreshFromModel();
    // The input buttons from the selected input; redraws. The part of the
    // refresh that does not read the model.
    void RefreshSelection();
    // Routes as the window's mode says: at once, or in take mode prepared
    // for Take (unless `prepareInTakeMode` is false). Locked outputs are left
    // out, and the status bar says so.
    void Route(RoutingChanges changes, bool prepareInTakeMode = true);
    // Sends the device's routing with `changes` made, in one write (on the
    // device's worker, with the bracket of every command), reading the
    // routing first while it is unknown; the write is read back to confirm.
    // `note` stays in the status bar unless the device did not follow.
    // `after` is told whether the write was taken.
    void SendNow(RoutingChanges changes, const QString& note = {}, std::function<void(bool taken)> after = {});

    // Take mode: routings are prepared, shown pending, and sent by Take in
    // one write; Esc clears them. Entering it leaves no output selected.
    void SetTakeMode(bool on);
    bool TakeMode() const { return m_TakeMode; }
    void Take();
    void ClearPending();
    const RoutingChanges& Pending() const { return m_Pending; }
    // The input prepared for output k (from 0); 0 when none.
    int PendingInput(int output) const;

    // Output locks, kept in data/locks.json (1-based there, 0-based here).
    bool IsLocked(int output) const { return m_Locks.isLocked(output + 1); }
    void ToggleLock(int output);

    // The model the window drives (through its GUI front), and its exchanges;
    // null without a model.
    INFODEVICEMATRIXBASE* model() const;
    xandrel::gui::DeviceExchanges* exchanges() const;
    // Shows `text` in the window's status bar.
    void ShowNotice(const QString& text);

    // Whether the device's routing is known (read, confirmed or reported).
    bool RoutingKnown() const;
    // The input output k (from 0) is on as the window knows it; 0 when unknown.
    int CurrentInput(int output) const;
    // Reads the names from ds.dat again and shows them (after a restore).
    void ReloadNames();
    // The keyboard's way to route: pick input k (from 0), select or leave
    // output k, then send the input to the selected outputs.
    void SelectInputByKey(int input);
    void ToggleOutputByKey(int output);
    void RouteSelection();
    // The buttons and lists that route, enabled or not (not while another
    // command's exchange is under way).
    void SetRoutingEnabled(bool enabled);

    BYTE SelectedInput() const { return m_SelectedInput; }
    void SetSelectedInput(BYTE input) { m_SelectedInput = input; }
    bool IsOutputSelected(int output) const;
    void SetOutputSelected(int output, bool selected);
    std::vector<BYTE>& RouteBuffer() { return m_RouteBuffer; }

    int MappingWidth() const { return m_MappingWidth; }
    int MappingHeight() const { return m_MappingHeight; }
    int OutputCount() const;
    // The entry selected in output k's list; -1 while it shows "unknown".
    int ListSelection(int output) const;
    QSize NaturalSize() const;

    QLabel* Lamp(int input) const { return m_Lamps.at(input); }
    QPushButton* InputButton(int input) const { return m_InputButtons.at(input); }
    QPushButton* OutputButton(int output) const { return m_OutputButtons.at(output); }
    QComboBox* OutputList(int output) const { return m_OutputLists.at(output); }
    CMappingStatic* Mapping() const { return m_Mapping; }

Q_SIGNALS:
    // The prepared routings changed (take mode).
    void pendingChanged(int count);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void loadNames();
    void createControls();
    void showNames();
    void placeOutputColumn();
    void onInputButton(int input);
    void onOutputButton(int output, bool pressed);
    void onOutputList(int output, int index);
    void showRouting();
    void showOutputNames();
    void loadLocks();
    QString dropLocked(RoutingChanges& changes) const;
    void outputMenu(int output, const QPoint& at);
    bool lineBusy() const;
    static int RowTop(int row) { return kRowTop + kRowPitch * row; }

    FrameParts m_Frame;
    QWidget* m_Panel;
    std::vector<QLabel*> m_Lamps;
    std::vector<QPushButton*> m_InputButtons;
    std::vector<QPushButton*> m_OutputButtons;
    std::vector<QComboBox*> m_OutputLists;
    CMappingStatic* m_Mapping = nullptr;
    int m_ViewHeight = 0;
    int m_MappingHeight = 0;
    int m_MappingWidth = kMinMappingWidth;
    std::vector<BYTE> m_RouteBuffer;
    BYTE m_SelectedInput = 1;
    bool m_TakeMode = false;
    RoutingChanges m_Pending;
    xandrel::OutputLocks m_Locks;
    bool m_LocksUsable = true;  // false when locks.json is no locks file: it is never written over
};
