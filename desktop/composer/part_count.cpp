#include "desktop/composer/part_count.h"

namespace quillet {
namespace {

// The basic table of the GSM 7-bit default alphabet outside printable ASCII.
constexpr std::u16string_view kBasicNonAscii =
    u"\n\r\u00A3\u00A5\u00E8\u00E9\u00F9\u00EC\u00F2\u00C7\u00D8\u00F8\u00C5\u00E5"
    u"\u0394\u03A6\u0393\u039B\u03A9\u03A0\u03A8\u03A3\u0398\u039E\u00C6\u00E6\u00DF"
    u"\u00C9\u00A4\u00A1\u00C4\u00D6\u00D1\u00DC\u00A7\u00BF\u00E4\u00F6\u00F1\u00FC"
    u"\u00E0";

constexpr std::u16string_view kExtension = u"\f^{}\\[~]|\u20AC";

// Printable ASCII that the basic table lacks: the backtick, and the
// characters that live in the extension table.
constexpr std::u16string_view kAsciiNotBasic = u"`^{}\\[~]|";

constexpr size_t kSingle7 = 160;
constexpr size_t kPart7 = 153;
constexpr size_t kSingleUcs2 = 70;
constexpr size_t kPartUcs2 = 67;

bool is_high_surrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool is_low_surrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Packs the text into parts of `capacity` units. `item_at(i)` gives the
// units the item starting at i takes and how many code units it spans; an
// item never straddles two parts.
struct Item {
    size_t weight;
    size_t span;
};
template <typename ItemAt>
size_t pack_parts(std::u16string_view text, size_t capacity, ItemAt item_at) {
    size_t parts = 1;
    size_t used = 0;
    for (size_t i = 0; i < text.size();) {
        const Item item = item_at(i);
        if (used + item.weight > capacity) {
            ++parts;
            used = 0;
        }
        used += item.weight;
        i += item.span;
    }
    return parts;
}

}  // namespace

int gsm7_septets(char16_t c) {
    if (kExtension.find(c) != std::u16string_view::npos)
        return 2;
    if (c >= 0x20 && c < 0x7F)
        return kAsciiNotBasic.find(c) == std::u16string_view::npos ? 1 : 0;
    return kBasicNonAscii.find(c) != std::u16string_view::npos ? 1 : 0;
}

SmsPartCount count_sms_parts(std::u16string_view text) {
    SmsPartCount result;
    size_t septets = 0;
    for (char16_t c : text) {
        const int s = gsm7_septets(c);
        if (s == 0) {
            result.ucs2 = true;
            break;
        }
        septets += static_cast<size_t>(s);
    }

    if (!result.ucs2) {
        result.units = septets;
        if (septets > kSingle7) {
            result.parts = pack_parts(text, kPart7, [&](size_t i) {
                return Item{static_cast<size_t>(gsm7_septets(text[i])), 1};
            });
        }
        return result;
    }

    result.units = text.size();
    if (text.size() <= kSingleUcs2)
        return result;
    result.parts = pack_parts(text, kPartUcs2, [&](size_t i) {
        const bool pair =
            is_high_surrogate(text[i]) && i + 1 < text.size() && is_low_surrogate(text[i + 1]);
        return pair ? Item{2, 2} : Item{1, 1};
    });
    return result;
}

}  // namespace quillet
