#include "xandrel/edid/CDlgEDIDConfig.h"

CDlgEDIDConfig::CDlgEDIDConfig()
    : LibraryDialog(QStringLiteral("EDID Config"))
{
}
