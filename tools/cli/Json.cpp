// SPDX-License-Identifier: GPL-3.0-or-later
#include "Json.h"

#include <algorithm>

namespace quellix::cli {

size_t TextStart(std::string_view bytes)
{
    return bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
}

Utf8Char ReadUtf8(std::string_view bytes, size_t at)
{
    constexpr Utf8Char kInvalid{0xFFFD, 1};
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(bytes[at + k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return {lead, 1};
    // C0 and C1 only start overlong forms; past F4 lies beyond U+10FFFF.
    if (lead < 0xC2 || lead > 0xF4)
        return kInvalid;
    const size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (bytes.size() - at < length)
        return kInvalid;
    char32_t codePoint = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80)
            return kInvalid;
        codePoint = codePoint << 6 | (byte(k) & 0x3F);
    }
    constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < kShortest[length] || surrogate || codePoint > 0x10FFFF)
        return kInvalid;
    return {codePoint, length};
}

namespace {

// Valid UTF-8 as UTF-16 code units: the order QJsonObject keeps keys in.
std::u16string Utf16Of(std::string_view utf8)
{
    std::u16string units;
    for (size_t at = 0; at < utf8.size();) {
        const Utf8Char character = ReadUtf8(utf8, at);
        const char32_t c = character.codePoint;
        if (c < 0x10000) {
            units += static_cast<char16_t>(c);
        } else {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        at += character.length;
    }
    return units;
}

// Writes valid UTF-8 as a JSON string: quotes, backslashes and ASCII
// controls escaped, DEL and everything past ASCII as it is.
void AppendString(std::string& out, std::string_view utf8)
{
    constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char byte : utf8) {
        const auto c = static_cast<unsigned char>(byte);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20)
                out.append("\\u00").append(1, kHex[c >> 4]).append(1, kHex[c & 0xF]);
            else
                out += byte;
        }
    }
    out += '"';
}

}  // namespace

std::string ValidUtf8(std::string_view bytes)
{
    constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string text;
    text.reserve(bytes.size());
    for (size_t at = TextStart(bytes); at < bytes.size();) {
        const Utf8Char character = ReadUtf8(bytes, at);
        const bool invalid = character.codePoint == 0xFFFD && character.length == 1;
        text += invalid ? kReplacement : bytes.substr(at, character.length);
        at += character.length;
    }
    return text;
}

JsonArray::JsonArray() = default;
JsonArray::~JsonArray() = default;
JsonArray::JsonArray(const JsonArray&) = default;
JsonArray::JsonArray(JsonArray&&) noexcept = default;
JsonArray& JsonArray::operator=(const JsonArray&) = default;
JsonArray& JsonArray::operator=(JsonArray&&) noexcept = default;

JsonObject::JsonObject() = default;
JsonObject::~JsonObject() = default;
JsonObject::JsonObject(const JsonObject&) = default;
JsonObject::JsonObject(JsonObject&&) noexcept = default;
JsonObject& JsonObject::operator=(const JsonObject&) = default;
JsonObject& JsonObject::operator=(JsonObject&&) noexcept = default;

JsonArray::JsonArray(std::initializer_list<JsonValue> values)
    : values_(values)
{
}

void JsonArray::append(JsonValue value)
{
    values_.push_back(std::move(value));
}

size_t JsonArray::size() const
{
    return values_.size();
}

bool JsonArray::isEmpty() const
{
    return values_.empty();
}

JsonObject::JsonObject(std::initializer_list<JsonMember> members)
{
    for (const JsonMember& member : members)
        insert(member.key, member.value);
}

size_t JsonObject::size() const
{
    return members_.size();
}

bool JsonObject::isEmpty() const
{
    return members_.empty();
}

void JsonObject::insert(std::string_view key, JsonValue value)
{
    std::string written = ValidUtf8(key);
    const std::u16string order = Utf16Of(written);
    const auto place = std::lower_bound(
        members_.begin(), members_.end(), order,
        [](const JsonMember& member, const std::u16string& wanted) { return Utf16Of(member.key) < wanted; });
    if (place != members_.end() && place->key == written)
        place->value = std::move(value);
    else
        members_.insert(place, JsonMember{std::move(written), std::move(value)});
}

std::string JsonValue::toCompactJson() const
{
    std::string out;
    appendCompactJson(out);
    return out;
}

void JsonValue::appendCompactJson(std::string& out) const
{
    if (const bool* value = std::get_if<bool>(&value_)) {
        out += *value ? "true" : "false";
    } else if (const std::int64_t* number = std::get_if<std::int64_t>(&value_)) {
        out += std::to_string(*number);
    } else if (const std::string* text = std::get_if<std::string>(&value_)) {
        AppendString(out, *text);
    } else if (const JsonArray* array = std::get_if<JsonArray>(&value_)) {
        out += '[';
        for (const JsonValue& item : array->values()) {
            if (&item != &array->values().front())
                out += ',';
            item.appendCompactJson(out);
        }
        out += ']';
    } else if (const JsonObject* object = std::get_if<JsonObject>(&value_)) {
        out += '{';
        for (const JsonMember& member : object->members()) {
            if (&member != &object->members().front())
                out += ',';
            AppendString(out, member.key);
            out += ':';
            member.value.appendCompactJson(out);
        }
        out += '}';
    } else {
        out += "null";
    }
}

}  // namespace quellix::cli
