#pragma once
// The routing panel: a signal lamp and a button per input, a button and a
// list of inputs per output, and the wiring diagram between the columns.
// Routing by an input button (to every selected output), by an output button
// (the selected input to that output) or by an output's list sends the whole
// route buffer to the device and refreshes the panel from the model.
#include <QScrollArea>
#include <vector>

#include "xandrel/XandrelExport.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"

class CMatrix0001Frame;
class CMappingStatic;
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

    explicit CMatrix0001View(CMatrix0001Frame* frame);

    // Lamps, lists, route buffer and input buttons from the model; redraws.
    void RefreshFromModel();
    // The input buttons from the selected input; redraws. The part of the
    // refresh that does not read the model.
    void RefreshSelection();
    // Sends the route buffer to the device (on the device's worker, with the
    // bracket of every command); the refresh afterwards shows the outcome.
    void SendRouteBuffer();
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
    // The entry selected in output k's list (the first one if none was).
    int ListSelection(int output);
    QSize NaturalSize() const;

    QLabel* Lamp(int input) const { return m_Lamps.at(input); }
    QPushButton* InputButton(int input) const { return m_InputButtons.at(input); }
    QPushButton* OutputButton(int output) const { return m_OutputButtons.at(output); }
    QComboBox* OutputList(int output) const { return m_OutputLists.at(output); }
    CMappingStatic* Mapping() const { return m_Mapping; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    INFODEVICEMATRIXBASE* model() const;
    void loadNames();
    void createControls();
    void showNames();
    void placeOutputColumn();
    void onInputButton(int input);
    void onOutputButton(int output, bool pressed);
    void onOutputList(int output, int index);
    bool lineBusy() const;
    static int RowTop(int row) { return kRowTop + kRowPitch * row; }

    CMatrix0001Frame* m_Frame;
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
};
