#include "desktop/store/contact_number_index.h"

#include <algorithm>

namespace quillet {
namespace {

constexpr size_t kTailLength = 7;

// Characters libphonenumber reads as nothing but digits, "+" and
// punctuation: for such a text the cleaned form decides the parse.
bool plain_number(std::string_view number) {
    return number.find_first_not_of("+0123456789 -()./") == std::string_view::npos;
}

// "+" then digits only: the E.164 form of whatever parses to it.
bool international_form(std::string_view cleaned) {
    return cleaned.size() > 1 && cleaned[0] == '+' &&
           cleaned.find('+', 1) == std::string_view::npos;
}

std::string_view last(std::string_view s, size_t n) {
    return s.size() > n ? s.substr(s.size() - n) : s;
}

}  // namespace

std::string clean_contact_number(std::string_view number) {
    std::string out;
    for (char c : number) {
        if (c == '+' || (c >= '0' && c <= '9'))
            out += c;
    }
    return out;
}

bool ContactNumberIndex::one_contact(size_t a, size_t b) const {
    return names_[a] == names_[b] || cleaned_[a] == cleaned_[b];
}

ContactNumberIndex::ContactNumberIndex(const std::vector<Contact>& contacts,
                                       const PhoneNumbers& numbers)
    : numbers_(numbers) {
    names_.reserve(contacts.size());
    cleaned_.reserve(contacts.size());
    parsed_.reserve(contacts.size());
    for (const Contact& c : contacts) {
        names_.emplace_back(text_field(c.name));
        cleaned_.push_back(clean_contact_number(text_field(c.number)));
    }
    for (size_t i = 0; i < contacts.size(); ++i) {
        const std::string_view number = text_field(contacts[i].number);
        const std::optional<ParsedNumber>& parsed = parsed_.emplace_back(numbers_.parse(number));
        if (parsed) {
            by_e164_.emplace(parsed->e164, i);
            const std::string_view national = parsed->national;
            national_tails_.emplace(last(national, kTailLength));
            if (national.size() < kTailLength &&
                std::find(short_national_lengths_.begin(), short_national_lengths_.end(),
                          national.size()) == short_national_lengths_.end())
                short_national_lengths_.push_back(national.size());
        }
        const std::string& cleaned = cleaned_[i];
        Candidates& candidates = cleaned.size() > kTailLength
                                     ? tails_[std::string(last(cleaned, kTailLength))]
                                     : whole_[cleaned];
        candidates.push_back({i, parsed.has_value()});
    }
}

std::optional<size_t> ContactNumberIndex::find(std::string_view number) const {
    bool parsed = false;
    bool parse_known = false;
    if (!by_e164_.empty()) {
        if (const std::optional<size_t> same = find_same_number(number, parsed, parse_known))
            return same;
    }
    return find_by_old_rule(number, parsed, parse_known);
}

std::optional<size_t> ContactNumberIndex::find_same_number(std::string_view number, bool& parsed,
                                                           bool& parse_known) const {
    if (plain_number(number)) {
        const std::string cleaned = clean_contact_number(number);
        if (international_form(cleaned)) {
            const auto it = by_e164_.find(cleaned);
            if (it != by_e164_.end()) {
                parsed = parse_known = true;
                return it->second;
            }
        }
        if (!could_be_a_contact(number))
            return std::nullopt;
    }
    const std::optional<std::string> e164 = numbers_.e164(number);
    parse_known = true;
    parsed = e164.has_value();
    if (!e164)
        return std::nullopt;
    const auto it = by_e164_.find(*e164);
    if (it == by_e164_.end())
        return std::nullopt;
    return it->second;
}

// A full number's national number ends its digits (prefixes are only ever
// taken off the front), so digits ending in no contact's national tail
// cannot parse to any contact's number.
bool ContactNumberIndex::could_be_a_contact(std::string_view number) const {
    const std::string digits = digits_of(number);
    if (digits.size() >= kTailLength &&
        national_tails_.contains(std::string(last(digits, kTailLength))))
        return true;
    for (const size_t length : short_national_lengths_) {
        if (digits.size() >= length && national_tails_.contains(std::string(last(digits, length))))
            return true;
    }
    return false;
}

std::optional<size_t> ContactNumberIndex::find_by_old_rule(std::string_view number,
                                                           bool number_parsed,
                                                           bool parse_known) const {
    const bool long_number = number.size() > kTailLength;
    const auto& index = long_number ? tails_ : whole_;
    const auto it = index.find(std::string(long_number ? last(number, kTailLength) : number));
    if (it == index.end())
        return std::nullopt;
    // Contacts whose numbers parse count only against a number that does
    // not: two full numbers were already compared as the network would.
    const Candidates& candidates = it->second;
    // A full number and a spelling that is none may be one number only when
    // the digits agree beyond the last seven (plausibly_same_number).
    std::optional<ParsedNumber> parsed;
    if (number_parsed || !parse_known)
        parsed = numbers_.parse(number);
    return choose(candidates, parsed, digits_of(number));
}

std::optional<size_t> ContactNumberIndex::choose(const Candidates& candidates,
                                                 const std::optional<ParsedNumber>& number,
                                                 std::string_view digits) const {
    std::optional<size_t> first;
    for (const Candidate& c : candidates) {
        const std::optional<ParsedNumber>& contact = parsed_[c.index];
        if (contact && number)
            continue;
        if (contact && !plausibly_same_number(*contact, digits))
            continue;
        if (number && !plausibly_same_number(*number, digits_of(cleaned_[c.index])))
            continue;
        if (!first)
            first = c.index;
        else if (!one_contact(*first, c.index))
            return std::nullopt;
    }
    return first;
}

}  // namespace quillet
