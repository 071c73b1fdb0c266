// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/device/ModelCatalog.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <typeindex>

#include "xandrel/device/MatrixModels.h"
#include "xandrel/device/ProtocolFrames.h"

namespace xandrel {
namespace {

template <typename ModelClass>
INFODEVICEMATRIXBASE* Make()
{
    return new ModelClass;
}

using F = ModelFamily;

// One row per model class: class name, family, inputs, outputs, header, mode
// index, display name, short name, traits and factory. The first eleven are
// the modes 0-10; a new model's row goes last (CONTRIBUTING.md, "Adding a
// model"). A row a line, as a table.
// clang-format off
const ModelSpec kModels[] = {
    {"INFOSDISWITCH_5",          F::SdiSwitch, 5, 1, {0x54, 0x4A, 0x30, 0x05}, 0,  "SDI 5 Ports Switch",             "sdi-5",   kNoTraits,               Make<INFOSDISWITCH_5>},
    {"INFOSDISWITCH_5_2",        F::SdiSwitch, 5, 1, {0x54, 0x4A, 0x30, 0x52}, 1,  "SDI 5x2 Ports Switch(Splitter)", "sdi-5x2", kNoTraits,               Make<INFOSDISWITCH_5_2>},
    {"INFOSDISWITCH_8",          F::SdiSwitch, 8, 1, {0x54, 0x4A, 0x30, 0x08}, 2,  "SDI 8 Ports Switch",             "sdi-8",   kSendsEvents | kHasEdid, Make<INFOSDISWITCH_8>},
    {"INFOSDISWITCH_8_2",        F::SdiSwitch, 8, 1, {0x54, 0x4A, 0x30, 0x82}, 3,  "SDI 8x2 Ports Switch(Splitter)", "sdi-8x2", kSendsEvents | kHasEdid, Make<INFOSDISWITCH_8_2>},
    {"INFOHDMIMATRIX0001_4_4_C", F::Hdmi4x4,   4, 4, {0x4B, 0x58, 0x73, 0x44}, 4,  "HDMI 4x4 Ports Matrix(RJ-45)",   "4x4-c",   kSendsEvents,            Make<INFOHDMIMATRIX0001_4_4_C>},
    {"INFOHDMIMATRIX0001_4_4_H", F::Hdmi4x4,   4, 4, {0x4B, 0x58, 0x73, 0x44}, 5,  "HDMI 4x4 Ports Matrix(HDMI)",    "4x4-h",   kSendsEvents,            Make<INFOHDMIMATRIX0001_4_4_H>},
    {"INFOHDMIMATRIX0001_8_8_C", F::Hdmi8x8,   8, 8, {0x4B, 0x58, 0x73, 0x88}, 6,  "HDMI 8x8 Ports Matrix(RJ-45)",   "8x8-c",   kSendsEvents | kHasEdid, Make<INFOHDMIMATRIX0001_8_8_C>},
    {"INFOHDMIMATRIX0001_8_8_H", F::Hdmi8x8,   8, 8, {0x4B, 0x58, 0x73, 0x88}, 7,  "HDMI 8x8 Ports Matrix(HDMI)",    "8x8-h",   kSendsEvents | kHasEdid, Make<INFOHDMIMATRIX0001_8_8_H>},
    {"INFOVGASWITCH_4",          F::VgaSwitch, 4, 1, {0x4B, 0x58, 0x36, 0x04}, 8,  "VGA 4 Ports Switch",             "vga-4",   kSendsEvents,            Make<INFOVGASWITCH_4>},
    {"INFOVGASWITCH_8",          F::VgaSwitch, 8, 1, {0x4B, 0x58, 0x36, 0x08}, 9,  "VGA 8 Ports Switch",             "vga-8",   kSendsEvents | kHasEdid, Make<INFOVGASWITCH_8>},
    {"INFOVGAMATRIX_5_5",        F::VgaMatrix, 5, 5, {0x4B, 0x58, 0x36, 0x55}, 10, "VGA 5x5 Ports Matrix",           "vga-5x5", kNoTraits,               Make<INFOVGAMATRIX_5_5>},
    {"INFOHDMIMATRIX0001_4_4",   F::Hdmi4x4,   4, 4, {0x4B, 0x58, 0x73, 0x44}, -1, "",                               "4x4",     kSendsEvents,            Make<INFOHDMIMATRIX0001_4_4>},
    {"INFOHDMIMATRIX0001_8_8",   F::Hdmi8x8,   8, 8, {0x4B, 0x58, 0x73, 0x88}, -1, "",                               "8x8",     kSendsEvents | kHasEdid, Make<INFOHDMIMATRIX0001_8_8>},
    {"INFOHDMIMATRIX0001_4_8",   F::Hdmi8x8,   4, 8, {0x4B, 0x58, 0x73, 0x88}, -1, "",                               "4x8",     kSendsEvents | kHasEdid, Make<INFOHDMIMATRIX0001_4_8>},
    {"INFOHDMIMATRIX0001_8_4",   F::Hdmi8x8,   8, 4, {0x4B, 0x58, 0x73, 0x88}, -1, "",                               "8x4",     kSendsEvents | kHasEdid, Make<INFOHDMIMATRIX0001_8_4>},
    {"INFOVGAMATRIX_4_2",        F::VgaMatrix, 4, 2, {0x4B, 0x58, 0x73, 0x42}, -1, "",                               "vga-4x2", kNoTraits,               Make<INFOVGAMATRIX_4_2>},
    {"INFOVGAMATRIX_2_4",        F::VgaMatrix, 2, 4, {0x4B, 0x58, 0x73, 0x24}, -1, "",                               "vga-2x4", kNoTraits,               Make<INFOVGAMATRIX_2_4>},
};
// clang-format on

constexpr unsigned kModeCount = 11;

}  // namespace

std::span<const ModelSpec> AllModels()
{
    return kModels;
}

const ModelSpec* FindModel(std::string_view className)
{
    for (const ModelSpec& model : kModels)
        if (className == model.className)
            return &model;
    return nullptr;
}

const ModelSpec& Model(std::string_view className)
{
    if (const ModelSpec* model = FindModel(className))
        return *model;
    std::fprintf(stderr, "xandrel: the model catalog has no row for %.*s\n", static_cast<int>(className.size()),
                 className.data());
    std::abort();
}

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

const ModelSpec* FindModelByAnyName(std::string_view name)
{
    if (const ModelSpec* byClass = FindModel(name))
        return byClass;
    if (!name.empty() && name.size() <= 2 && std::all_of(name.begin(), name.end(), ::isdigit))
        return ModelOfMode(static_cast<unsigned>(std::stoi(std::string(name))));
    for (const ModelSpec& model : kModels)
        if (model.mode >= 0 && SameIgnoringCase(name, model.displayName))
            return &model;
    constexpr std::string_view kHdmi = "hdmi-";
    for (const ModelSpec& model : kModels) {
        const bool hdmi = model.family == ModelFamily::Hdmi4x4 || model.family == ModelFamily::Hdmi8x8;
        if (SameIgnoringCase(name, model.shortName)
            || (hdmi && name.size() > kHdmi.size() && SameIgnoringCase(name.substr(0, kHdmi.size()), kHdmi)
                && SameIgnoringCase(name.substr(kHdmi.size()), model.shortName)))
            return &model;
    }
    return nullptr;
}

const ModelSpec* ModelOfMode(unsigned mode)
{
    return mode < kModeCount ? &kModels[mode] : nullptr;
}

const char* FamilyName(ModelFamily family)
{
    switch (family) {
    case ModelFamily::SdiSwitch: return "SDI switch";
    case ModelFamily::VgaSwitch: return "VGA switch";
    case ModelFamily::Hdmi4x4: return "HDMI 4x4 matrix";
    case ModelFamily::Hdmi8x8: return "HDMI 8x8 matrix";
    case ModelFamily::VgaMatrix: return "VGA matrix";
    }
    return "";
}

ReplyLengths RepliesOf(const ModelSpec& model)
{
    const bool echoesRouting = model.family == ModelFamily::Hdmi8x8;
    return {
        .routingRead = ListReplyLength(model.outputs),
        .routingWrite = echoesRouting ? INFOHDMIMATRIX0001_8_8::kRoutingReplyLength : uint8_t{0},
        .signalsRead = ListReplyLength(model.inputs),
        .idRead = kDeviceIdReplyLength,
    };
}

bool RefreshReadsSignals(const ModelSpec& model)
{
    return model.family == ModelFamily::Hdmi4x4 || model.family == ModelFamily::Hdmi8x8;
}

const ModelSpec* SpecOf(const INFODEVICEMATRIXBASE& model)
{
    static const std::map<std::type_index, const ModelSpec*> byClass = [] {
        std::map<std::type_index, const ModelSpec*> classes;
        for (const ModelSpec& spec : kModels) {
            const std::unique_ptr<INFODEVICEMATRIXBASE> sample(spec.create());
            const INFODEVICEMATRIXBASE& object = *sample;
            classes.emplace(typeid(object), &spec);
        }
        return classes;
    }();
    const auto found = byClass.find(typeid(model));
    return found == byClass.end() ? nullptr : found->second;
}

const ModelSpec* SpecOrEquivalent(const INFODEVICEMATRIXBASE& model)
{
    if (const ModelSpec* spec = SpecOf(model))
        return spec;
    for (const ModelSpec& spec : kModels)
        if (spec.inputs == model.m_InputNumber && spec.outputs == model.m_OutputNumber
            && std::equal(spec.header.begin(), spec.header.end(), model.m_MachineModeHeader))
            return &spec;
    return nullptr;
}

std::unique_ptr<INFODEVICEMATRIXBASE> CreateModel(const ModelSpec& model)
{
    return std::unique_ptr<INFODEVICEMATRIXBASE>(model.create());
}

}  // namespace xandrel
