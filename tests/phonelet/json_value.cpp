#include "tests/phonelet/json_value.h"

#include <charconv>
#include <cstdlib>

namespace quillet::testing {
namespace {

class Parser {
  public:
    explicit Parser(std::string_view text) : s_(text) {}

    std::optional<JsonValue> document() {
        auto v = value();
        skip_space();
        if (!v || i_ != s_.size())
            return std::nullopt;
        return v;
    }

  private:
    void skip_space() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
            ++i_;
    }
    bool eat(char c) {
        skip_space();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    bool word(std::string_view w) {
        if (s_.substr(i_, w.size()) != w)
            return false;
        i_ += w.size();
        return true;
    }

    std::optional<JsonValue> value() {
        skip_space();
        if (i_ >= s_.size())
            return std::nullopt;
        const char c = s_[i_];
        if (c == '{')
            return object();
        if (c == '[')
            return array();
        if (c == '"') {
            auto str = string();
            if (!str)
                return std::nullopt;
            return JsonValue{*str};
        }
        if (word("true"))
            return JsonValue{true};
        if (word("false"))
            return JsonValue{false};
        if (word("null"))
            return JsonValue{nullptr};
        return number();
    }

    std::optional<JsonValue> number() {
        const size_t start = i_;
        while (i_ < s_.size() &&
               std::string_view("+-0123456789.eE").find(s_[i_]) != std::string_view::npos)
            ++i_;
        if (start == i_)
            return std::nullopt;
        const std::string text(s_.substr(start, i_ - start));
        char* end = nullptr;
        const double d = std::strtod(text.c_str(), &end);
        if (end != text.c_str() + text.size())
            return std::nullopt;
        return JsonValue{d};
    }

    std::optional<std::string> string() {
        if (!eat('"'))
            return std::nullopt;
        std::string out;
        while (i_ < s_.size()) {
            const char c = s_[i_++];
            if (c == '"')
                return out;
            if (static_cast<unsigned char>(c) < 0x20)
                return std::nullopt;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size())
                return std::nullopt;
            const char e = s_[i_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'u': {
                    if (i_ + 4 > s_.size())
                        return std::nullopt;
                    unsigned code = 0;
                    auto [p, ec] = std::from_chars(s_.data() + i_, s_.data() + i_ + 4, code, 16);
                    if (ec != std::errc() || p != s_.data() + i_ + 4 || code >= 0x80)
                        return std::nullopt;
                    out += static_cast<char>(code);
                    i_ += 4;
                    break;
                }
                default:
                    return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::optional<JsonValue> array() {
        eat('[');
        JsonValue::Array items;
        if (eat(']'))
            return JsonValue{items};
        do {
            auto v = value();
            if (!v)
                return std::nullopt;
            items.push_back(std::move(*v));
        } while (eat(','));
        if (!eat(']'))
            return std::nullopt;
        return JsonValue{items};
    }

    std::optional<JsonValue> object() {
        eat('{');
        JsonValue::Object members;
        if (eat('}'))
            return JsonValue{members};
        do {
            skip_space();
            auto key = string();
            if (!key || !eat(':'))
                return std::nullopt;
            auto v = value();
            if (!v)
                return std::nullopt;
            members[*key] = std::move(*v);
        } while (eat(','));
        if (!eat('}'))
            return std::nullopt;
        return JsonValue{members};
    }

    std::string_view s_;
    size_t i_ = 0;
};

}  // namespace

std::optional<JsonValue> parse_json(std::string_view text) {
    return Parser(text).document();
}

}  // namespace quillet::testing
