// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConfigFields.h"

#include <QJsonValue>

namespace quellixd {

bool OnlyKnownKeys(const QJsonObject& object, const QStringList& known, const QString& where, QString& error)
{
    for (const QString& key : object.keys()) {
        if (!known.contains(key) && !key.startsWith('_')) {  // "_comment" and the like are notes
            error = where + ": unknown key \"" + key + "\" (known: " + known.join(", ") + ")";
            return false;
        }
    }
    return true;
}

bool Number(const QJsonObject& object, const QString& key, int low, int high, int fallback, int& value,
            const QString& where, QString& error)
{
    const QJsonValue field = object.value(key);
    if (field.isUndefined()) {
        value = fallback;
        return true;
    }
    const double number = field.toDouble(-1);
    if (!field.isDouble() || number != static_cast<int>(number) || number < low || number > high) {
        error = where + ": \"" + key + "\" must be a whole number from " + QString::number(low) + " to "
            + QString::number(high);
        return false;
    }
    value = static_cast<int>(number);
    return true;
}

bool Text(const QJsonObject& object, const QString& key, QString& value, const QString& where, QString& error)
{
    const QJsonValue field = object.value(key);
    if (field.isUndefined())
        return true;
    if (!field.isString()) {
        error = where + ": \"" + key + "\" must be a string";
        return false;
    }
    value = field.toString();
    return true;
}

}  // namespace quellixd
