// SPDX-License-Identifier: GPL-3.0-or-later
#include "RequestBodies.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include "xandrel/device/ModelCatalog.h"

#include <vector>

namespace quellixd {

namespace {

constexpr int kLongestPresetName = 64;

// The text of a JSON string as written (quotes included), decoded.
QString Decoded(const QByteArray& quoted)
{
    return QJsonDocument::fromJson("[" + quoted + "]").array().first().toString();
}

// The body as a JSON document, or why it is none.
bool ReadJson(const QByteArray& body, QJsonDocument& document, QString& error)
{
    QJsonParseError parse{};
    document = QJsonDocument::fromJson(body, &parse);
    if (parse.error != QJsonParseError::NoError) {
        error = "the body is no JSON: " + parse.errorString();
        return false;
    }
    if (const QString twice = RepeatedKey(body); !twice.isNull()) {
        error = "the key \"" + twice + "\" is given twice";
        return false;
    }
    return true;
}

// A whole number from 1 to `highest`, else 0 with `error` naming `where`.
int WholeNumber(const QJsonValue& value, int highest, const QString& where, QString& error)
{
    const double number = value.toDouble(-1);
    // The range first: a number beyond int cannot be converted to see whether it is whole.
    if (!value.isDouble() || number < 1 || number > highest || number != static_cast<int>(number)) {
        error = where + ": the input must be a whole number from 1 to " + QString::number(highest);
        return 0;
    }
    return static_cast<int>(number);
}

std::map<int, int> RoutingTable(const QJsonArray& table, const xandrel::ModelSpec& model, QString& error)
{
    if (table.size() != model.outputs) {
        error = QString("a whole table gives %1 inputs, one per output; this one has %2")
                    .arg(model.outputs)
                    .arg(table.size());
        return {};
    }
    std::map<int, int> changes;
    for (int output = 1; output <= model.outputs; ++output)
        if (!(changes[output] =
                  WholeNumber(table[output - 1], model.inputs, "output " + QString::number(output), error)))
            return {};
    return changes;
}

bool NameMap(const QJsonValue& value, int count, size_t longest, const QString& what, std::map<int, std::string>& names,
             QString& error)
{
    if (value.isUndefined())
        return true;
    if (!value.isObject()) {
        error = "\"" + what + "s\" must be an object of " + what + " numbers and names";
        return false;
    }
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const int number = NumberKey(it.key(), count);
        const std::string name = it.value().toString().toStdString();
        if (number == 0) {
            error = "\"" + it.key() + "\" is no " + what + ": 1 to " + QString::number(count);
            return false;
        }
        if (!it.value().isString() || name.empty() || name.size() > longest
            || name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
            error = what + " " + it.key() + ": a name is one line of 1 to " + QString::number(longest) + " bytes";
            return false;
        }
        names[number] = name;
    }
    return true;
}

}  // namespace

QString RepeatedKey(const QByteArray& json)
{
    struct Level {
        bool object;
        bool wantKey;
        QSet<QString> keys;
    };
    std::vector<Level> levels;
    for (qsizetype at = 0; at < json.size(); ++at) {
        const char c = json[at];
        if (c == '"') {
            const qsizetype start = at;
            for (++at; at < json.size() && json[at] != '"'; ++at)
                if (json[at] == '\\')
                    ++at;
            if (levels.empty() || !levels.back().object || !levels.back().wantKey)
                continue;
            const QString key = Decoded(json.mid(start, at - start + 1));
            if (levels.back().keys.contains(key))
                return key;
            levels.back().keys.insert(key);
            levels.back().wantKey = false;
        } else if (c == '{' || c == '[') {
            levels.push_back({c == '{', c == '{', {}});
        } else if ((c == '}' || c == ']') && !levels.empty()) {
            levels.pop_back();
        } else if (c == ',' && !levels.empty()) {
            levels.back().wantKey = levels.back().object;
        }
    }
    return {};
}

int NumberKey(const QString& key, int count)
{
    if (key.isEmpty() || key.size() > 3 || key[0] == '0')
        return 0;
    for (const QChar c : key)
        if (c < '0' || c > '9')
            return 0;
    const int number = key.toInt();
    return number >= 1 && number <= count ? number : 0;
}

