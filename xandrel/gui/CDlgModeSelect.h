// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Mode Select": the operator picks the device model by name. The result is
// the position of the chosen entry: 0 when the dialog is cancelled, and
// 0xFFFFFFFF when typed text names no entry.
#include <QDialog>
#include <cstdint>

#include "xandrel/XandrelExport.h"

class QCheckBox;
class QComboBox;

class XANDREL_EXPORT CDlgModeSelect : public QDialog {
    Q_OBJECT
public:
    static constexpr uint32_t kNoMode = 0xFFFFFFFFu;

    CDlgModeSelect();

    uint32_t m_Mode = 0;

    // "Don't visible when start software every time.": remember this choice.
    bool RememberChoice() const;

    QComboBox* m_ModeList;  // 3033
    QCheckBox* m_DontShow;  // 3032

    void accept() override;
};
