// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/Controls.h"

#include <QGuiApplication>
#include <QPushButton>
#include <mutex>

namespace xandrel::gui {
namespace {

struct Folder {
    std::mutex mutex;
    std::string path = "data";
};

Folder& TheFolder()
{
    static Folder folder;
    return folder;
}

}  // namespace

QPushButton* MakeButton(const QString& text, int id, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QStringLiteral("button%1").arg(id));
    button->setAutoDefault(false);
    return button;
}

void BeginWaitCursor()
{
    // The window stays live while the line is busy: the cursor says so.
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
}

void EndWaitCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

// Read by the devices' workers too (the presets of a recall), hence the lock.
std::string DataFolder()
{
    std::lock_guard lock(TheFolder().mutex);
    return TheFolder().path;
}

void SetDataFolder(const std::string& folder)
{
    std::lock_guard lock(TheFolder().mutex);
    TheFolder().path = folder;
}

}  // namespace xandrel::gui
