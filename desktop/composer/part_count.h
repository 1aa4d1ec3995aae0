// How many SMS a text costs. The phone's SMS service splits a long text into
// concatenated parts; the composer shows the count so the user sees the cost.
//
// A text made only of characters of the GSM 7-bit default alphabet goes as
// septets: 160 in a single SMS, 153 a part when it must be split (the rest of
// each part carries the concatenation header). Characters of the alphabet's
// extension table (form feed, ^ { } \ [ ~ ] | and the euro sign) take two
// septets each, and a pair is never split across two parts. Any other
// character makes the whole text go as UCS-2: 70 UTF-16 units in a single
// SMS, 67 a part, a surrogate pair never split.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillet {

struct SmsPartCount {
    bool ucs2 = false;  // the text needs UCS-2
    size_t units = 0;   // septets (7-bit) or UTF-16 units (UCS-2)
    size_t parts = 1;   // SMS parts; an empty text is still one SMS
};

// Septets a character takes in the GSM 7-bit default alphabet: 1 for the
// basic table, 2 for the extension table, 0 when the alphabet lacks it.
int gsm7_septets(char16_t c);

// The parts `text` needs, exactly as the phone receives it (line breaks as
// LF; a CR counts as the alphabet's own CR).
SmsPartCount count_sms_parts(std::u16string_view text);

}  // namespace quillet
