#pragma once
// Small pieces the JSON files (presets, backups) share: routing lists and
// the check for fields a file may not hold.
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <set>
#include <string>
#include <vector>

namespace xandrel::json {

// The inputs of a JSON list; an entry that is no whole number reads as -1,
// which no routing check lets pass.
inline std::vector<int> RoutingOf(const QJsonValue& value)
{
    std::vector<int> routing;
    for (const QJsonValue& input : value.toArray())
        routing.push_back(input.isDouble() && input.toDouble() == input.toInt() ? input.toInt() : -1);
    return routing;
}

inline QJsonArray RoutingArray(const std::vector<int>& routing)
{
    QJsonArray array;
    for (int input : routing)
        array.append(input);
    return array;
}

// "has an unknown field 'x'" for the first field not in `known`, else "".
inline std::string UnknownField(const QJsonObject& object, const std::set<QString>& known)
{
    for (const QString& key : object.keys())
        if (!known.count(key))
            return "has an unknown field '" + key.toStdString() + "'";
    return {};
}

// A device ID 0-255 as a JSON number, or -1.
inline int DeviceIdOf(const QJsonValue& id)
{
    if (!id.isDouble() || id.toDouble() != id.toInt() || id.toInt() < 0 || id.toInt() > 255)
        return -1;
    return id.toInt();
}

}  // namespace xandrel::json
