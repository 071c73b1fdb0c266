// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/SetupMenu.h"

#include <QMenuBar>

#include "xandrel/custom/AtomicFile.h"
#include "xandrel/custom/StoredSetup.h"
#include "xandrel/device/ModelCatalog.h"
#include "xandrel/gui/CMatrix0001View.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MessageBoxes.h"
#include "xandrel/gui/Prompts.h"
#include "xandrel/gui/TextBytes.h"
#include "xandrel/gui/ModelChange.h"
#include "xandrel/gui/ModelChoiceDialog.h"
#include "xandrel/gui/PresetsMenu.h"
#include "xandrel/gui/TrafficLogWindow.h"

namespace xandrel::gui {
namespace {

// A backup holds a few kilobytes; this is far beyond any real one.
constexpr size_t kBackupReadLimit = 4u << 20;
const char* const kBackupFilter = "Setup backups (*.json);;All files (*)";

}  // namespace

SetupMenu::SetupMenu(CMatrix0001View& view, QMenuBar& bar, TrafficHistory& traffic)
    : QObject(&view)
    , view_(view)
    , traffic_(traffic)
{
    QMenu* file = bar.addMenu(tr("&File"));
    if (CanChangeModel()) {
        file->addAction(tr("&Model..."), this, &SetupMenu::ChooseModel);
        file->addSeparator();
    }
    file->addAction(tr("&Back Up Setup..."), this, &SetupMenu::BackUp);
    file->addAction(tr("&Restore Setup..."), this, &SetupMenu::Restore);
    QMenu* choices = bar.addMenu(tr("&View"));
    takeMode_ = choices->addAction(tr("Ta&ke Mode"), this, &SetupMenu::takeModeChosen);
    takeMode_->setCheckable(true);
    takeMode_->setStatusTip(
        tr("Clicks and keys prepare routings; Space (Take) sends them in one write, Esc clears them"));
    checkDevice_ = choices->addAction(tr("&Check Device"), this, &SetupMenu::checkDeviceChosen);
    checkDevice_->setCheckable(true);
    checkDevice_->setStatusTip(tr("While idle, ask the device for its ID every 10 s, so a device that is gone shows"));
    choices->addSeparator();
    choices->addAction(tr("&Traffic Log"), QKeySequence(Qt::CTRL | Qt::Key_T), this, &SetupMenu::ShowTrafficLog);
}

void SetupMenu::ShowChoices(bool takeMode, bool checkDevice)
{
    takeMode_->setChecked(takeMode);
    checkDevice_->setChecked(checkDevice);
}

// The window the menus belong to: the parent of their dialogs and messages.
QWidget* SetupMenu::window() const
{
    return view_.window();
}

void SetupMenu::ChooseModel()
{
    INFODEVICEMATRIXBASE* model = view_.model();
    ModelChoiceDialog dialog(model ? SpecOf(*model) : nullptr, window());
    if (dialog.exec() != QDialog::Accepted || !dialog.Chosen())
        return;
    RequestModel(ModelRequest{dialog.Chosen(), 0, std::nullopt});
}

void SetupMenu::BackUp()
{
    INFODEVICEMATRIXBASE* model = view_.model();
    const ModelSpec* spec = model ? SpecOf(*model) : nullptr;
    if (!spec)
        return;
    DeviceBackup backup;
    backup.model = spec->className;
    backup.id = model->m_DeviceID;
    backup.routing.assign(model->m_VideoOutputChannel.get(), model->m_VideoOutputChannel.get() + model->m_OutputNumber);
    std::string error;
    if (const std::string problem = RoutingProblem(backup.routing, *spec); !problem.empty())
        error = "The routing cannot be backed up (" + problem + "). Read the device first (Linkage).";
    else if (ReadStoredSetup(DataFolder(), PresetDeviceOf(view_.model()), backup, error)) {
        const QString path =
            ChooseFile(window(), FileUse::Save, tr("Back Up Setup"), tr(kBackupFilter), QStringLiteral("json"));
        if (path.isEmpty() || WriteFileAtomically(ToBytes(path), FormatBackup(backup), error))
            return;
    }
    ShowMessage(window(), FromBytes(error));
}

void SetupMenu::Restore()
{
    INFODEVICEMATRIXBASE* model = view_.model();
    const ModelSpec* spec = model ? SpecOf(*model) : nullptr;
    DeviceExchanges* exchanges = view_.exchanges();
    if (!spec || !exchanges || exchanges->busy())
        return;
    const QString path = ChooseFile(window(), FileUse::Open, tr("Restore Setup"), tr(kBackupFilter));
    if (path.isEmpty())
        return;
    std::string bytes, error;
    DeviceBackup wanted, current{spec->className, model->m_DeviceID, {}, {}, {}, {}};
    current.routing.assign(model->m_VideoOutputChannel.get(),
                           model->m_VideoOutputChannel.get() + model->m_OutputNumber);
    if (!ReadFileBytes(ToBytes(path), bytes, error, kBackupReadLimit)
        || !ParseBackup(bytes, ToBytes(path), wanted, error)
        || !ReadStoredSetup(DataFolder(), PresetDeviceOf(view_.model()), current, error))
        return void(ShowMessage(window(), FromBytes(error)));
    if (wanted.model != spec->className)
        return void(ShowMessage(window(),
                                tr("%1 is a backup of model %2; this window drives model %3. Nothing was changed.")
                                    .arg(path, FromBytes(wanted.model), FromBytes(spec->className))));
    const std::vector<std::string> changes = BackupChanges(current, wanted);
    if (changes.empty())
        return view_.ShowNotice(tr("The backup matches the device; nothing was changed."));
    QStringList lines;
    for (const std::string& change : changes)
        lines << FromBytes(change);
    const auto answer =
        ShowMessage(MessageRequest{window(), tr("Restoring changes:\n%1\n\nGo on?").arg(lines.join('\n')),
                                   ApplicationName(), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No});
    if (answer != QMessageBox::Yes)
        return;
    if (!WriteStoredSetup(DataFolder(), PresetDeviceOf(view_.model()), wanted, error))
        return void(ShowMessage(window(), FromBytes(error)));
    view_.ReloadNames();
    if (wanted.routing != current.routing) {
        // Agreed to already: sent at once, also in take mode.
        view_.Route(CMatrix0001View::WholeTable(wanted.routing), false);
    }
}

void SetupMenu::ShowTrafficLog()
{
    if (!trafficLog_)
        trafficLog_ = new TrafficLogWindow(traffic_, window());
    trafficLog_->setWindowFlag(Qt::Window);
    trafficLog_->show();
    trafficLog_->raise();
}

}  // namespace xandrel::gui
