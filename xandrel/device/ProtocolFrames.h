// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The facts of the line protocol that more than one side needs: the event
// messages a device sends, the reply bodies, and the routing write of each
// family. The device models, the catalog, the daemon and the simulator all
// take them from here.
#include <cstdint>
#include <optional>
#include <vector>

#include "xandrel/XandrelExport.h"

namespace xandrel {

struct ModelSpec;

// An event message: [length][4-byte header][device ID][type][entries][checksum].
inline constexpr uint8_t kRoutingEvent = 1;       // one entry per output: its input
inline constexpr uint8_t kSignalEvent = 2;        // one entry per input: 1 = signal
inline constexpr uint8_t kEventHeaderLength = 7;  // length, header, ID, type
inline constexpr uint8_t kMaxEventLength = 49;

// A reply body that lists one entry per output or per input:
// [code][entries][checksum].
constexpr uint8_t ListReplyLength(unsigned entries)
{
    return static_cast<uint8_t>(entries + 2);
}
inline constexpr uint8_t kDeviceIdReplyLength = 3;  // [04][ID][checksum]

// The event message a device of `model` at `id` sends for `entries`.
XANDREL_EXPORT std::vector<uint8_t> EventMessageBytes(const ModelSpec& model, uint8_t id, uint8_t type,
                                                      const std::vector<uint8_t>& entries);

// The length an event message announces when `first` starts one
// (kEventHeaderLength to kMaxEventLength), else 0.
XANDREL_EXPORT int EventMessageLength(uint8_t first);

// The bytes of a routing write of `model`: the 8x8 family writes a 16-byte
// frame with room for eight outputs and answers with a 16-byte body; the
// others write one byte per output and answer with the acknowledgement alone.
XANDREL_EXPORT uint8_t RoutingWriteFrameLength(const ModelSpec& model);
XANDREL_EXPORT uint8_t RoutingWriteReplyLength(const ModelSpec& model);

// The sum of `count` bytes modulo 256: the last byte of every frame and event.
XANDREL_EXPORT uint8_t FrameChecksum(const uint8_t* bytes, size_t count);

// True when `frame` is a whole frame of `model` (its length byte, header and
// checksum) addressed to `id` or to every device (255).
XANDREL_EXPORT bool IsFrameFor(const ModelSpec& model, uint8_t id, const std::vector<uint8_t>& frame);

}  // namespace xandrel
