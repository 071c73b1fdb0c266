// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Serial Port Scan": choose a port and a device ID and connect, or first
// scan the ports to see where a device answers. The scan probes port after
// port; it shows its progress and can be stopped between two ports. Where
// "Look for other models" finds a device of another model (or ID), an item
// below the port offers it, and Open reopens the window as that model on
// that port (when the host offers reopening, xandrel/gui/ModelChange.h).
#include <memory>
#include <vector>

#include "tavrik/PortTable.h"
#include "xandrel/gui/DeviceExchanges.h"
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
    // Reopens the window as the model of the found device chosen in the tree.
    void OnOpenFound();
    bool Scanning() const { return m_Scanning; }

    QComboBox* m_PortList;           // 3025
    QComboBox* m_IdList;             // 3026
    QTreeWidget* m_Tree;             // 3027
    QCheckBox* m_ScanId;             // 3028
    QCheckBox* m_OtherModels;        // beyond the system's own: a search as every model
    std::vector<int> m_PortNumbers;  // the COM number of each port list entry

protected:
    void initialise() override;
    void reject() override;
    void showBusy(bool busy) override;

private:
    struct ListedPort {
        int number;
        tavrik::PortState state;
    };
    void listPorts();
    void fillPortList(const std::vector<ListedPort>& ports);
    void scanNextPort();
    void finishScan();
    void setScanning(bool scanning);

    QPushButton* m_ScanButton;
    QPushButton* m_OkButton;
    QPushButton* m_OpenButton;
    QProgressBar* m_Progress;
    QLabel* m_ScanState;
    bool m_Scanning = false;
    bool m_StopRequested = false;
    std::vector<tavrik::PortEntry> m_ScanEntries;  // the ports the running scan goes through
    size_t m_ScanNext = 0;
    std::unique_ptr<xandrel::gui::DeviceExchanges::PollPause> m_ScanPause;
};
