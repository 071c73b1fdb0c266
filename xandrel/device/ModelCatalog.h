#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "xandrel/XandrelExport.h"

class INFODEVICEMATRIXBASE;

namespace xandrel {

// Families share their protocol behaviour; the models within a family differ
// only by the values of their ModelSpec.
enum class ModelFamily {
    SdiSwitch,  // no full refresh
    VgaSwitch,  // no full refresh
    Hdmi4x4,    // refresh: signals, then routing
    Hdmi8x8,    // refresh as 4x4; 16-byte routing frame with a 16-byte reply; ID read at the model's own ID
    VgaMatrix,  // refresh: routing only
};

struct ModelSpec {
    const char* className;
    ModelFamily family;
    uint8_t inputs;
    uint8_t outputs;
    std::array<uint8_t, 4> header;
    int mode;                 // mode index 0-10, or -1 when an operator cannot choose it
    const char* displayName;  // the mode's name, "" when it has no mode
    const char* shortName;    // what people type: "8x8", "4x4-h", "vga-5x5", "sdi-8x2"
    INFODEVICEMATRIXBASE* (*create)();
};

// Identifies one of the seventeen model classes, in the order of AllModels().
enum class ModelId {
    SdiSwitch5,
    SdiSwitch5x2,
    SdiSwitch8,
    SdiSwitch8x2,
    Hdmi4x4C,
    Hdmi4x4H,
    Hdmi8x8C,
    Hdmi8x8H,
    VgaSwitch4,
    VgaSwitch8,
    VgaMatrix5x5,
    Hdmi4x4,
    Hdmi8x8,
    Hdmi4x8,
    Hdmi8x4,
    VgaMatrix4x2,
    VgaMatrix2x4,
};

XANDREL_EXPORT const std::array<ModelSpec, 17>& AllModels();
XANDREL_EXPORT const ModelSpec& Model(ModelId id);
// The model of a class name (exact, as INFOHDMIMATRIX0001_8_8); null if none.
XANDREL_EXPORT const ModelSpec* FindModel(std::string_view className);
// The model a person names: a class name (INFOHDMIMATRIX0001_4_4), a mode
// index 0-10, a mode's display name, or a short name ("8x8", also
// "hdmi-8x8" for the HDMI matrices), letter case aside; null if none.
XANDREL_EXPORT const ModelSpec* FindModelByAnyName(std::string_view name);
// The model of a mode index; null outside 0-10.
XANDREL_EXPORT const ModelSpec* ModelOfMode(unsigned mode);
XANDREL_EXPORT const char* FamilyName(ModelFamily family);

// The catalog entry of a model object's class; null for a class of a host's own.
XANDREL_EXPORT const ModelSpec* SpecOf(const INFODEVICEMATRIXBASE& model);

// A new model object of that class; the caller owns it.
XANDREL_EXPORT std::unique_ptr<INFODEVICEMATRIXBASE> CreateModel(const ModelSpec& model);

}  // namespace xandrel
