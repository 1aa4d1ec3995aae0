// A small strict JSON reader for checking the phone tool's listings.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillet::testing {

struct JsonValue {
    using Array = std::vector<JsonValue>;
    using Object = std::map<std::string, JsonValue>;
    std::variant<std::nullptr_t, bool, double, std::string, Array, Object> value;

    bool is_null() const { return std::holds_alternative<std::nullptr_t>(value); }
    const Array& array() const { return std::get<Array>(value); }
    const Object& object() const { return std::get<Object>(value); }
    const std::string& string() const { return std::get<std::string>(value); }
    double number() const { return std::get<double>(value); }
    bool boolean() const { return std::get<bool>(value); }
    const JsonValue& operator[](const std::string& key) const { return object().at(key); }
    const JsonValue& operator[](size_t i) const { return array().at(i); }
};

// The document, or none when it is not exactly one valid JSON value.
std::optional<JsonValue> parse_json(std::string_view text);

}  // namespace quillet::testing