std::map<int, int> ParseRouting(const QByteArray& body, const xandrel::ModelSpec& model, QString& error)
{
    QJsonDocument document;
    if (!ReadJson(body, document, error))
        return {};
    if (document.isArray())
        return RoutingTable(document.array(), model, error);
    if (!document.isObject() || document.object().isEmpty()) {
        error = R"(the body must be {"output": input, ...} or a list of every output's input)";
        return {};
    }
    std::map<int, int> changes;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const int output = NumberKey(it.key(), model.outputs);
        if (output == 0) {
            error = "\"" + it.key() + "\" is no output: 1 to " + QString::number(model.outputs);
            return {};
        }
        if (!(changes[output] = WholeNumber(it.value(), model.inputs, "output " + it.key(), error)))
            return {};
    }
    return changes;
}

std::map<int, bool> ParseLocks(const QByteArray& body, const xandrel::ModelSpec& model, QString& error)
{
    QJsonDocument document;
    if (!ReadJson(body, document, error))
        return {};
    if (!document.isObject() || document.object().isEmpty()) {
        error = R"(the body must be {"output": true or false, ...})";
        return {};
    }
    std::map<int, bool> locks;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const int output = NumberKey(it.key(), model.outputs);
        if (output == 0 || !it.value().isBool()) {
            error = "\"" + it.key() + "\": an output from 1 to " + QString::number(model.outputs)
                + " and true (locked) or false";
            return {};
        }
        locks[output] = it.value().toBool();
    }
    return locks;
}

bool ParseNames(const QByteArray& body, const xandrel::ModelSpec& model, size_t longest,
                std::map<int, std::string>& inputs, std::map<int, std::string>& outputs, QString& error)
{
    QJsonDocument document;
    if (!ReadJson(body, document, error))
        return false;
    const QJsonObject object = document.object();
    if (!document.isObject() || object.isEmpty()) {
        error = R"(the body must be {"inputs": {"2": "name"}, "outputs": {"3": "name"}})";
        return false;
    }
    for (const QString& key : object.keys()) {
        if (key != "inputs" && key != "outputs") {
            error = "unknown key \"" + key + "\" (known: inputs, outputs)";
            return false;
        }
    }
    return NameMap(object.value("inputs"), model.inputs, longest, "input", inputs, error)
        && NameMap(object.value("outputs"), model.outputs, longest, "output", outputs, error);
}

bool ParsePresetBody(const QByteArray& body, const xandrel::ModelSpec& model, std::optional<std::vector<int>>& routing,
                     QString& error)
{
    routing.reset();
    if (body.trimmed().isEmpty())
        return true;
    QJsonDocument document;
    if (!ReadJson(body, document, error))
        return false;
    const QJsonObject object = document.object();
    if (!document.isObject() || object.size() != 1 || !object.value("routing").isArray()) {
        error = R"(the body must be {"routing": [input of output 1, ...]}, or empty for the routing now)";
        return false;
    }
    const std::map<int, int> table = RoutingTable(object.value("routing").toArray(), model, error);
    if (table.empty())
        return false;
    std::vector<int> values;
    for (const auto& [output, input] : table)
        values.push_back(input);
    routing = values;
    return true;
}

QString ParseNewName(const QByteArray& body, QString& error)
{
    QJsonDocument document;
    if (!ReadJson(body, document, error))
        return {};
    const QJsonObject object = document.object();
    if (!document.isObject() || object.size() != 1 || !object.value("name").isString()) {
        error = R"(the body must be {"name": "new name"})";
        return {};
    }
    const QString name = object.value("name").toString();
    error = PresetNameProblem(name);
    return error.isEmpty() ? name : QString();
}

QString PresetNameProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return "a preset needs a name";
    if (name.trimmed() != name)
        return "a preset's name does not start or end with blanks";
    if (name.size() > kLongestPresetName)
        return "a preset's name has at most " + QString::number(kLongestPresetName) + " characters";
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control)
            return "a preset's name has no control characters";
    return {};
}

}  // namespace quellixd
