#include "config_list.h"

#include <algorithm>
#include <limits>

#include "desktop/store/app_paths.h"
#include "desktop/store/text_file.h"

namespace quillet {
namespace {

constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

std::string_view trim(std::string_view s) {
    const size_t first = s.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos)
        return {};
    const size_t last = s.find_last_not_of(kWhiteSpace);
    return s.substr(first, last - first + 1);
}

std::string_view cut(std::string_view s, size_t n) {
    return s.substr(0, std::min(s.size(), n));
}

int digit_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

}  // namespace

int32_t parse_c_integer(std::string_view text) {
    size_t i = text.find_first_not_of(kWhiteSpace);
    if (i == std::string_view::npos)
        return 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '0') {
        base = 8;
        const bool hex_prefix = i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X');
        if (hex_prefix && i + 2 < text.size() && digit_value(text[i + 2]) < 16) {
            base = 16;
            i += 2;
        }
    }
    // Saturates as the 32-bit C library conversion does.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int d = digit_value(text[i]);
        if (d >= base)
            break;
        magnitude = std::min(magnitude * base + d, kLimit);
    }
    if (negative)
        return static_cast<int32_t>(-magnitude);
    return static_cast<int32_t>(std::min(magnitude, kLimit - 1));
}

bool ConfigList::load_config(std::string_view file_name) {
    return read_config(file_name).ok();
}

Outcome ConfigList::read_config(std::string_view file_name) {
    std::string contents;
    Outcome read = read_data_file(app_relative_path(file_name), contents);
    if (read)
        parse(contents);
    return read;
}

Outcome update_config(std::string_view file_name, const std::function<void(ConfigList&)>& change) {
    ConfigList list;
    if (const Outcome read = list.read_config(file_name);
        read.kind() == Outcome::Kind::Unreadable) {
        return Outcome::refused("Could not save " + app_relative_path(file_name).string() +
                                ": it could not be read (" + read.what() +
                                "), and is left as it is so that none of its settings is lost");
    }
    change(list);
    return list.save_config(file_name);
}

void ConfigList::parse(std::string_view contents) {
    while (!contents.empty()) {
        const size_t end = contents.find('\n');
        std::string_view line = contents.substr(0, end);
        contents.remove_prefix(end == std::string_view::npos ? contents.size() : end + 1);
        // Text mode reads CR LF as one line end.
        if (end != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        // A longer line is read on as if its rest were the next line.
        do {
            parse_piece(cut(line, kMaxLineLength));
            line.remove_prefix(std::min(line.size(), kMaxLineLength));
        } while (!line.empty());
    }
}

void ConfigList::parse_piece(std::string_view piece) {
    piece = cut(piece, piece.find('\0'));  // a line is C text
    piece = cut(piece, piece.find('#'));
    const size_t equals = piece.find('=');
    if (equals == std::string_view::npos)
        return;
    const std::string_view value = trim(piece.substr(equals + 1));
    const size_t name_start = piece.find_first_not_of('=');
    if (name_start == std::string_view::npos)
        return;  // only "=" signs
    std::string_view name = piece.substr(name_start);
    name = trim(cut(name, name.find('=')));
    // A name or value cut to its limit is trimmed again, so that it reads back
    // as it is written.
    entries_.push_back(
        {std::string(trim(cut(name, kMaxName))), std::string(trim(cut(value, kMaxValue)))});
}

std::string ConfigList::serialise() const {
    std::string text;
    for (const Entry& e : entries_) {
        text += e.name;
        text += kSeparator;
        text += e.value;
        text += '\n';
    }
    return with_crlf(text);
}

Outcome ConfigList::save_config(std::string_view file_name) const {
    return save_file_atomically(app_relative_path(file_name), std::string_view(serialise()));
}

std::optional<std::string_view> ConfigList::find(std::string_view name) const {
    for (const Entry& e : entries_) {
        if (e.name == name)
            return std::string_view(e.value);
    }
    return std::nullopt;
}

int32_t ConfigList::get_int(std::string_view name) const {
    const auto value = find(name);
    if (!value)
        return -1;
    return parse_c_integer(*value);
}

bool ConfigList::set_string(std::string_view name, std::string_view value) {
    if (name.empty() || name.size() > kMaxName || value.size() > kMaxValue)
        return false;
    // A line break would end the line early and the rest would be lost.
    if (value.find_first_of("\r\n") != std::string_view::npos)
        return false;
    if (name.find_first_of("\r\n=#") != std::string_view::npos)
        return false;
    for (Entry& e : entries_) {
        if (e.name == name) {
            e.value = value;
            return true;
        }
    }
    entries_.push_back({std::string(name), std::string(value)});
    return true;
}

bool ConfigList::set_bool(std::string_view name, bool value) {
    return set_string(name, value ? "1" : "0");
}

}  // namespace quillet
