#include "xandrel/connect/CDlgDeviceIDSetting.h"

CDlgDeviceIDSetting::CDlgDeviceIDSetting()
    : LibraryDialog(QStringLiteral("Setting"))
{
}
