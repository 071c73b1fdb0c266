// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "EDID Config": one EDID image of 256 bytes, shown on two pages of hex
// boxes, moved between the device's inputs, outputs and stored EDIDs, the
// computer's memory and .bin files, and decoded on demand. The exchanges run
// on the device's worker; Stop ends a read, write or copy between two frames.
// A write to several inputs or from a stored EDID is asked first; an image
// write keeps what the place held, and offers it back when the write is
// stopped or fails part-way.
#include <functional>

#include "xandrel/edid/EdidFile.h"
#include "xandrel/edid/EdidTransfers.h"
#include "xandrel/edid/EdidUndoableWrite.h"
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
    // How an image write to one place ended: written, stopped, and after a
    // write that ended part-way what the place holds now (a sentence and a
    // word for the state box).
    struct WriteEnd {
        bool written = false;
        bool stopped = false;
        QString holding;
        QString note;
    };
    using WriteEnded = std::function<void(const WriteEnd&)>;

    void runExchange(const QString& what, EdidWork work, std::function<void(bool done)> finished,
                     bool stoppable = true);
    void fillLists();
    bool takePages();
    void showPages();
    void setState(const QString& text);
    void showProgress(int minimum, int maximum, int value);
    QString unlessStopped(const QString& text) const;
    bool confirmWrite(const xandrel::EdidPlace& source, const xandrel::EdidPlace& target);
    void writeImage(const xandrel::EdidPlace& target);
    void writeInputsFrom(int input);
    void writeImageTo(const xandrel::EdidPlace& place, bool pauseAfterFailure, WriteEnded ended);
    void offerRestore(const xandrel::EdidPlace& place, const xandrel::KeptWrite& write, const xandrel::EdidImage& image,
                      bool stopped, WriteEnded ended);
    void showWriteEnd(const QString& text, const WriteEnd& end, const QString& caption);
    void runCopy(const xandrel::EdidTransfer& plan, const xandrel::EdidPlace& target);

    QPushButton* m_ReadButton;
    QPushButton* m_WriteButton;
    QPushButton* m_LoadButton;
    QPushButton* m_IdentitiesButton;
};
