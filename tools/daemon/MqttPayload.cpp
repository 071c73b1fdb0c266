// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttPayload.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace quellixd {

namespace {

bool Blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && Blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && Blank(text.back()))
        text.remove_suffix(1);
    return text;
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// The index of the one label that matches `text` by `same`, 0 for none,
// -1 for several.
template <typename Same>
int FindLabel(std::string_view text, const std::vector<std::string>& choices, Same same)
{
    int found = 0;
    for (size_t k = 0; k < choices.size(); ++k) {
        if (!same(text, choices[k]))
            continue;
        if (found != 0)
            return -1;
        found = static_cast<int>(k + 1);
    }
    return found;
}

}  // namespace

MqttChoice ParseChoice(std::string_view payload, const std::vector<std::string>& choices, bool numbers)
{
    if (payload.size() > kLongestChoice)
        return {0, std::to_string(payload.size()) + " bytes, longer than any name"};
    const std::string_view text = Trimmed(payload);
    if (text.empty())
        return {0, "empty"};
    // A label first: Home Assistant sends the labels it was given, and an
    // input may be named "3".
    int found = FindLabel(text, choices, [](std::string_view a, std::string_view b) { return a == b; });
    if (found > 0)
        return {found, {}};
    const bool digits = std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (numbers && digits) {
        const int number = text.size() > 3 ? 0 : std::stoi(std::string(text));
        if (number >= 1 && number <= static_cast<int>(choices.size()))
            return {number, {}};
        return {0, "no number " + PayloadPreview(text) + " (1-" + std::to_string(choices.size()) + ")"};
    }
    if (found == 0)
        found = FindLabel(text, choices, SameIgnoringCase);
    if (found > 0)
        return {found, {}};
    return {0, found < 0 ? "more than one name matches" : "no such name"};
}

std::vector<std::string> DistinctLabels(const std::vector<std::string>& names, const std::string& kind)
{
    std::map<std::string, int> uses;
    for (const std::string& name : names)
        ++uses[name];
    std::vector<std::string> labels;
    for (size_t k = 0; k < names.size(); ++k) {
        const std::string number = std::to_string(k + 1);
        if (names[k].empty())
            labels.push_back(kind + " " + number);
        else if (uses[names[k]] > 1)
            labels.push_back(names[k] + " (" + number + ")");
        else
            labels.push_back(names[k]);
    }
    return labels;
}

std::string PayloadPreview(std::string_view payload)
{
    constexpr size_t kShown = 40;
    std::string shown;
    for (const char c : payload.substr(0, kShown)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            shown += c;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
        shown += escaped;
    }
    return payload.size() > kShown ? shown + "..." : shown;
}

}  // namespace quellixd
