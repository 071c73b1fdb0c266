// SPDX-License-Identifier: GPL-3.0-or-later
#include "xandrel/custom/OutputLocks.h"

#include "xandrel/custom/JsonFields.h"

namespace xandrel {
namespace {

// A locks file holds a few bytes; this is far beyond any real one.
constexpr size_t kReadLimit = 64u << 10;
constexpr int kHighestOutput = 255;

bool IsOutputNumber(const QJsonValue& value)
{
    return value.isDouble() && value.toDouble() == value.toInt() && value.toInt() >= 1
        && value.toInt() <= kHighestOutput;
}

}  // namespace

bool OutputLocks::Load(const std::string& path, OutputLocks& locks, std::string& error)
{
    locks.locked_.clear();
    QJsonObject object;
    switch (json::ReadObjectFile(path, kReadLimit, "locks file", object, error)) {
    case json::FileRead::Missing: return true;
    case json::FileRead::Bad: return false;
    case json::FileRead::Read: break;
    }
    if (std::string unknown = json::UnknownField(object, {"locked"}); !unknown.empty()) {
        error = path + ": not a locks file (it " + unknown + ")";
        return false;
    }
    if (object.contains("locked") && !object.value("locked").isArray()) {
        error = path + ": \"locked\" is not a list of output numbers";
        return false;
    }
    OutputLocks read;
    for (const QJsonValue& output : object.value("locked").toArray()) {
        if (!IsOutputNumber(output)) {
            error = path + ": \"locked\" holds something that is no output number 1-255";
            return false;
        }
        read.locked_.insert(output.toInt());
    }
    locks = std::move(read);
    return true;
}

bool OutputLocks::Save(const std::string& path, std::string& error) const
{
    QJsonArray outputs;
    for (int output : locked_)
        outputs.append(output);
    return json::WriteObjectFile(path, QJsonObject{{"locked", outputs}}, error);
}

void OutputLocks::set(int output, bool locked)
{
    if (output < 1 || output > kHighestOutput)
        return;
    if (locked)
        locked_.insert(output);
    else
        locked_.erase(output);
}

bool OutputLocks::toggle(int output)
{
    set(output, !isLocked(output));
    return isLocked(output);
}

std::vector<int> OutputLocks::keepLocked(std::vector<int> wanted, const std::vector<int>& current) const
{
    for (int output : locked_)
        if (static_cast<size_t>(output) <= wanted.size() && static_cast<size_t>(output) <= current.size())
            wanted[output - 1] = current[output - 1];
    return wanted;
}

std::string LocksFilePath(const std::string& folder)
{
    return folder + "/locks.json";
}

}  // namespace xandrel
