#pragma once
#include "xandrel/gui/LibraryDialog.h"

// The "Serial Port Scan" dialog.
class XANDREL_EXPORT CDlgMatrixScanPort : public xandrel::gui::LibraryDialog {
    Q_OBJECT
public:
    CDlgMatrixScanPort();
};
