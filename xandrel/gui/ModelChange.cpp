// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/gui/ModelChange.h"

#include <QApplication>
#include <QTimer>

#include "xandrel/gui/DeviceExchanges.h"

namespace xandrel::gui {
namespace {

// How often a request waits for a dialog to close or an exchange to end.
constexpr int kRetryMs = 20;

ModelChanger& Changer()
{
    static ModelChanger changer;
    return changer;
}

void HandOver(const ModelRequest& request)
{
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget() || !DeviceExchanges::AllIdle()) {
        QTimer::singleShot(kRetryMs, qApp, [request] { HandOver(request); });
        return;
    }
    if (const ModelChanger changer = Changer())
        changer(request);
}

}  // namespace

ModelChanger SetModelChanger(ModelChanger changer)
{
    ModelChanger previous = std::move(Changer());
    Changer() = std::move(changer);
    return previous;
}

bool CanChangeModel()
{
    return static_cast<bool>(Changer());
}

void RequestModel(const ModelRequest& request)
{
    if (!request.model || !CanChangeModel())
        return;
    // The request comes from a menu or a dialog of the window the host is
    // about to drop: it is handed over from the event loop, afterwards.
    QTimer::singleShot(0, qApp, [request] { HandOver(request); });
}

}  // namespace xandrel::gui
