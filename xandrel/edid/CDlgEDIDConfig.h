#pragma once
// "EDID Config": one EDID image of 256 bytes, shown on two pages of hex
// boxes, moved between the device's inputs, outputs and stored EDIDs, the
// computer's memory and .bin files, and decoded on demand. The exchanges run
// on the device's worker; Stop ends a read, write or copy between two frames.
#include <functional>

#include "xandrel/edid/EdidFile.h"
#include "xandrel/edid/EdidTransfers.h"
#include "xandrel/gui/LibraryDialog.h"

class DlgEDIDPad1;
class DlgEDIDPad2;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

class XANDREL_EXPORT CDlgEDIDConfig : public xandrel::gui::LibraryDialog {
    Q_OBJECT
public:
    CDlgEDIDConfig();

    DlgEDIDPad1* m_Pad1;
    DlgEDIDPad2* m_Pad2;
    int m_CurrentPage = 0;
    xandrel::EdidImage m_EDID{};

    void OnReadEDID();
    void OnWriteEDID();
    void OnLoadFile();
    void OnSaveFile();
    void OnEDIDDetail();
    void OnInputEDIDInfo();
    void OnTabChange();

    QTabWidget* m_Tab;         // 3039
    QComboBox* m_ReadSource;   // 3036
    QComboBox* m_WriteSource;  // 3037
    QComboBox* m_WriteTarget;  // 3040
    QProgressBar* m_Progress;  // 3045
    QLineEdit* m_State;        // 3047
    QPushButton* m_Stop;

    QString StateText() const;
    void OnStop();

protected:
    void initialise() override;
    void showBusy(bool busy) override;

private:
    using EdidWork = std::function<bool(xandrel::EdidCommandHost&, xandrel::EdidProgress&)>;
    void runExchange(const QString& what, EdidWork work, std::function<void(bool done)> finished);
    void fillLists();
    bool takePages();
    void showPages();
    void setState(const QString& text);
    void showProgress(int minimum, int maximum, int value);
    QString unlessStopped(const QString& text) const;
    void writeInputsFrom(int input);
    void runTransfer(const xandrel::EdidTransfer& plan, const xandrel::EdidPlace& target);

    QPushButton* m_ReadButton;
    QPushButton* m_WriteButton;
    QPushButton* m_LoadButton;
    QPushButton* m_IdentitiesButton;
};
