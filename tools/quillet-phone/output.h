// Listings of the phone tool: plain lines, or a JSON array of objects.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/filetime.h"

namespace quillet::phone_tool {

// One JSON object, built field by field in order.
class JsonObject {
  public:
    JsonObject& text(std::string_view key, std::string_view utf8);
    JsonObject& text(std::string_view key, std::u16string_view text);
    JsonObject& number(std::string_view key, int64_t value);
    JsonObject& boolean(std::string_view key, bool value);
    JsonObject& null(std::string_view key);
    // `json` must already be valid JSON (an array or object).
    JsonObject& raw(std::string_view key, std::string_view json);
    std::string str() const { return "{" + body_ + "}"; }

  private:
    void key(std::string_view name);
    std::string body_;
};

std::string json_string(std::string_view utf8);
// The objects as a JSON array, one object per line.
std::string json_array(const std::vector<JsonObject>& objects);
std::string json_inline_array(const std::vector<JsonObject>& objects);

// "2026-01-02T03:04:05Z"
std::string iso_time(FileTime t);
// Parses "YYYY-MM-DDTHH:MM:SSZ" (the "Z" may be left out); UsageError
// otherwise.
FileTime parse_iso_time(std::string_view text);

std::string hex(const std::vector<uint8_t>& bytes);

}  // namespace quillet::phone_tool
