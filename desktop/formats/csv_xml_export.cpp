#include "desktop/formats/csv_xml_export.h"

#include "desktop/store/markup_escape.h"
#include "desktop/store/shown_time.h"
#include "desktop/store/text_file.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

// A CSV item that holds a separator, a quote or a line break goes between
// quotes, its quotes doubled; any other item is written as it is.
std::string csv_quoted(std::string_view item) {
    std::string out = "\"";
    for (char c : item) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

// A spreadsheet reads a cell that starts with one of these as a formula.
bool starts_like_formula(std::string_view item) {
    return !item.empty() &&
           std::string_view("=+-@\t\r").find(item.front()) != std::string_view::npos;
}

// Such a cell is written as text, by the usual rule: a leading apostrophe,
// and the whole item between quotes. A plain phone number ("+" and digits)
// is no formula and stays as it is.
bool needs_text_guard(std::string_view item) {
    if (!starts_like_formula(item))
        return false;
    return item.front() != '+' || item.size() == 1 ||
           item.find_first_not_of("0123456789", 1) != std::string_view::npos;
}

std::string csv_item(std::string_view item) {
    if (needs_text_guard(item))
        return csv_quoted("'" + std::string(item));
    if (item.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(item);
    return csv_quoted(item);
}

std::string csv_text(std::string_view text) {
    return needs_text_guard(text) ? csv_quoted("'" + std::string(text)) : csv_quoted(text);
}

bool xml_allowed(char16_t c) {
    if (c < 0x20)
        return c == u'\t' || c == u'\n' || c == u'\r';
    return c != 0xFFFE && c != 0xFFFF;
}

// Keeps surrogate pairs, replaces what XML 1.0 cannot carry by U+FFFD.
std::u16string xml_chars(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        const bool low = c >= 0xDC00 && c <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out += c;
            out += text[++i];
        } else if (high || low || !xml_allowed(c)) {
            out += u'\uFFFD';
        } else {
            out += c;
        }
    }
    return out;
}

std::u16string xml_escaped(std::u16string_view item) {
    return markup_escaped(xml_chars(item));
}

// The text inside its CDATA section: a "]]>" in it closes the section after
// "]]" and opens a new one for the ">".
std::u16string cdata_text(std::u16string_view text) {
    const std::u16string clean = xml_chars(text);
    std::u16string out;
    size_t from = 0;
    for (size_t at = clean.find(u"]]>"); at != std::u16string::npos;
         at = clean.find(u"]]>", from)) {
        out.append(clean, from, at + 2 - from);
        out += u"]]><![CDATA[";
        from = at + 2;
    }
    out.append(clean, from);
    return out;
}

std::string utf16le_with_bom(std::u16string_view text) {
    std::string out;
    out.reserve(2 * text.size() + 2);
    for (char16_t c : std::u16string(u"\uFEFF") + std::u16string(text)) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

}  // namespace

std::string csv_bytes(const SmsBox& box, const ContactList& contacts) {
    std::string text;
    for (const SmsMessage& m : box.messages()) {
        text += csv_item(to_utf8(contacts.find_stored_name_by_number(m.number())));
        text += ", ";
        text += csv_item(to_utf8(from_ansi(m.number())));
        text += ", ";
        text += csv_item(to_utf8(shown_date_time(m.time())));
        text += ", ";
        text += csv_text(to_utf8(m.text_view()));
        text += '\n';
    }
    return with_crlf(text);
}

std::string xml_bytes(const SmsBox& box, const ContactList& contacts) {
    std::u16string text = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n\n<smsbox>\n";
    for (const SmsMessage& m : box.messages()) {
        text += u"  <sms>\n    <sendername>";
        text += xml_escaped(contacts.find_stored_name_by_number(m.number()));
        text += u"</sendername>\n    <phonenumber>";
        text += xml_escaped(from_ansi(m.number()));
        text += u"</phonenumber>\n    <date>";
        text += xml_escaped(shown_date_time(m.time()));
        text += u"</date>\n    <message>\n<![CDATA[";
        text += cdata_text(m.text_view());
        text += u"]]></message>\n  </sms>\n\n";
    }
    text += u"</smsbox>\n";
    return utf16le_with_bom(text);
}

Outcome export_csv(const std::filesystem::path& path, const SmsBox& box,
                   const ContactList& contacts) {
    return save_file_atomically(path, std::string_view(csv_bytes(box, contacts)));
}

Outcome export_xml(const std::filesystem::path& path, const SmsBox& box,
                   const ContactList& contacts) {
    return save_file_atomically(path, std::string_view(xml_bytes(box, contacts)));
}

}  // namespace quillet
