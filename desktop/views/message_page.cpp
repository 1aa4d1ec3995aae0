#include "message_page.h"
#include "desktop/store/markup_escape.h"

#include <string>

namespace quillet {
namespace {

constexpr char kTextModeEnd = '\x1A';
constexpr unsigned char kTemplateEnd = 0xFF;

std::u16string replacement(std::u16string_view name, const PageFields& fields) {
    if (name == u"message")
        return message_as_html(fields.message);
    if (name == u"sender")
        return html_escaped(fields.sender);
    if (name == u"phone")
        return html_escaped(fields.phone);
    if (name == u"date")
        return html_escaped(fields.date);
    return u"[" + std::u16string(name) + u"not defined]";
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

std::u16string html_escaped(std::u16string_view text) {
    return markup_escaped(text);
}

std::u16string message_as_html(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + 16);
    for (const char16_t c : text) {
        if (c == u'\n') {
            out += u"<br>";
        } else {
            append_markup_escaped(out, c);
        }
    }
    return out;
}

std::u16string render_page(std::string_view template_bytes, const PageFields& fields) {
    const std::string source = text_mode(template_bytes);
    std::u16string page;
    page.reserve(source.size() + fields.message.size() + 64);
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
            page += replacement(name, fields);
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
