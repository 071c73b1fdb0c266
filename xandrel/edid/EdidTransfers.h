// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which exchange moves an EDID from one place to another: the device's
// inputs, outputs and stored EDIDs (default A-D), and the computer's image.
#include <optional>
#include <string>

#include "xandrel/XandrelExport.h"
#include "xandrel/edid/EdidExchange.h"

namespace xandrel {

struct EdidPlace {
    enum Kind {
        Input,
        Output,
        Default,
        AllInputs,
        Computer
    } kind;
    int number = 0;  // input or output 1..; default 0-3 for A-D

    bool operator==(const EdidPlace&) const = default;
};

// Reads "input N", "output N", "default A" ... "default D", "all" (every
// input) and "pc memory" / "computer"; empty when the text is none of them.
XANDREL_EXPORT std::optional<EdidPlace> ParseEdidPlace(const std::string& text);
// "input 3", "default B", "all input", "pc memory".
XANDREL_EXPORT std::string EdidPlaceName(const EdidPlace& place);

// Reads the EDID of an input, an output or a stored EDID into `image`. An
// output's EDID is first copied to the scratch slot 9 and read from there.
XANDREL_EXPORT bool ReadEdidFrom(EdidCommandHost& host, EdidImage& image, EdidProgress& progress,
                                 const EdidPlace& source);

// What moving an EDID from `source` to `target` takes.
struct EdidTransfer {
    enum Kind {
        Copy,         // EDID_DeviceCopy(mode, target, source)
        Write,        // EDID_DeviceWrite(number, kind) of the computer's image
        WriteInputs,  // EDID_DeviceWrite to every input in turn
        Unsupported,  // the device has no command for this pair
    } kind = Unsupported;
    BYTE mode = 0;
    BYTE target = 0;
    BYTE source = 0;
    BYTE number = 0;
    BYTE writeKind = 0;
};

// The pairs the device supports: an output to all inputs, an input or a
// default; the computer to an input, all inputs or a default; a default to an
// input or all inputs; an input to a default.
XANDREL_EXPORT EdidTransfer PlanEdidTransfer(const EdidPlace& source, const EdidPlace& target);

}  // namespace xandrel
