#pragma once
// "Setting": read the attached device's ID, give the device a new one, and
// open the editor of the input and output names.
#include <QString>

#include "xandrel/device/INFODEVICEMATRIXBASE.h"
#include "xandrel/gui/LibraryDialog.h"

class QLineEdit;
class QPushButton;

class XANDREL_EXPORT CDlgDeviceIDSetting : public xandrel::gui::LibraryDialog {
    Q_OBJECT
public:
    CDlgDeviceIDSetting();

    // The new ID typed into the Set box: a decimal number read up to its first
    // other character after optional blanks and a sign, no digits giving 0,
    // and the device takes its low eight bits (300 gives 44, -1 gives 255).
    static BYTE ReadNewId(const QString& text);

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
