// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reopening the matrix window as another model. The host owns the model the
// window drives, so the host makes the new one: it offers a changer, and the
// window's File > Model... and the scan dialog's Open ask it. Without a
// changer (a host that keeps one model) neither is offered.
#include <functional>
#include <optional>

#include "xandrel/XandrelExport.h"

namespace xandrel {
struct ModelSpec;
}

namespace xandrel::gui {

struct ModelRequest {
    const xandrel::ModelSpec* model = nullptr;
    int port = 0;           // the COM number to open; 0: the port the window has (if open)
    std::optional<int> id;  // the device ID; none: the ID the window has
};
using ModelChanger = std::function<void(const ModelRequest& request)>;

// Set by the host; an empty one takes the offer back. Returns the one it replaces.
XANDREL_EXPORT ModelChanger SetModelChanger(ModelChanger changer);
XANDREL_EXPORT bool CanChangeModel();

// Hands `request` to the host's changer once no dialog's loop runs and the
// window's exchanges are idle (the host drops the window and its dialogs).
XANDREL_EXPORT void RequestModel(const ModelRequest& request);

}  // namespace xandrel::gui
