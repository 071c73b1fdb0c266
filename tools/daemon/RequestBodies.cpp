#include "RoutingBody.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "xandrel/device/ModelCatalog.h"

namespace quellixd {

std::map<int, int> ParseRouting(const QByteArray& body, const xandrel::ModelSpec& model, QString& error)
{
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &parse);
    if (parse.error != QJsonParseError::NoError) {
        error = "the body is no JSON: " + parse.errorString();
        return {};
    }
    std::map<int, int> changes;
    const auto input = [&](const QJsonValue& value, const QString& where) {
        const double number = value.toDouble(-1);
        // The range first: a number beyond int cannot be converted to see whether it is whole.
        if (!value.isDouble() || number < 1 || number > model.inputs || number != static_cast<int>(number)) {
            error = where + ": the input must be a whole number from 1 to " + QString::number(model.inputs);
            return 0;
        }
        return static_cast<int>(number);
    };
    if (document.isArray()) {
        const QJsonArray table = document.array();
        if (table.size() != model.outputs) {
            error = QString("a whole table gives %1 inputs, one per output; this one has %2")
                        .arg(model.outputs)
                        .arg(table.size());
            return {};
        }
        for (int output = 1; output <= model.outputs; ++output)
            if (!(changes[output] = input(table[output - 1], "output " + QString::number(output))))
                return {};
        return changes;
    }
    if (!document.isObject() || document.object().isEmpty()) {
        error = R"(the body must be {"output": input, ...} or a list of every output's input)";
        return {};
    }
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool ok = false;
        const int output = it.key().toInt(&ok);
        if (!ok || output < 1 || output > model.outputs) {
            error = "\"" + it.key() + "\" is no output: 1 to " + QString::number(model.outputs);
            return {};
        }
        if (!(changes[output] = input(it.value(), "output " + it.key())))
            return {};
    }
    return changes;
}

}  // namespace quellixd
