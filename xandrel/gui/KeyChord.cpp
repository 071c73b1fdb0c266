// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/KeyChord.h"

#include <QApplication>
#include <QKeyEvent>

#include "xandrel/custom/StringModify.h"
#include "xandrel/device/INFODEVICEMATRIXBASE.h"

namespace xandrel::gui {
namespace {

bool g_F9Held = false;

class F9Watcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_F9 && !key->isAutoRepeat())
                g_F9Held = event->type() == QEvent::KeyPress;
        } else if (event->type() == QEvent::ApplicationDeactivate) {
            g_F9Held = false;  // a release while another program had the keyboard is never seen
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void FollowConfigChordKeys()
{
    static F9Watcher* watcher = nullptr;
    if (!watcher && qApp) {
        watcher = new F9Watcher(qApp);
        qApp->installEventFilter(watcher);
    }
}

bool ConfigChordHeld()
{
    return g_F9Held && (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier);
}

void SetF9Held(bool held)
{
    g_F9Held = held;
}

void OpenGuiConfigDialog(QWidget* parent, INFODEVICEMATRIXBASE* model)
{
    StringModify dialog(parent);
    if (model) {
        dialog.m_InputNumber = model->m_InputNumber;
        dialog.m_OutputNumber = model->m_OutputNumber;
    }
    dialog.exec();
}

}  // namespace xandrel::gui
