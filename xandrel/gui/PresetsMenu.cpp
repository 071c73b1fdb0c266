// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/PresetsMenu.h"

#include <QMenu>

#include "xandrel/device/ModelCatalog.h"
#include "xandrel/gui/CMatrix0001View.h"
#include "xandrel/gui/DeviceExchanges.h"
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MessageBoxes.h"
#include "xandrel/gui/Prompts.h"
#include "xandrel/gui/TextBytes.h"

namespace xandrel::gui {
namespace {

constexpr int kShortcutPresets = 9;

}  // namespace

PresetsMenu::PresetsMenu(CMatrix0001View& view)
    : QObject(&view)
    , view_(view)
{
}

std::string PresetsMenu::path() const
{
    return PresetFilePath(DataFolder());
}

PresetDevice PresetDeviceOf(const INFODEVICEMATRIXBASE* model)
{
    const ModelSpec* spec = model ? SpecOf(*model) : nullptr;
    return {spec ? spec->className : ""};
}

bool PresetsMenu::load(PresetBook& book)
{
    std::string error;
    if (PresetBook::Load(path(), book, error))
        return true;
    ShowMessage(window(), FromBytes(error) + tr("\nThe file is left as it is; mend or remove it to keep presets."));
    return false;
}

bool PresetsMenu::store(const PresetBook& book)
{
    std::string error;
    if (book.Save(path(), error))
        return true;
    ShowMessage(window(), FromBytes(error));
    return false;
}

PresetDevice PresetsMenu::device() const
{
    return PresetDeviceOf(view_.model());
}

// The window the menu belongs to: the parent of its questions and messages.
QWidget* PresetsMenu::window() const
{
    return view_.window();
}

void PresetsMenu::fill(QMenu& menu)
{
    menu.clear();
    PresetBook book;
    std::string error;
    const bool loaded = PresetBook::Load(path(), book, error);
    const bool idle = view_.exchanges() && !view_.exchanges()->busy();
    QAction* save = menu.addAction(tr("Save Current As..."), this, &PresetsMenu::saveCurrent);
    save->setEnabled(loaded);
    if (!loaded) {
        QAction* problem = menu.addAction(tr("presets.json is no presets file; see its tool tip"));
        problem->setEnabled(false);
        problem->setToolTip(FromBytes(error));
        menu.setToolTipsVisible(true);
        return;
    }
    const std::vector<Preset> presets = book.of(device());
    if (presets.empty())
        return;
    menu.addSeparator();
    for (size_t k = 0; k < presets.size(); ++k) {
        // The window owns Ctrl+1 to Ctrl+9: the menu shows the key beside the
        // name without taking it (two owners make Qt refuse the key).
        QString text = FromBytes(presets[k].name);
        if (k < kShortcutPresets)
            text +=
                '\t' + QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + k)).toString(QKeySequence::NativeText);
        QAction* item = menu.addAction(text, this, [this, k] { recall(static_cast<int>(k)); });
        item->setEnabled(idle);
    }
    menu.addSeparator();
    QMenu* rename = menu.addMenu(tr("Rename"));
    QMenu* remove = menu.addMenu(tr("Delete"));
    for (const Preset& preset : presets) {
        const QString name = FromBytes(preset.name);
        rename->addAction(name, this, [this, name] { this->rename(name); });
        remove->addAction(name, this, [this, name] { this->remove(name); });
    }
}

void PresetsMenu::recall(int index)
{
    DeviceExchanges* exchanges = view_.exchanges();
    PresetBook book;
    if (!exchanges || exchanges->busy() || !load(book))
        return;
    const std::vector<Preset> presets = book.of(device());
    if (index < 0 || index >= static_cast<int>(presets.size()))
        return;
    const Preset& preset = presets[static_cast<size_t>(index)];
    INFODEVICEMATRIXBASE& model = *view_.model();
    if (view_.RoutingKnown()
        && std::equal(preset.routing.begin(), preset.routing.end(), model.m_VideoOutputChannel.get())) {
        view_.ShowNotice(
            tr("Preset \"%1\": the routing already matches; nothing was sent.").arg(FromBytes(preset.name)));
        return;
    }
    view_.Route(CMatrix0001View::WholeTable(preset.routing));
}

void PresetsMenu::saveCurrent()
{
    PresetBook book;
    INFODEVICEMATRIXBASE* model = view_.model();
    const ModelSpec* spec = model ? SpecOf(*model) : nullptr;
    if (!spec || !load(book))
        return;
    const std::vector<int> routing(model->m_VideoOutputChannel.get(),
                                   model->m_VideoOutputChannel.get() + model->m_OutputNumber);
    if (const std::string problem = RoutingProblem(routing, *spec); !problem.empty()) {
        ShowMessage(window(),
                    tr("The routing cannot be saved as a preset (%1). Read the device first (Linkage).")
                        .arg(FromBytes(problem)));
        return;
    }
    const QString name = AskText(window(), tr("Save Preset"), tr("Name of the preset:"));
    if (name.isEmpty())
        return;
    book.put(device(), Preset{ToBytes(name), routing});
    if (store(book))
        view_.ShowNotice(tr("Preset \"%1\" saved.").arg(name));
}

void PresetsMenu::rename(const QString& name)
{
    PresetBook book;
    if (!load(book))
        return;
    const QString to = AskText(window(), tr("Rename Preset"), tr("New name of \"%1\":").arg(name), name);
    if (to.isEmpty() || to == name)
        return;
    if (!book.rename(device(), ToBytes(name), ToBytes(to))) {
        ShowMessage(window(), tr("There is a preset named \"%1\" already.").arg(to));
        return;
    }
    store(book);
}

void PresetsMenu::remove(const QString& name)
{
    PresetBook book;
    if (!load(book))
        return;
    const auto answer =
        ShowMessage(MessageRequest{window(), tr("Delete the preset \"%1\"?").arg(name), ApplicationName(),
                                   QMessageBox::Question, QMessageBox::Yes | QMessageBox::No});
    if (answer == QMessageBox::Yes && book.remove(device(), ToBytes(name)))
        store(book);
}

}  // namespace xandrel::gui
