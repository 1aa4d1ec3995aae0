#include "desktop/search/search_query.h"

#include "desktop/search/text_folding.h"

namespace quillet {
namespace {

std::u16string_view trimmed(std::u16string_view s) {
    while (!s.empty() && (s.front() == u' ' || s.front() == u'\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t'))
        s.remove_suffix(1);
    return s;
}

// Digits with the separators people type between them, and nothing else.
bool looks_like_a_number(std::u16string_view s) {
    bool digit = false;
    for (char16_t c : s) {
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (std::u16string_view(u"+ -()./").find(c) == std::u16string_view::npos)
            return false;
    }
    return digit;
}

}  // namespace

SearchQuery::SearchQuery(std::u16string_view typed, const PhoneNumbers& numbers) {
    const std::u16string_view query = trimmed(typed);
    folded_ = fold_for_search(query);
    if (!looks_like_a_number(query))
        return;
    for (char16_t c : query) {
        if (c >= u'0' && c <= u'9')
            digits_ += static_cast<char>(c);
    }
    const std::string& prefix = numbers.national_prefix();
    const bool international = query.front() == u'+';
    if (international)
        international_ = digits_;
    else if (digits_.size() > 2 && digits_.starts_with("00"))
        international_ = digits_.substr(2);
    if (!international && !prefix.empty() && digits_.size() > prefix.size() &&
        digits_.starts_with(prefix)) {
        national_ = digits_.substr(prefix.size());
        country_code_ = numbers.country_code();
    }
}

bool SearchQuery::matches_folded(std::string_view folded_text) const {
    return folded_text.find(folded_) != std::string_view::npos;
}

bool SearchQuery::matches_number(std::string_view number,
                                 const std::optional<ParsedNumber>& parsed) const {
    if (digits_.empty())
        return false;
    if (digits_of(number).find(digits_) != std::string::npos)
        return true;
    if (!international_.empty() && parsed &&
        std::string_view(parsed->e164).substr(1).starts_with(international_))
        return true;
    return !national_.empty() && parsed && parsed->country_code == country_code_ &&
           parsed->national.starts_with(national_);
}

}  // namespace quillet
