// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading the fields of a JSON object of the configuration, each failure a
// message naming where it is (`where`) and the key at fault.
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace quellixd {

// False when `object` holds a key not in `known` (keys starting with "_"
// are notes).
bool OnlyKnownKeys(const QJsonObject& object, const QStringList& known, const QString& where, QString& error);

// A whole number within [low, high] at `key`, or `fallback` when absent.
bool Number(const QJsonObject& object, const QString& key, int low, int high, int fallback, int& value,
            const QString& where, QString& error);

// A string at `key`; `value` is left as it is when the key is absent.
bool Text(const QJsonObject& object, const QString& key, QString& value, const QString& where, QString& error);

}  // namespace quellixd
