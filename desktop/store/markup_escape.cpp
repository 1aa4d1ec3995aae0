#include "markup_escape.h"

namespace quillet {

void append_markup_escaped(std::u16string& out, char16_t c) {
    switch (c) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        default:
            out += c;
            break;
    }
}

std::u16string markup_escaped(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text)
        append_markup_escaped(out, c);
    return out;
}

}  // namespace quillet
