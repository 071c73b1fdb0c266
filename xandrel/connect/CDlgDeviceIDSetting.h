// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Setting": read the attached device's ID, give the device a new one, and
// open the editor of the input and output names.
#include <QString>
#include <optional>

#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/gui/LibraryDialog.h"

class QLineEdit;
class QPushButton;

class XANDREL_EXPORT CDlgDeviceIDSetting : public xandrel::gui::LibraryDialog {
    Q_OBJECT
public:
    CDlgDeviceIDSetting();

    // The new ID typed into the Set box: a whole decimal number from 0 to 255,
    // blanks around it allowed; nothing for any other text (300, -1, "", 7x),
    // which Set refuses with a message instead of sending its low eight bits.
    static std::optional<BYTE> ReadNewId(const QString& text);

    void OnGet();
    void OnSet();
    void OnRename();

    QLineEdit* m_GetBox;  // 3030
    QLineEdit* m_SetBox;  // 3031

protected:
    void initialise() override;
    void showBusy(bool busy) override;

private:
    QPushButton* m_GetButton;
    QPushButton* m_SetButton;
};
