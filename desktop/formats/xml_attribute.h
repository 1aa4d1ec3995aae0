// UTF-16 text as the UTF-8 value of an XML 1.0 attribute in double quotes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

// Appends `text` to `out` as UTF-8: "&", "<", ">" and the double quote as
// entities; LF, CR and tab as "&#10;", "&#13;" and "&#9;", which attribute
// normalisation leaves alone; a surrogate pair as its one 4-byte character.
// What XML 1.0 cannot carry (other C0 controls, lone surrogates, U+FFFE,
// U+FFFF) becomes U+FFFD. Returns how many characters were replaced.
size_t append_xml_attribute(std::string& out, std::u16string_view text);

}  // namespace quillet
