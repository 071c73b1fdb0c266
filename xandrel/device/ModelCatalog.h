// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <span>
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

// What a model's device does besides routing, as flags of ModelSpec::traits.
enum ModelTrait : unsigned {
    kNoTraits = 0,
    kSendsEvents = 1,  // reports front-panel and signal changes in event messages: the window polls it
    kHasEdid = 2,      // the window offers the inputs' EDID manufacturer report (EDID Info.)
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
    unsigned traits;          // ModelTrait flags
    INFODEVICEMATRIXBASE* (*create)();

    bool sendsEvents() const { return (traits & kSendsEvents) != 0; }
    bool hasEdid() const { return (traits & kHasEdid) != 0; }
};

// The reply body (the bytes after the acknowledgement AA) a model's device
// answers each command every model knows with.
struct ReplyLengths {
    uint8_t routingRead;   // 01: [01][the input of each output][checksum]
    uint8_t routingWrite;  // 02: nothing, or the 8x8 family's routing as it now is
    uint8_t signalsRead;   // 03: [03][the signal of each input][checksum]
    uint8_t idRead;        // 04: [04][ID][checksum]
};

// Every model, in the order of the catalog's table: the modes 0-10 first.
XANDREL_EXPORT std::span<const ModelSpec> AllModels();
// The model of a class name (exact, as INFOHDMIMATRIX0001_8_8); null if none.
XANDREL_EXPORT const ModelSpec* FindModel(std::string_view className);
// The model of a class the catalog holds; the model classes' constructors
// take their values from here. Ends the program for a class without a row.
XANDREL_EXPORT const ModelSpec& Model(std::string_view className);
// The model a person names: a class name (INFOHDMIMATRIX0001_4_4), a mode
// index 0-10, a mode's display name, or a short name ("8x8", also
// "hdmi-8x8" for the HDMI matrices), letter case aside; null if none.
XANDREL_EXPORT const ModelSpec* FindModelByAnyName(std::string_view name);
// The model of a mode index; null outside 0-10.
XANDREL_EXPORT const ModelSpec* ModelOfMode(unsigned mode);
XANDREL_EXPORT const char* FamilyName(ModelFamily family);

// What the model's device answers, from its family and counts.
XANDREL_EXPORT ReplyLengths RepliesOf(const ModelSpec& model);
// True when the family's full refresh reads the input signals too.
XANDREL_EXPORT bool RefreshReadsSignals(const ModelSpec& model);

// The catalog entry of a model object's class; null for a class of a host's own.
XANDREL_EXPORT const ModelSpec* SpecOf(const INFODEVICEMATRIXBASE& model);
// As SpecOf; a host's own class counts as the first catalog model with its
// header, inputs and outputs (the device on the line is the same).
XANDREL_EXPORT const ModelSpec* SpecOrEquivalent(const INFODEVICEMATRIXBASE& model);

// A new model object of that class; the caller owns it.
XANDREL_EXPORT std::unique_ptr<INFODEVICEMATRIXBASE> CreateModel(const ModelSpec& model);

}  // namespace xandrel
