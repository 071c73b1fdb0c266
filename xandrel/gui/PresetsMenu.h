// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The matrix window's presets (salvos): named routing tables of the data
// folder's matrix (by model) kept in data/presets.json. The Presets menu saves the
// current routing under a name, recalls, renames and deletes; Ctrl+1 to
// Ctrl+9 recall the first nine. A recall sends the whole table, read back
// to confirm, and nothing when the routing already matches. A presets file
// that is no presets file is said so and never written over.
#include <QObject>
#include <QString>

#include "xandrel/custom/PresetFile.h"

class CMatrix0001View;
class INFODEVICEMATRIXBASE;
class QMenu;
class QWidget;

namespace xandrel::gui {

// The matrix of the window's model, as presets and backups name it: the
// data folder holds one matrix, whatever port or ID reaches it.
xandrel::PresetDevice PresetDeviceOf(const INFODEVICEMATRIXBASE* model);

class PresetsMenu : public QObject {
    Q_OBJECT
public:
    // The presets of the device that the window's routing panel drives.
    explicit PresetsMenu(CMatrix0001View& view);

    // Fills the drop-down menu from the file as it is now.
    void fill(QMenu& menu);
    // Recalls the preset at `index` (0 for the first) of this device.
    void recall(int index);
    void saveCurrent();
    void rename(const QString& name);
    void remove(const QString& name);

private:
    bool load(xandrel::PresetBook& book);
    bool store(const xandrel::PresetBook& book);
    xandrel::PresetDevice device() const;
    std::string path() const;
    QWidget* window() const;

    CMatrix0001View& view_;
};

}  // namespace xandrel::gui
