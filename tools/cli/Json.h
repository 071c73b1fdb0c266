// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The JSON the command line prints, without Qt: null, booleans, integers,
// strings, arrays and objects, written compact as QJsonDocument writes them
// (object keys in order, the same escapes), so that the launcher and the
// full program print the same bytes.
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quellix::cli {

// One character of UTF-8 read at `at`: its code point and its length in
// bytes. A byte that starts no valid sequence (overlong, a surrogate, past
// U+10FFFF, cut short) reads as U+FFFD of length 1, so each byte of a broken
// sequence becomes one replacement character, as QString::fromUtf8 reads it.
struct Utf8Char {
    char32_t codePoint;
    size_t length;
};
Utf8Char ReadUtf8(std::string_view bytes, size_t at);
// Where the text in `bytes` starts: after a byte order mark that leads it,
// which QString::fromUtf8 drops (one, and only at the start).
size_t TextStart(std::string_view bytes);

// `bytes` from TextStart on, every invalid byte replaced by U+FFFD: always
// valid UTF-8.
std::string ValidUtf8(std::string_view bytes);

class JsonValue;
struct JsonMember;

// The containers hold values of a type not yet complete here: whatever
// needs their elements is defined in Json.cpp.
class JsonArray {
public:
    JsonArray();
    ~JsonArray();
    JsonArray(const JsonArray&);
    JsonArray(JsonArray&&) noexcept;
    JsonArray& operator=(const JsonArray&);
    JsonArray& operator=(JsonArray&&) noexcept;
    JsonArray(std::initializer_list<JsonValue> values);

    void append(JsonValue value);
    size_t size() const;
    bool isEmpty() const;
    const std::vector<JsonValue>& values() const { return values_; }

private:
    std::vector<JsonValue> values_;
};

// Members are kept ordered by key as UTF-16 code units, as QJsonObject
// keeps them; a key given again replaces the member. Keys are taken as
// ValidUtf8 reads them: two that differ only in invalid bytes are one.
class JsonObject {
public:
    JsonObject();
    ~JsonObject();
    JsonObject(const JsonObject&);
    JsonObject(JsonObject&&) noexcept;
    JsonObject& operator=(const JsonObject&);
    JsonObject& operator=(JsonObject&&) noexcept;
    JsonObject(std::initializer_list<JsonMember> members);

    void insert(std::string_view key, JsonValue value);
    size_t size() const;
    bool isEmpty() const;
    const std::vector<JsonMember>& members() const { return members_; }

private:
    std::vector<JsonMember> members_;
};

class JsonValue {
public:
    JsonValue() = default;  // null
    JsonValue(std::nullptr_t) { }
    JsonValue(bool value)
        : value_(std::in_place_type<bool>, value)
    {
    }
    template <std::integral Integer>
    requires(!std::same_as<Integer, bool>) JsonValue(Integer value)
        : value_(std::in_place_type<std::int64_t>, static_cast<std::int64_t>(value))
    {
    }
    JsonValue(double) = delete;  // no verb prints fractions: a double here is a mistake
    // Bytes, most often UTF-8, taken as ValidUtf8 reads them.
    JsonValue(const char* text)
        : value_(std::in_place_type<std::string>, ValidUtf8(text))
    {
    }
    JsonValue(std::string_view text)
        : value_(std::in_place_type<std::string>, ValidUtf8(text))
    {
    }
    JsonValue(const std::string& text)
        : JsonValue(std::string_view(text))
    {
    }
    JsonValue(JsonArray array)
        : value_(std::in_place_type<JsonArray>, std::move(array))
    {
    }
    JsonValue(JsonObject object)
        : value_(std::in_place_type<JsonObject>, std::move(object))
    {
    }

    bool isNull() const { return std::holds_alternative<std::monostate>(value_); }
    bool isArray() const { return std::holds_alternative<JsonArray>(value_); }
    bool isObject() const { return std::holds_alternative<JsonObject>(value_); }

    // The value as compact JSON text: no spaces, no line ends.
    std::string toCompactJson() const;
    void appendCompactJson(std::string& out) const;

private:
    std::variant<std::monostate, bool, std::int64_t, std::string, JsonArray, JsonObject> value_;
};

struct JsonMember {
    std::string key;
    JsonValue value;
};

}  // namespace quellix::cli
