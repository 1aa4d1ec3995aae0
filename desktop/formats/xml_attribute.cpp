#include "desktop/formats/xml_attribute.h"

#include "desktop/formats/import_text.h"

namespace quillet {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool is_high(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool is_low(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The ASCII characters written as something else; 0 for the plain ones.
std::string_view ascii_entity(char16_t c) {
    switch (c) {
        case u'&':
            return "&amp;";
        case u'<':
            return "&lt;";
        case u'>':
            return "&gt;";
        case u'"':
            return "&quot;";
        case u'\n':
            return "&#10;";
        case u'\r':
            return "&#13;";
        case u'\t':
            return "&#9;";
        default:
            return c < 0x20 ? kReplacement : std::string_view();
    }
}

}  // namespace

size_t append_xml_attribute(std::string& out, std::u16string_view text) {
    size_t replaced = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            const std::string_view entity = ascii_entity(c);
            if (entity.empty()) {
                out += static_cast<char>(c);
            } else {
                out += entity;
                replaced += entity == kReplacement ? 1 : 0;
            }
        } else if (is_high(c) && i + 1 < text.size() && is_low(text[i + 1])) {
            const char32_t high = c - 0xD800u;
            const char32_t low = text[++i] - 0xDC00u;
            import::append_utf8(out, 0x10000 + (high << 10) + low);
        } else if (is_high(c) || is_low(c) || c == 0xFFFE || c == 0xFFFF) {
            out += kReplacement;
            ++replaced;
        } else {
            import::append_utf8(out, c);
        }
    }
    return replaced;
}

}  // namespace quillet
