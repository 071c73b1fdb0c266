// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What an MQTT command's payload names, read without trusting it: an input
// by its number or its label, a preset by its name. Standard library only.
#include <string>
#include <string_view>
#include <vector>

namespace quellixd {

inline constexpr size_t kLongestChoice = 256;

struct MqttChoice {
    int index = 0;  // 1-based index into the choices; 0 when the payload names none
    std::string error;
};

// The choice `payload` names: a label of `choices` exactly, else, with
// `numbers`, its number ("3"), else the one label that matches when letter
// case is ignored. Blanks around are ignored; a payload longer than kLongestChoice
// bytes names nothing.
MqttChoice ParseChoice(std::string_view payload, const std::vector<std::string>& choices, bool numbers);

// Labels that tell every entry apart: an empty name becomes "<kind> N",
// and a name that another entry has too gets " (N)".
std::vector<std::string> DistinctLabels(const std::vector<std::string>& names, const std::string& kind);

// At most 40 bytes of `payload` as a log line may show them: printable
// ASCII as it is, every other byte as \xNN; "..." when cut.
std::string PayloadPreview(std::string_view payload);

}  // namespace quellixd
