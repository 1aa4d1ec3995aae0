#include "message_page.h"
#include "desktop/store/markup_escape.h"

#include <QStringView>
#include <string>

namespace quillet {
namespace {

constexpr char kTextModeEnd = '\x1A';
constexpr unsigned char kTemplateEnd = 0xFF;

constexpr std::u16string_view kHitStart =
    u"<span style=\"background-color:#ffe36e; color:#1d2733\">";
constexpr std::u16string_view kHitEnd = u"</span>";

std::optional<std::u16string> replacement(std::u16string_view name, const PageFields& fields) {
    if (name == u"message") {
        if (!right_to_left(fields.message))
            return message_as_html(fields.message, fields.hits);
        return u"<div dir=\"rtl\" align=\"right\">" + message_as_html(fields.message, fields.hits) +
               u"</div>";
    }
    if (name == u"sender")
        return html_escaped(fields.sender);
    if (name == u"phone")
        return html_escaped(fields.phone);
    if (name == u"date")
        return html_escaped(fields.date);
    if (name == u"origin")
        return fields.origin;
    return std::nullopt;
}

// The template as a text-mode read gives it: CR LF as LF, up to 0x1A.
std::string text_mode(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == kTextModeEnd)
            break;
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        out += c;
    }
    return out;
}

}  // namespace

std::u16string page_message_text(std::u16string_view text) {
    if (text.size() <= kMaxPageText)
        return std::u16string(text);
    size_t shown = kMaxPageText;
    if (text[shown - 1] >= 0xD800 && text[shown - 1] <= 0xDBFF)
        --shown;  // a high surrogate whose pair would be cut off
    std::u16string out(text.substr(0, shown));
    const std::string more = std::to_string(text.size() - shown);
    out += u"\n\n[\u2026 text continues: ";
    out.append(more.begin(), more.end());
    out += u" more characters. Forward or export the message to see it whole.]";
    return out;
}

bool right_to_left(std::u16string_view text) {
    return QStringView(text.data(), static_cast<qsizetype>(text.size())).isRightToLeft();
}

std::u16string html_escaped(std::u16string_view text) {
    return markup_escaped(text);
}

std::u16string message_as_html(std::u16string_view text, const TextRanges& hits) {
    std::u16string out;
    out.reserve(text.size() + 16);
    auto hit = hits.begin();
    size_t hit_end = 0;  // where the open span closes; 0: none open
    for (size_t i = 0; i < text.size(); ++i) {
        if (hit_end == 0 && hit != hits.end() && hit->first == i && hit->second > 0) {
            out += kHitStart;
            hit_end = i + hit->second;
            ++hit;
        }
        const char16_t c = text[i];
        if (c == u'\n') {
            out += u"<br>";
        } else {
            append_markup_escaped(out, c);
        }
        if (hit_end == i + 1) {
            out += kHitEnd;
            hit_end = 0;
        }
        while (hit_end == 0 && hit != hits.end() && hit->first <= i)
            ++hit;  // overlapping or empty: skipped
    }
    if (hit_end != 0)
        out += kHitEnd;
    return out;
}

std::u16string render_page(std::string_view template_bytes, const PageFields& fields) {
    return fill_template(template_bytes,
                         [&fields](std::u16string_view name) { return replacement(name, fields); });
}

std::u16string fill_template(std::string_view template_bytes, const PlaceholderValue& value) {
    const std::string source = text_mode(template_bytes);
    std::u16string page;
    page.reserve(source.size() + 256);
    std::u16string name;
    bool in_placeholder = false;
    for (const char byte : source) {
        const auto code = static_cast<unsigned char>(byte);
        if (code == kTemplateEnd)
            break;
        const auto c = static_cast<char16_t>(code);
        if (!in_placeholder) {
            if (c == u'{') {
                name.clear();
                in_placeholder = true;
            } else {
                page += c;
            }
            continue;
        }
        if (c == u'}') {
            const std::optional<std::u16string> filled = value(name);
            page += filled ? *filled : u"[" + name + u"not defined]";
            in_placeholder = false;
        } else if (name.size() < kMaxPlaceholderName) {
            name += c;
        }
    }
    return page;
}

std::vector<uint8_t> page_file_bytes(std::u16string_view page) {
    std::vector<uint8_t> bytes;
    bytes.reserve(2 * (page.size() + 1));
    auto put = [&bytes](char16_t c) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    };
    put(u'\xFEFF');
    for (const char16_t c : page)
        put(c);
    return bytes;
}

}  // namespace quillet
