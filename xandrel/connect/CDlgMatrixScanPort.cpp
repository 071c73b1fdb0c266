#include "xandrel/connect/CDlgMatrixScanPort.h"

CDlgMatrixScanPort::CDlgMatrixScanPort()
    : LibraryDialog(QStringLiteral("Serial Port Scan"))
{
}
