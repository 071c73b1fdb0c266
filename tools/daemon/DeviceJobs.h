// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The daemon's jobs on a device, each run whole on the device's worker with
// no other frame between its own: a read-modify-write of the routing cannot
// undo a change made meanwhile, since nothing is made meanwhile.
#include <QByteArray>
#include <QJsonArray>

#include <functional>
#include <map>
#include <set>

#include "DeviceState.h"

namespace quellixd {

class DeviceLine;

// Opens the port and reads the device's ID (when the daemon asks at ID 255),
// signals and routing. False when the port cannot be opened.
bool OpenAndRead(DeviceLine& line);

// Takes the event messages that have arrived; a device that stopped
// answering, or whose routing is in doubt, is read again.
void Poll(DeviceLine& line);

// Sets the outputs in `changes` (output -> input, 1-based) on what the device
// reports now, read within the job; sends nothing when the device has them
// already; reads the routing back. 423 when a `locked` output would move,
// 409 when the device did not follow, 503 when nothing was sent, 502 with
// `unknown` when the write may have reached the device but no confirmation
// came.
Outcome WriteRouting(DeviceLine& line, const std::map<int, int>& changes, const std::set<int>& locked);

// The manufacturer ID and product code of each input's EDID (null where an
// input did not answer).
Outcome ReadEdidIds(DeviceLine& line, QJsonArray& inputs);

// A client's whole frame, passed to the device; `deliver` gets the reply as
// it comes: the AA at once when the body follows later, then the rest
// (`last` on the final call; empty bytes when the device did not answer).
// A frame for another device ID than the one the device answers to is not
// sent (the device would stay silent); the entries of `locked` outputs in a
// routing write are put back to their current inputs first.
using ReplySink = std::function<void(const QByteArray& bytes, bool last)>;
void Forward(DeviceLine& line, QByteArray frame, const std::set<int>& locked, const ReplySink& deliver);

}  // namespace quellixd
