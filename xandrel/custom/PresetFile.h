// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Presets (salvos): named routing tables of the matrix a data folder belongs
// to, kept by model in data/presets.json, a JSON file people may read and edit:
//   {"presets": [{"model": "INFOHDMIMATRIX0001_8_8", "name": "Lecture",
//                 "routing": [1, 2, 3, 4, 5, 6, 7, 8]}]}
// `routing` gives the input of every output, output 1 first. Files of
// earlier versions also give each entry the port and device ID it was saved
// through; they are read, and no longer select: the same matrix is reached
// through a serial port, a device server or the daemon, at ID 255 or its own.
#include <string>
#include <vector>

#include "xandrel/XandrelExport.h"

namespace xandrel {

struct ModelSpec;

struct Preset {
    std::string name;
    std::vector<int> routing;
};

// Which matrix presets belong to: one data folder holds one matrix, and its
// presets are those of its model.
struct PresetDevice {
    std::string model;  // class name

    bool operator==(const PresetDevice&) const = default;
};

// Why `routing` cannot be a routing of `model` ("3 outputs where the model
// has 8", "output 2: input 9, but the model has 8 inputs"); "" when it can.
XANDREL_EXPORT std::string RoutingProblem(const std::vector<int>& routing, const ModelSpec& model);

class XANDREL_EXPORT PresetBook {
public:
    // Reads the file; a missing file is an empty book. A file that is no
    // valid book (not JSON, unknown fields, a model that does not exist, a
    // routing that does not fit its model, a name twice for one device)
    // gives false and `error`, naming the file and the entry; the book is
    // then empty, and the caller must not save over the file. Presets an
    // earlier version kept apart by port or ID that share a name are all
    // kept, the later ones named "Name (2)", "Name (3)"...
    static bool Load(const std::string& path, PresetBook& book, std::string& error);
    // Writes the whole book through the safe writer, making the folder
    // first when there is none yet.
    bool Save(const std::string& path, std::string& error) const;

    // The presets of a device, in the order they were saved.
    std::vector<Preset> of(const PresetDevice& device) const;
    const Preset* find(const PresetDevice& device, const std::string& name) const;
    // Adds the preset, or replaces the one of the same name.
    void put(const PresetDevice& device, const Preset& preset);
    // False when `from` does not exist or `to` does.
    bool rename(const PresetDevice& device, const std::string& from, const std::string& to);
    bool remove(const PresetDevice& device, const std::string& name);

private:
    struct Entry {
        PresetDevice device;
        Preset preset;
    };
    std::vector<Entry> entries_;
};

// data/presets.json in `folder`.
XANDREL_EXPORT std::string PresetFilePath(const std::string& folder);

}  // namespace xandrel
