#include "tools/quillet-phone/output.h"

#include <cstdio>
#include <ctime>

#include "protocol/text_codec.h"
#include "tools/quillet-phone/arguments.h"

namespace quillet::phone_tool {

std::string json_string(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

void JsonObject::key(std::string_view name) {
    if (!body_.empty())
        body_ += ", ";
    body_ += json_string(name) + ": ";
}

JsonObject& JsonObject::text(std::string_view name, std::string_view utf8) {
    key(name);
    body_ += json_string(utf8);
    return *this;
}

JsonObject& JsonObject::text(std::string_view name, std::u16string_view value) {
    return text(name, to_utf8(value));
}

JsonObject& JsonObject::number(std::string_view name, int64_t value) {
    key(name);
    body_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::boolean(std::string_view name, bool value) {
    key(name);
    body_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::null(std::string_view name) {
    key(name);
    body_ += "null";
    return *this;
}

JsonObject& JsonObject::raw(std::string_view name, std::string_view json) {
    key(name);
    body_ += json;
    return *this;
}

std::string json_array(const std::vector<JsonObject>& objects) {
    if (objects.empty())
        return "[]\n";
    std::string out = "[\n";
    for (size_t i = 0; i < objects.size(); ++i) {
        out += "  " + objects[i].str() + (i + 1 < objects.size() ? ",\n" : "\n");
    }
    return out + "]\n";
}

std::string json_inline_array(const std::vector<JsonObject>& objects) {
    std::string out = "[";
    for (size_t i = 0; i < objects.size(); ++i)
        out += (i ? ", " : "") + objects[i].str();
    return out + "]";
}

std::string iso_time(FileTime t) {
    const std::tm tm = utc_tm(t);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

FileTime parse_iso_time(std::string_view text) {
    std::string s(text);
    if (s.ends_with('Z'))
        s.pop_back();
    std::tm tm{};
    int consumed = 0;
    if (std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &consumed) != 6 ||
        static_cast<size_t>(consumed) != s.size() || tm.tm_year < 1601 || tm.tm_mon < 1 ||
        tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 || tm.tm_min > 59 ||
        tm.tm_sec > 60) {
        throw UsageError("time must look like 2026-01-02T03:04:05Z: " + std::string(text));
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return filetime_from_unix(static_cast<int64_t>(timegm(&tm)));
}

std::string hex(const std::vector<uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0xF];
    }
    return out;
}

}  // namespace quillet::phone_tool
