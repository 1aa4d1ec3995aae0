// The four characters that markup (the XML export, the message page) cannot
// take as they are: "&", "<", ">" and the double quote.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// Appends `c`, or its entity when it is one of the four.
void append_markup_escaped(std::u16string& out, char16_t c);
std::u16string markup_escaped(std::u16string_view text);

}  // namespace quillet
