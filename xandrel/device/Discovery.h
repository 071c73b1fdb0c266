// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding a device without knowing its model or ID: on an open port, one ID
// query per model header. Models that share a header (the 4x4 and the 8x8
// families, each with its variants) cannot be told apart by the answer, so a
// find names every model of that header. Most devices answer the ID query at
// ID 255, the ID that reaches any device; the 8x8 family answers only at its
// own ID, so it is asked at its factory ID 0 (and 255), or at every ID with
// a deep search.
#include <functional>
#include <string>
#include <vector>

#include "xandrel/XandrelExport.h"

class INFOPORTDRIVER;

namespace xandrel {

struct ModelSpec;

struct DiscoveredDevice {
    std::vector<const ModelSpec*> models;  // every model of the header that answered
    int id = 0;                            // the ID the device reported
};

struct DiscoveryOptions {
    bool deep = false;  // the 8x8 family at every ID 0-255, not 0 and 255 only
    // Called before each query with how many were asked and how many there
    // are; returning false ends the search (Stop).
    std::function<bool(int asked, int total)> progress;
};

// The IDs the header of `family` is asked at.
XANDREL_EXPORT std::vector<int> DiscoveryIds(const ModelSpec& model, bool deep);

// One model of each header, in catalog order: the ones a search asks as.
XANDREL_EXPORT std::vector<const ModelSpec*> DiscoveryProbes();

// Asks the device behind `driver` (open) as every header; what answered.
XANDREL_EXPORT std::vector<DiscoveredDevice> DiscoverOnPort(INFOPORTDRIVER& driver, const DiscoveryOptions& options);

// "4x4, 4x4-c, 4x4-h at ID 0": the short names of a find and its ID.
XANDREL_EXPORT std::string DescribeDiscovered(const DiscoveredDevice& device);

}  // namespace xandrel
