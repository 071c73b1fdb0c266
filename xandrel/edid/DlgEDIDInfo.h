// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "EDID Information": shows a ready-made text, the decoded EDID report or the
// list of the inputs' manufacturer IDs.
#include <QDialog>
#include <string>

#include "xandrel/XandrelExport.h"

class INFODEVICEMATRIXBASE;
class QPlainTextEdit;

class XANDREL_EXPORT DlgEDIDInfo : public QDialog {
    Q_OBJECT
public:
    // `text` is report bytes (CR LF lines, code page 950); the dialog keeps a copy.
    explicit DlgEDIDInfo(const std::string& text, QWidget* parent = nullptr);

    std::string m_Text;

    QString shownText() const;

    // The manufacturer IDs of inputs 1 to 8, read on the device's worker in
    // the bracket's start (no refresh and no error message follow), then
    // shown in this dialog, modal, with `parent`. The device poll pauses
    // until the dialog closes.
    static void ShowInputIdentities(INFODEVICEMATRIXBASE& model, QWidget* parent);

private:
    QPlainTextEdit* m_Box;
};
