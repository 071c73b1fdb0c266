// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The EDID commands of the serial protocol and how they address the device's
// EDIDs: inputs 1..N, outputs 1..M, memory slot 9 (scratch) and slots 10-13
// (default A-D).
#include <cstdint>

namespace xandrel::edid {

// Command codes and frame lengths.
inline constexpr uint8_t kCopyCode = 0x16;   // payload [mode][target][source]
inline constexpr uint8_t kReadCode = 0x17;   // payload [kind][count][number]
inline constexpr uint8_t kWriteCode = 0x18;  // payload [kind][8 data bytes][offset][number]
inline constexpr uint8_t kCopyFrameLength = 11;
inline constexpr uint8_t kReadFrameLength = 11;
inline constexpr uint8_t kWriteFrameLength = 19;

// Copy modes.
inline constexpr uint8_t kOutputToSlot = 1;
inline constexpr uint8_t kOutputToInput = 2;
inline constexpr uint8_t kInputToSlot = 3;
inline constexpr uint8_t kSlotToInput = 4;

// Kind bytes, and the copy target meaning every input.
inline constexpr uint8_t kReadSlot = 0xA1;
inline constexpr uint8_t kReadInput = 0xA5;
inline constexpr uint8_t kWriteSlot = 0xA2;
inline constexpr uint8_t kWriteInput = 0xA6;
inline constexpr uint8_t kAllInputs = 0xA5;

// Read counts: the whole 256-byte EDID, or the 8-byte identity probe.
inline constexpr uint8_t kWholeEdid = 0xFF;
inline constexpr uint8_t kIdentityProbe = 0x08;

// Memory slots.
inline constexpr uint8_t kScratchSlot = 9;
inline constexpr uint8_t kDefaultA = 10;
inline constexpr uint8_t kDefaultD = 13;

// What the device sends when a copy is done, or a written chunk taken.
inline constexpr uint8_t kDone = 0xB6;

// Bytes of EDID each write frame carries.
inline constexpr int kChunkSize = 8;

}  // namespace xandrel::edid
