// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-cli ports and models: what this computer and this program know,
// without a device.
#include <cstdio>

#include "Verbs.h"
#include "tavrik/PortTable.h"

namespace quellix::cli {
namespace {

int Ports(const Invocation& call, Output& output)
{
    NoArguments(call.arguments);
    const auto entries = tavrik::PortTable::instance().entries();
    if (entries.empty() && !output.json())
        output.text("no serial ports found (pin ports in data/ports.dat, or give --port a path or tcp://host:port). "
                    + tavrik::SerialAccessHint());
    JsonArray list;
    for (const tavrik::PortEntry& entry : entries) {
        const char* state = tavrik::PortStateName(tavrik::ProbePortState(entry.address));
        list.append(JsonObject{
            {"port", PortJson(entry.number, entry.address)}, {"description", entry.description}, {"state", state}});
        char line[512];
        std::snprintf(line, sizeof line, "COM%-4d %-28s %-13s %s", entry.number, entry.address.c_str(), state,
                      entry.description.c_str());
        if (!output.json())
            output.text(line);
    }
    output.set(list);
    return kOk;
}

int Models(const Invocation& call, Output& output)
{
    NoArguments(call.arguments);
    if (!output.json())
        output.text("model                     short     in out  family           events edid  mode  name");
    JsonArray list;
    for (const xandrel::ModelSpec& model : xandrel::AllModels()) {
        const bool hasMode = model.mode >= 0;
        list.append(JsonObject{
            {"model", model.className},
            {"short", model.shortName},
            {"inputs", model.inputs},
            {"outputs", model.outputs},
            {"family", xandrel::FamilyName(model.family)},
            {"events", model.sendsEvents()},
            {"edid", model.hasEdid()},
            {"mode", hasMode ? JsonValue(model.mode) : JsonValue()},
            {"name", hasMode ? JsonValue(model.displayName) : JsonValue()},
        });
        char line[256];
        std::snprintf(line, sizeof line, "%-25s %-9s %2d %3d  %-16s %-6s %-4s %5s  %s", model.className,
                      model.shortName, model.inputs, model.outputs, xandrel::FamilyName(model.family),
                      model.sendsEvents() ? "yes" : "no", model.hasEdid() ? "yes" : "no",
                      hasMode ? std::to_string(model.mode).c_str() : "-", model.displayName);
        if (!output.json())
            output.text(line);
    }
    output.set(list);
    return kOk;
}

}  // namespace

std::vector<Verb> ListVerbs()
{
    return {
        {.name = "ports",
         .summary = "every port with its COM number, system path, state (free, in use, no permission) and "
                    "description",
         .run = Ports},
        {.name = "models",
         .summary = "the models --model takes: class name, short name, inputs, outputs, family, whether the "
                    "device sends event messages and offers the EDID report, mode index and the mode's name",
         .run = Models},
    };
}

}  // namespace quellix::cli
