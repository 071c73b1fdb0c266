// SPDX-License-Identifier: GPL-3.0-or-later
#include "OptionParser.h"

namespace quellix::cli {

void OptionParser::add(const Option& option)
{
    const int position = static_cast<int>(options_.size());
    options_.push_back(option);
    for (const std::string& name : option.names)
        index_.emplace(name, position);
}

void OptionParser::add(const std::vector<Option>& options)
{
    for (const Option& option : options)
        add(option);
}

int OptionParser::find(const std::string& name)
{
    const auto found = index_.find(name);
    if (found != index_.end())
        return found->second;
    unknown_.push_back(name);
    return -1;
}

// Takes the option's value from after its '=' (`inline_`) or from the next
// argument; a flag given a value is a mistake.
bool OptionParser::takeValue(int option, const std::string& typed, const std::string* inline_, Iterator& next,
                             Iterator end)
{
    given_[option] = true;
    if (!options_[option].takesValue()) {
        if (!inline_)
            return true;
        error_ = "Unexpected value after '" + typed + "'.";
        return false;
    }
    if (inline_) {
        values_[option].push_back(*inline_);
        return true;
    }
    if (next == end) {
        error_ = "Missing value after '" + typed + "'.";
        return false;
    }
    values_[option].push_back(*next++);
    return true;
}

void OptionParser::readDashed(const std::string& argument, Iterator& next, Iterator end)
{
    const auto assign = argument.find('=');
    const std::string name = argument.substr(2, assign == std::string::npos ? assign : assign - 2);
    const int option = find(name);
    if (option < 0)
        return;
    const std::string value = assign == std::string::npos ? "" : argument.substr(assign + 1);
    takeValue(option, argument.substr(0, assign), assign == std::string::npos ? nullptr : &value, next, end);
}

// "-jh" is "-j -h"; a letter that takes a value takes the rest of the word
// ("-p3", "-p=3") or else the next argument.
void OptionParser::readLetters(const std::string& argument, Iterator& next, Iterator end)
{
    for (size_t k = 1; k < argument.size(); ++k) {
        const std::string letter(1, argument[k]);
        const int option = find(letter);
        const bool valueFollows = k + 1 < argument.size();
        if (option >= 0 && options_[option].takesValue()) {
            if (!valueFollows) {
                takeValue(option, argument, nullptr, next, end);
                return;
            }
            const std::string value = argument.substr(argument[k + 1] == '=' ? k + 2 : k + 1);
            takeValue(option, argument, &value, next, end);
            return;
        }
        if (option >= 0)
            given_[option] = true;
        if (valueFollows && argument[k + 1] == '=') {
            if (option >= 0)
                error_ = "Unexpected value after '-" + letter + "'.";
            return;
        }
    }
}

bool OptionParser::parse(const std::vector<std::string>& arguments)
{
    values_.assign(options_.size(), {});
    given_.assign(options_.size(), false);
    positional_.clear();
    unknown_.clear();
    error_.clear();
    bool onlyWords = false;
    Iterator next = arguments.begin();
    if (next != arguments.end())
        ++next;  // the program's name
    while (next != arguments.end()) {
        const std::string& argument = *next++;
        if (onlyWords || argument.size() < 2 || argument[0] != '-')
            positional_.push_back(argument);
        else if (argument == "--")
            onlyWords = true;
        else if (argument[1] == '-')
            readDashed(argument, next, arguments.end());
        else
            readLetters(argument, next, arguments.end());
    }
    return unknown_.empty() && error_.empty();
}

bool OptionParser::isSet(const std::string& name) const
{
    const auto found = index_.find(name);
    return found != index_.end() && given_.size() > static_cast<size_t>(found->second) && given_[found->second];
}

std::string OptionParser::value(const std::string& name) const
{
    const auto found = index_.find(name);
    if (found == index_.end() || values_.size() <= static_cast<size_t>(found->second) || values_[found->second].empty())
        return "";
    return values_[found->second].back();
}

}  // namespace quellix::cli
