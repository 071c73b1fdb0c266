// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Routing confirmed by reading it back: an acknowledgement says the device
// took the frame, not that its crosspoints moved.
#include <string>
#include <vector>

#include "xandrel/XandrelExport.h"

class INFODEVICEMATRIXBASE;

namespace xandrel {

// Reads the device's routing once, after a routing write of `sent` (the
// input of every output) succeeded, and compares. Empty when the device
// reports what was sent; otherwise the outputs that did not follow ("output 3
// is on input 1, not 2; output 5 on input 2, not 4"), or why the routing
// could not be read back. The model then holds what the device reports.
XANDREL_EXPORT std::string ConfirmRouting(INFODEVICEMATRIXBASE& model, const std::vector<int>& sent);

// The outputs whose `reported` input is not the one `sent`, worded as
// ConfirmRouting() words them; empty when every output followed.
XANDREL_EXPORT std::string RoutingDifferences(const std::vector<int>& reported, const std::vector<int>& sent);

}  // namespace xandrel
