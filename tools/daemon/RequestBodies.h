#pragma once
// The body of a routing request: which outputs to set to which inputs.
#include <QByteArray>
#include <QString>

#include <map>

namespace xandrel {
struct ModelSpec;
}

namespace quellixd {

// The outputs a request body sets: {"3": 5} sets output 3 to input 5; a
// list gives the input of every output. Empty with `error` when it is none.
std::map<int, int> ParseRouting(const QByteArray& body, const xandrel::ModelSpec& model, QString& error);

}  // namespace quellixd
