#include "desktop/formats/import_text.h"

#include <algorithm>
#include <charconv>

namespace quillet::import {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

}  // namespace

size_t utf8_sequence(std::string_view text, size_t i, uint32_t& code_point) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    if (lead < 0x80) {
        code_point = lead;
        return 1;
    }
    size_t length = 0;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, code_point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, code_point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, code_point = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        code_point = (code_point << 6) | (byte(i + k) & 0x3F);
    }
    if (code_point < minimum || code_point > 0x10FFFF ||
        (code_point >= 0xD800 && code_point <= 0xDFFF))
        return 0;
    return length;
}

namespace {

bool is_token(std::string_view address) {
    return address.empty() || address == "insert-address-token";
}

// The last nine digits of a number; a name (anything with a letter) as it
// is written.
std::string owner_key(std::string_view address) {
    std::string digits;
    for (char c : address) {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c != '+' && c != ' ' && c != '-' && c != '(' && c != ')' && c != '.') {
            return std::string(address);
        }
    }
    if (digits.size() > 9)
        digits.erase(0, digits.size() - 9);
    return digits;
}

}  // namespace

std::u16string utf16_from_utf8(std::string_view text, uint64_t& replaced) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        uint32_t c = 0;
        const size_t length = utf8_sequence(text, i, c);
        if (length == 0) {
            out += kReplacement;
            ++replaced;
            ++i;
            continue;
        }
        i += length;
        if (c == 0) {
            out += kReplacement;
            ++replaced;
        } else if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string without_controls(std::string_view text) {
    const auto is_control = [](uint32_t c) {
        return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F || c == 0x061C ||
               (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
    };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        uint32_t c = 0;
        const size_t length = utf8_sequence(text, i, c);
        // A byte that is not UTF-8 is no control: kept as it is.
        const size_t step = length == 0 ? 1 : length;
        if (length == 0 || !is_control(c))
            out.append(text.substr(i, step));
        i += step;
    }
    return out;
}

void mend_text(std::u16string& text, uint64_t& replaced) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c == 0 || high || (c >= 0xDC00 && c <= 0xDFFF)) {
            text[i] = kReplacement;
            ++replaced;
        }
    }
}

void append_utf8(std::string& out, uint32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::optional<int64_t> parse_int(std::string_view text) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

namespace {

// What each byte is to base64: its value, or one of these.
enum : int8_t { kSkip = -1, kPad = -2, kReference = -3, kBad = -4 };

struct Base64Table {
    int8_t of[256];
    constexpr Base64Table() : of() {
        for (int8_t& v : of)
            v = kBad;
        int8_t value = 0;
        for (char c :
             std::string_view("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"))
            of[static_cast<uint8_t>(c)] = value++;
        set("+-", 62);
        set("/_", 63);
        set("=", kPad);
        set("&", kReference);
        set(" \n\r\t", kSkip);
    }
    constexpr void set(std::string_view chars, int8_t value) {
        for (char c : chars)
            of[static_cast<uint8_t>(c)] = value;
    }
};

}  // namespace

void Base64Decoder::feed(std::string_view text, std::string& out) {
    static constexpr Base64Table kTable;
    const size_t start = out.size();
    out.resize(start + text.size() / 4 * 3 + 3);
    char* to = out.data() + start;
    for (char ch : text) {
        if (in_reference_) {
            in_reference_ = ch != ';';
            continue;
        }
        const int8_t value = kTable.of[static_cast<uint8_t>(ch)];
        if (value >= 0) {
            bits_ = (bits_ << 6) | static_cast<uint32_t>(value);
            if (++count_ == 4) {
                *to++ = static_cast<char>(bits_ >> 16);
                *to++ = static_cast<char>((bits_ >> 8) & 0xFF);
                *to++ = static_cast<char>(bits_ & 0xFF);
                bits_ = 0;
                count_ = 0;
            }
        } else if (value == kPad) {
            // A short last group gives its whole bytes.
            if (count_ == 2)
                *to++ = static_cast<char>(bits_ >> 4);
            if (count_ == 3) {
                *to++ = static_cast<char>(bits_ >> 10);
                *to++ = static_cast<char>((bits_ >> 2) & 0xFF);
            }
            bits_ = 0, count_ = 0;
        } else if (value == kReference) {
            in_reference_ = true;
        } else if (value == kBad) {
            bad_ = true;
        }
    }
    out.resize(static_cast<size_t>(to - out.data()));
}

std::string_view attachment_kind(std::string_view content_type) {
    std::string type(content_type);
    std::transform(type.begin(), type.end(), type.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    const auto starts = [&](std::string_view prefix) { return type.rfind(prefix, 0) == 0; };
    if (starts("image/"))
        return "picture";
    if (starts("audio/"))
        return "audio";
    if (starts("video/"))
        return "video";
    if (starts("text/x-vcard") || starts("text/vcard"))
        return "contact card";
    return "file";
}

std::optional<std::string_view> time_out_of_range(int64_t ms) {
    if (ms < kEarliestMs)
        return "a date before 1601";
    if (ms > kLatestMs)
        return "a date after 30828";
    return std::nullopt;
}

std::string_view trim(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    while (!text.empty() && kBlanks.find(text.front()) != std::string_view::npos)
        text.remove_prefix(1);
    while (!text.empty() && kBlanks.find(text.back()) != std::string_view::npos)
        text.remove_suffix(1);
    return text;
}

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    return out;
}

bool equal_nocase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto low = [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        if (low(a[i]) != low(b[i]))
            return false;
    }
    return true;
}

