// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A device's data folder as the daemon uses it: the names of its inputs and
// outputs (ds.dat) and its presets (presets.json), shared with the window
// and quellix-cli that use the same folder.
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <map>
#include <set>
#include <string>

#include "Config.h"
#include "xandrel/custom/PresetFile.h"

namespace quellixd {

// {"inputs": [...], "outputs": [...]}: the names, or the built-in ones.
QJsonObject NamesJson(const DeviceConfig& device);

// Replaces the names of the inputs and outputs given (1-based) in ds.dat,
// keeping every other text of the file. False with `error` when the device
// has no data folder or the file cannot be written.
bool WriteNames(const DeviceConfig& device, const std::map<int, std::string>& inputs,
                const std::map<int, std::string>& outputs, QString& error);

// The presets book of the device's folder (empty without a folder); false
// with `error` when the file is no presets file.
bool LoadPresets(const DeviceConfig& device, xandrel::PresetBook& book, QString& error);
bool SavePresets(const DeviceConfig& device, const xandrel::PresetBook& book, QString& error);
// Whose presets in the book are the device's: its model's.
xandrel::PresetDevice PresetOwner(const DeviceConfig& device);
// The output locks kept in the device's folder (data/locks.json, shared with
// the window that uses it): none without a folder or file.
std::set<int> LoadLocks(const DeviceConfig& device, QString& error);
bool SaveLocks(const DeviceConfig& device, const std::set<int>& locks, QString& error);

// What recalling `preset` changes: every output (1-based) to the preset's
// input, except the locked ones, which keep theirs.
std::map<int, int> RecallChanges(const xandrel::Preset& preset, const std::set<int>& locks);
// [{"name": ..., "routing": [...]}, ...]
QJsonArray PresetsJson(const std::vector<xandrel::Preset>& presets);

}  // namespace quellixd
