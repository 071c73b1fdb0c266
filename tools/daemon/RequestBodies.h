// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bodies of the HTTP API's requests, read and checked against the
// device's model: routing, locks, names, preset names and routings.
#include <QByteArray>
#include <QString>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace xandrel {
struct ModelSpec;
}

namespace quellixd {

// The outputs a request body sets: {"3": 5} sets output 3 to input 5; a
// list gives the input of every output. Empty with `error` when it is none.
std::map<int, int> ParseRouting(const QByteArray& body, const xandrel::ModelSpec& model, QString& error);

// {"3": true, "4": false}: outputs to lock (true) or free. Empty with
// `error` when it is none.
std::map<int, bool> ParseLocks(const QByteArray& body, const xandrel::ModelSpec& model, QString& error);

// {"inputs": {"2": "Laptop"}, "outputs": {"3": "Projector"}}: names of
// inputs and outputs, each one line of at most `longest` bytes. False with
// `error` when it is none.
bool ParseNames(const QByteArray& body, const xandrel::ModelSpec& model, size_t longest,
                std::map<int, std::string>& inputs, std::map<int, std::string>& outputs, QString& error);

// The routing of a preset body {"routing": [...]}, or nothing for an empty
// body (the routing now). False with `error` when it is neither.
bool ParsePresetBody(const QByteArray& body, const xandrel::ModelSpec& model, std::optional<std::vector<int>>& routing,
                     QString& error);

// The new name in {"name": "..."}; empty with `error` when it is none.
QString ParseNewName(const QByteArray& body, QString& error);

// Why `name` cannot name a preset (empty, blank at either end, longer than
// 64 characters, control characters); empty when it can.
QString PresetNameProblem(const QString& name);

// A key some object of `json` (valid JSON) gives twice, decoded; null when
// none is.
QString RepeatedKey(const QByteArray& json);

// The output or input number a key names: canonical decimal ("3", never
// "03", "+3" or " 3") from 1 to `count`; 0 when it is none.
int NumberKey(const QString& key, int count);

}  // namespace quellixd
