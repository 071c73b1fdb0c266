// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small pieces the JSON files (presets, backups, window settings, locks)
// share: reading and writing a file of one object, routing lists and the
// check for fields a file may not hold.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "xandrel/custom/AtomicFile.h"

namespace xandrel::json {

// What reading a file of one JSON object found.
enum class FileRead {
    Missing,  // no such file: the caller takes its defaults
    Read,     // `object` holds the file's object
    Bad       // unreadable or no JSON object; `error` names the file and why
};

// Reads the file at `path`, at most `limit` bytes; `kind` names what the
// file should be in the error ("window settings file").
inline FileRead ReadObjectFile(const std::string& path, size_t limit, const char* kind, QJsonObject& object,
                               std::string& error)
{
    std::error_code status;
    if (!std::filesystem::exists(path, status))
        return FileRead::Missing;
    std::string bytes;
    if (!ReadFileBytes(path, bytes, error, limit))
        return FileRead::Bad;
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(bytes), &parse);
    if (parse.error != QJsonParseError::NoError || !document.isObject()) {
        error = path + ": not a " + kind + " ("
            + (parse.error != QJsonParseError::NoError ? parse.errorString().toStdString()
                                                       : std::string("one JSON object expected"))
            + ")";
        return FileRead::Bad;
    }
    object = document.object();
    return FileRead::Read;
}

// Writes `object`, indented, through the safe writer.
inline bool WriteObjectFile(const std::string& path, const QJsonObject& object, std::string& error)
{
    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
    return WriteFileAtomically(path, std::string_view(text.constData(), static_cast<size_t>(text.size())), error);
}

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
