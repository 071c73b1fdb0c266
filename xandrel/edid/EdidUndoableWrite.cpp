// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/edid/EdidUndoableWrite.h"

namespace xandrel {

bool IsWritablePlace(const EdidPlace& place)
{
    return place.kind == EdidPlace::Input || place.kind == EdidPlace::Default;
}

bool WriteEdidTo(EdidCommandHost& host, EdidProgress& progress, const EdidImage& image, const EdidPlace& place,
                 int* chunksSent)
{
    const EdidTransfer plan = PlanEdidTransfer(EdidPlace{EdidPlace::Computer}, place);
    if (plan.kind != EdidTransfer::Write)
        return false;
    return EDID_DeviceWrite(host, image, progress, plan.number, plan.writeKind, chunksSent);
}

KeptWrite WriteKeepingFormer(EdidCommandHost& host, EdidProgress& progress, const EdidImage& image,
                             const EdidPlace& place, bool keep)
{
    KeptWrite result;
    if (keep) {
        result.kept = ReadEdidFrom(host, result.former, progress, place);
        if (!result.kept)
            return result;
    }
    result.written = WriteEdidTo(host, progress, image, place, &result.chunksSent);
    return result;
}

EdidHolding HoldingOf(const EdidImage& readBack, const EdidImage& former, const EdidImage& written)
{
    if (readBack == former)
        return EdidHolding::Former;
    if (readBack == written)
        return EdidHolding::New;
    return EdidImageProblem(readBack).empty() ? EdidHolding::Another : EdidHolding::Broken;
}

EdidHolding ReadBackHolding(EdidCommandHost& host, EdidProgress& progress, const EdidPlace& place,
                            const EdidImage& former, const EdidImage& written)
{
    EdidImage readBack{};
    if (!ReadEdidFrom(host, readBack, progress, place))
        return EdidHolding::Unknown;
    return HoldingOf(readBack, former, written);
}

std::string HoldingText(const EdidPlace& place, EdidHolding holding)
{
    const std::string name = EdidPlaceName(place);
    switch (holding) {
    case EdidHolding::Former: return name + " holds the EDID it held before the write";
    case EdidHolding::New: return name + " holds the new EDID";
    case EdidHolding::Broken: return name + " holds a broken EDID (its header or a checksum is wrong)";
    case EdidHolding::Another: return name + " holds an EDID that is neither the one before nor the new one";
    case EdidHolding::Unknown: return "what " + name + " holds now is unknown: it could not be read back";
    }
    return {};
}

}  // namespace xandrel
