#pragma once
// "Serial Port Scan": choose a port and a device ID and connect, or first
// scan the ports to see where a device answers. The scan probes port after
// port; it shows its progress and can be stopped between two ports.
#include <vector>

#include "xandrel/gui/LibraryDialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class XANDREL_EXPORT CDlgMatrixScanPort : public xandrel::gui::LibraryDialog {
    Q_OBJECT
public:
    static constexpr int kIdEntries = 256;

    CDlgMatrixScanPort();

    // How a port is named to a person: "\\.\COM3" on Windows, the COM number
    // with the system path elsewhere.
    static QString PortText(int number);

    void OnScan();
    void OnTreeSelection();
    void OnOK();
    bool Scanning() const { return m_Scanning; }

    QComboBox* m_PortList;   // 3025
    QComboBox* m_IdList;     // 3026
    QTreeWidget* m_Tree;     // 3027
    QCheckBox* m_ScanId;     // 3028
    std::vector<int> m_PortNumbers;  // the COM number of each port list entry

protected:
    void initialise() override;
    void reject() override;

private:
    void fillPortList();
    QString probe(int number, const QString& text);
    void setScanning(bool scanning);

    QPushButton* m_ScanButton;
    QPushButton* m_OkButton;
    QProgressBar* m_Progress;
    QLabel* m_ScanState;
    bool m_Scanning = false;
    bool m_StopRequested = false;
};
