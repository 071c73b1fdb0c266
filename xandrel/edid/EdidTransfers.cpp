// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/edid/EdidTransfers.h"

#include <cctype>
#include <sstream>

#include "xandrel/edid/EdidCommands.h"

namespace xandrel {

using namespace edid;

std::optional<EdidPlace> ParseEdidPlace(const std::string& text)
{
    std::istringstream words(text);
    std::string kind;
    std::string rest;
    words >> kind;
    std::getline(words >> std::ws, rest);
    for (char& c : kind)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if ((kind == "all" && (rest.empty() || rest == "input" || rest == "inputs")) || kind == "all-inputs")
        return EdidPlace{EdidPlace::AllInputs};
    if ((kind == "pc" && rest == "memory") || kind == "computer")
        return EdidPlace{EdidPlace::Computer};
    if (kind == "default" && rest.size() == 1) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
        if (letter >= 'A' && letter <= 'D')
            return EdidPlace{EdidPlace::Default, letter - 'A'};
        return std::nullopt;
    }
    if ((kind == "input" || kind == "output") && !rest.empty() && rest.size() <= 3
        && rest.find_first_not_of("0123456789") == std::string::npos) {
        const int number = std::stoi(rest);
        if (number >= 1)
            return EdidPlace{kind == "input" ? EdidPlace::Input : EdidPlace::Output, number};
    }
    return std::nullopt;
}

std::string EdidPlaceName(const EdidPlace& place)
{
    switch (place.kind) {
    case EdidPlace::Input: return "input " + std::to_string(place.number);
    case EdidPlace::Output: return "output " + std::to_string(place.number);
    case EdidPlace::Default: return std::string("default ") + static_cast<char>('A' + place.number);
    case EdidPlace::AllInputs: return "all input";
    case EdidPlace::Computer: return "pc memory";
    }
    return {};
}

namespace {

BYTE SlotOf(const EdidPlace& place)
{
    return static_cast<BYTE>(kDefaultA + place.number);
}

}  // namespace

bool ReadEdidFrom(EdidCommandHost& host, EdidImage& image, EdidProgress& progress, const EdidPlace& source)
{
    switch (source.kind) {
    case EdidPlace::Input: return EDID_DeviceRead(host, image, progress, kReadInput, static_cast<BYTE>(source.number));
    case EdidPlace::Default: return EDID_DeviceRead(host, image, progress, kReadSlot, SlotOf(source));
    case EdidPlace::Output:
        return EDID_DeviceCopy(host, progress, kOutputToSlot, kScratchSlot, static_cast<BYTE>(source.number))
            && EDID_DeviceRead(host, image, progress, kReadSlot, kScratchSlot);
    default: return false;
    }
}

EdidTransfer PlanEdidTransfer(const EdidPlace& source, const EdidPlace& target)
{
    const BYTE from = source.kind == EdidPlace::Default ? SlotOf(source) : static_cast<BYTE>(source.number);
    const BYTE to = target.kind == EdidPlace::Default ? SlotOf(target)
        : target.kind == EdidPlace::AllInputs         ? kAllInputs
                                                      : static_cast<BYTE>(target.number);
    const bool toInputs = target.kind == EdidPlace::Input || target.kind == EdidPlace::AllInputs;
    const bool toDefault = target.kind == EdidPlace::Default;
    EdidTransfer plan;
    switch (source.kind) {
    case EdidPlace::Output:
        if (toInputs)
            plan = {EdidTransfer::Copy, kOutputToInput, to, from};
        else if (toDefault)
            plan = {EdidTransfer::Copy, kOutputToSlot, to, from};
        break;
    case EdidPlace::Default:
        if (toInputs)
            plan = {EdidTransfer::Copy, kSlotToInput, to, from};
        break;
    case EdidPlace::Input:
        if (toDefault)
            plan = {EdidTransfer::Copy, kInputToSlot, to, from};
        break;
    case EdidPlace::Computer:
        if (target.kind == EdidPlace::AllInputs)
            plan.kind = EdidTransfer::WriteInputs;
        else if (toInputs)
            plan = {EdidTransfer::Write, 0, 0, 0, to, kWriteInput};
        else if (toDefault)
            plan = {EdidTransfer::Write, 0, 0, 0, to, kWriteSlot};
        break;
    case EdidPlace::AllInputs: break;
    }
    return plan;
}

}  // namespace xandrel
