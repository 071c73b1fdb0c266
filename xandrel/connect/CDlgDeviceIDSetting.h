#pragma once
#include "xandrel/gui/LibraryDialog.h"

// The "Setting" dialog.
class XANDREL_EXPORT CDlgDeviceIDSetting : public xandrel::gui::LibraryDialog {
    Q_OBJECT
public:
    CDlgDeviceIDSetting();
};