int hex_digit(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

std::optional<int64_t> wall_clock_ms(int64_t year, int64_t month, int64_t day, int64_t hour,
                                     int64_t minute, int64_t second) {
    if (year < 0 || year > 99'999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60)
        return std::nullopt;
    // Days from 1970-01-01 in the proleptic Gregorian calendar.
    const int64_t y = year - (month <= 2);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
    return ((days * 24 + hour) * 60 + minute) * 60'000 + second * 1000;
}

void append_attachment_line(std::u16string& text, const ImportedAttachment& attachment,
                            uint64_t& replaced, bool missing) {
    if (!text.empty())
        text += u'\n';
    text += u'[';
    text += utf16_from_utf8(attachment.kind, replaced);
    text += u": ";
    text += utf16_from_utf8(without_controls(attachment.name), replaced);
    if (missing)
        text += u", not in the backup";
    text += u']';
}

void OwnerGuess::learn(const MmsParties& parties, bool received) {
    std::vector<std::string> keys;
    if (!is_token(parties.sender))
        keys.push_back(owner_key(parties.sender));
    for (const std::string& r : parties.recipients) {
        if (!is_token(r))
            keys.push_back(owner_key(r));
    }
    if (!any_) {
        common_ = keys;
        any_ = true;
    } else {
        std::erase_if(common_, [&](const std::string& k) {
            return std::find(keys.begin(), keys.end(), k) == keys.end();
        });
    }
    if (!owner_.empty())
        return;
    if (!received && !is_token(parties.sender)) {
        owner_ = owner_key(parties.sender);
    } else if (received && parties.recipients.size() == 1 && !is_token(parties.recipients[0])) {
        owner_ = owner_key(parties.recipients[0]);
    } else if (common_.size() == 1 && keys.size() > 1) {
        owner_ = common_[0];
    }
}

bool OwnerGuess::is_owner(std::string_view address) const {
    return !owner_.empty() && owner_key(address) == owner_;
}

std::string OwnerGuess::correspondents(const MmsParties& parties, bool received) {
    learn(parties, received);
    std::vector<std::string_view> all;
    if (!is_token(parties.sender))
        all.push_back(parties.sender);
    for (const std::string& r : parties.recipients) {
        if (!is_token(r))
            all.push_back(r);
    }
    std::string joined;
    std::vector<std::string> seen;
    for (std::string_view a : all) {
        std::string key = owner_key(a);
        if (is_owner(a) || std::find(seen.begin(), seen.end(), key) != seen.end())
            continue;
        seen.push_back(std::move(key));
        if (!joined.empty())
            joined += ';';
        joined += a;
    }
    // A message to oneself still has a correspondent.
    if (joined.empty() && !all.empty())
        joined = all.front();
    return joined;
}

}  // namespace quillet::import
