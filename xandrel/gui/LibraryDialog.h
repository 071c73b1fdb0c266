// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The base of the library's dialogs that the GUI entry points manage: each
// keeps the record it was created with and the GUI front object that made it.
// Their device commands run on the device's worker (DeviceExchanges): while
// one is under way the dialog disables what would start another, and closing
// waits until it has ended (asked to stop at its next frame boundary).
#include <QDialog>

#include "xandrel/XandrelExport.h"
#include "xandrel/gui/GUIDEVICEMATRIXBASE.h"

namespace xandrel::gui {

class DeviceExchanges;

class XANDREL_EXPORT LibraryDialog : public QDialog {
    Q_OBJECT
public:
    explicit LibraryDialog(const QString& templateCaption);

    INFOGUIPDATA m_GUIData;
    GUIDEVICEMATRIXBASE* m_GUI = nullptr;

    // Runs the dialog modally, starting afresh with its initialisation.
    int runModal(QWidget* parent);
    // Shows it without a modal loop; the first time it is initialised.
    void showModeless(QWidget* parent);
    // Shows it without a modal loop, starting afresh (tests drive a modal
    // dialog this way).
    void openFresh(QWidget* parent = nullptr);

    INFODEVICEMATRIXBASE* model() const;
    // The exchanges of the model's device; null without a model.
    DeviceExchanges* exchanges() const;

    void done(int result) override;

protected:
    // What the dialog does each time its window is (re)made: the caption from
    // the record, then the dialog's own set-up.
    virtual void initialise();
    // A command's exchange started or ended: enable what starts one only
    // while none is under way.
    virtual void showBusy(bool busy);

private:
    void prepare(QWidget* parent);
    void followExchanges();
    bool initialised_ = false;
    bool closing_ = false;
};

}  // namespace xandrel::gui
