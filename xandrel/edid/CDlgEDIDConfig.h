#pragma once
#include "xandrel/gui/LibraryDialog.h"

// The "EDID Config" dialog.
class XANDREL_EXPORT CDlgEDIDConfig : public xandrel::gui::LibraryDialog {
    Q_OBJECT
public:
    CDlgEDIDConfig();
};
