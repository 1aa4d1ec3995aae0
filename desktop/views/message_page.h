// The page of the message view: a template from the program's "templates"
// folder with the message's fields filled in.
//
// Template language: the template is 8-bit text, each byte the character of
// the same code (Latin-1). It is read as a text-mode file: CR LF becomes LF
// and a byte 0x1A ends it; a byte 0xFF ends it too. A placeholder is a name
// between "{" and "}", compared exactly (case matters):
//   {message}  the text as HTML: "&", "<", ">" and the double quote escaped,
//              every LF written as "<br>" (CR passes through)
//   {sender}   the display name for the number, escaped
//   {phone}    the number as stored, escaped
//   {date}     the shown date and time
//   {origin}   where an imported message came from, as markup (empty for
//              a message from the phone)
//   {other}    "[other not defined]"
// A placeholder still open at the end of the template is dropped; a "}"
// outside one is written as it is. Of a name only its first 31 characters
// are kept.
//
// The written page is UTF-16LE: the byte-order mark, then every character as
// two bytes, low byte first.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillet {

// Ranges of a text (start and length in UTF-16 units) that a search found.
using TextRanges = std::vector<std::pair<size_t, size_t>>;

// The fields a template can name; the texts as they are, unescaped.
struct PageFields {
    std::u16string message;
    std::u16string sender;
    std::u16string phone;
    std::u16string date;
    std::u16string origin;  // markup, written as it is
    TextRanges hits;        // in `message`: marked on the page
};

inline constexpr size_t kMaxPlaceholderName = 31;
// The most characters of a message text a page holds: more would take the
// view seconds to lay out. The stored text stays whole.
inline constexpr size_t kMaxPageText = 5'000;

// The text as the page shows it: whole when it fits in kMaxPageText, else its
// start (never half a surrogate pair) and a line saying how much more the
// message holds.
std::u16string page_message_text(std::u16string_view text);
// Whether a text runs from the right: its first letter of a definite
// direction is Hebrew, Arabic or another right-to-left script's.
bool right_to_left(std::u16string_view text);

// "&", "<", ">" and the double quote as character references.
std::u16string html_escaped(std::u16string_view text);
// html_escaped, with every LF written as "<br>", and each of `hits` (in
// order, not overlapping; those past the text are ignored) in a marked span.
std::u16string message_as_html(std::u16string_view text, const TextRanges& hits = {});

// The page text for the raw bytes of a template file.
std::u16string render_page(std::string_view template_bytes, const PageFields& fields);

// The template language above with other placeholders: `value` gives the
// markup for a name (already escaped), or nothing for a name it does not
// know, which is then written "[<name>not defined]".
using PlaceholderValue = std::function<std::optional<std::u16string>(std::u16string_view name)>;
std::u16string fill_template(std::string_view template_bytes, const PlaceholderValue& value);

// The bytes of the page file: the byte-order mark and `page` in UTF-16LE.
std::vector<uint8_t> page_file_bytes(std::u16string_view page);

}  // namespace quillet
