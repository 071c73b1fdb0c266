// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/device/RoutingCheck.h"

#include "xandrel/device/INFODEVICEMATRIXBASE.h"

namespace xandrel {

std::string ConfirmRouting(INFODEVICEMATRIXBASE& model, const std::vector<int>& sent)
{
    if (model.DEVMA_GetVideoOutputChannel() != 1) {
        const std::string& why = model.LastAnswerProblem();
        return "the routing could not be read back to confirm it (" + (why.empty() ? "no valid answer" : why) + ")";
    }
    return RoutingDifferences(
        std::vector<int>(model.m_VideoOutputChannel.get(), model.m_VideoOutputChannel.get() + model.m_OutputNumber),
        sent);
}

std::string RoutingDifferences(const std::vector<int>& reported, const std::vector<int>& sent)
{
    std::string differences;
    for (size_t output = 0; output < sent.size() && output < reported.size(); ++output) {
        if (reported[output] == sent[output])
            continue;
        differences += (differences.empty() ? "output " : "; output ") + std::to_string(output + 1) + " is on input "
            + std::to_string(reported[output]) + ", not " + std::to_string(sent[output]);
    }
    return differences;
}

}  // namespace xandrel
