// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The options of a command line, the way people type them everywhere:
// "--port P", "--port=P", "-p P", "-pP", "-jh" for "-j -h", "--" before words
// that only look like options. Options may stand before or after the words.
// Arguments are bytes: a file name that is no UTF-8 reaches the system as typed.
#include <map>
#include <string>
#include <vector>

namespace quellix::cli {

struct Option {
    std::vector<std::string> names;  // "p", "port": one letter is typed "-p", longer "--port"
    std::string description;
    std::string valueName;  // empty for a flag; else the option takes a value, shown as this in the help

    bool takesValue() const { return !valueName.empty(); }
};

class OptionParser {
public:
    void add(const Option& option);
    void add(const std::vector<Option>& options);

    // Reads the arguments after the program's name. False on an option no one
    // knows (see unknownOptionNames) or a value missing or not wanted (see
    // errorText); what could be read is kept either way.
    bool parse(const std::vector<std::string>& arguments);

    // Whether the option with `name` (any of its names) was given.
    bool isSet(const std::string& name) const;
    // The value given last to the option with `name`; "" when none.
    std::string value(const std::string& name) const;

    const std::vector<std::string>& positionalArguments() const { return positional_; }
    // The options given that no one knows, as typed without their dashes.
    const std::vector<std::string>& unknownOptionNames() const { return unknown_; }
    // "Missing value after '--port'." or "Unexpected value after '--json'.".
    const std::string& errorText() const { return error_; }

private:
    using Iterator = std::vector<std::string>::const_iterator;
    // The option's index, or -1 after noting the name as unknown.
    int find(const std::string& name);
    bool takeValue(int option, const std::string& typed, const std::string* inline_, Iterator& next, Iterator end);
    void readDashed(const std::string& argument, Iterator& next, Iterator end);
    void readLetters(const std::string& argument, Iterator& next, Iterator end);

    std::vector<Option> options_;
    std::map<std::string, int> index_;  // every name to its option
    std::vector<std::vector<std::string>> values_;
    std::vector<bool> given_;
    std::vector<std::string> positional_;
    std::vector<std::string> unknown_;
    std::string error_;
};

}  // namespace quellix::cli
