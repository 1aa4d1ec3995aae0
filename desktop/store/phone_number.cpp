#include "desktop/store/phone_number.h"
#include "desktop/store/recipients.h"

#include <phonenumbers/phonenumberutil.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace quillet {
namespace {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

// Fewer digits than this, written without country code, is a short code.
constexpr size_t kShortestFullNumber = 7;
// The memo is dropped whole when it reaches this many spellings.
constexpr size_t kMemoLimit = 200'000;

PhoneNumberUtil& util() {
    return *PhoneNumberUtil::GetInstance();
}

bool known_region(const std::string& region) {
    return region != "ZZ" && util().GetCountryCodeForRegion(region) != 0;
}

bool written_with_country_code(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    return first != std::string_view::npos && text[first] == '+';
}

std::optional<ParsedNumber> parse_now(std::string_view text, const std::string& region) {
    // libphonenumber refuses anything this long anyway; the bound keeps a
    // hostile text from costing more than a number would.
    if (text.empty() || text.size() > 250)
        return std::nullopt;
    if (!written_with_country_code(text) && digits_of(text).size() < kShortestFullNumber)
        return std::nullopt;
    std::string spelling(text);
    // With no home region there is no national prefix to know, but "00" is
    // the international prefix of most of the world: "0044 20..." is +44.
    const size_t first = spelling.find_first_not_of(" \t");
    if (region == "ZZ" && first != std::string::npos && spelling.compare(first, 2, "00") == 0)
        spelling.replace(first, 2, "+");
    PhoneNumber number;
    if (util().Parse(spelling, region, &number) != PhoneNumberUtil::NO_PARSING_ERROR)
        return std::nullopt;
    if (!util().IsPossibleNumber(number))
        return std::nullopt;
    ParsedNumber parsed;
    util().Format(number, PhoneNumberUtil::E164, &parsed.e164);
    util().GetNationalSignificantNumber(number, &parsed.national);
    parsed.country_code = number.country_code();
    return parsed;
}

}  // namespace

struct PhoneNumbers::Memo {
    std::mutex mutex;
    std::unordered_map<std::string, std::optional<ParsedNumber>> parsed;
};

PhoneNumbers::PhoneNumbers(std::string_view region)
    : region_(region), memo_(std::make_shared<Memo>()) {
    if (!known_region(region_)) {
        region_ = "ZZ";
        return;
    }
    country_code_ = util().GetCountryCodeForRegion(region_);
    util().GetNddPrefixForRegion(region_, true, &national_prefix_);
}

PhoneNumbers::PhoneNumbers() : PhoneNumbers(default_phone_region()) {}

std::optional<ParsedNumber> PhoneNumbers::parse(std::string_view text) const {
    const std::string key(text);
    {
        std::lock_guard lock(memo_->mutex);
        const auto it = memo_->parsed.find(key);
        if (it != memo_->parsed.end())
            return it->second;
    }
    std::optional<ParsedNumber> parsed = parse_now(text, region_);
    std::lock_guard lock(memo_->mutex);
    if (memo_->parsed.size() >= kMemoLimit)
        memo_->parsed.clear();
    memo_->parsed.emplace(key, parsed);
    return parsed;
}

std::optional<std::string> PhoneNumbers::e164(std::string_view text) const {
    std::optional<ParsedNumber> parsed = parse(text);
    if (!parsed)
        return std::nullopt;
    return std::move(parsed->e164);
}

std::string PhoneNumbers::group_key(std::string_view text) const {
    std::optional<std::string> full = e164(text);
    if (full)
        return std::move(*full);
    std::string key = "=" + std::string(text);
    if (std::ranges::none_of(text, [](char c) { return c >= '0' && c <= '9'; })) {
        std::ranges::transform(key, key.begin(), [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        });
    }
    return key;
}

std::vector<std::string> PhoneNumbers::correspondent_keys(std::string_view stored_number) const {
    std::vector<std::string> keys;
    for (std::string_view one : recipients_of(stored_number))
        keys.push_back(group_key(one));
    std::ranges::sort(keys);
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

bool PhoneNumbers::same_number(std::string_view a, std::string_view b) const {
    return group_key(a) == group_key(b);
}

void PhoneNumbers::forget() const {
    std::lock_guard lock(memo_->mutex);
    memo_->parsed.clear();
}

std::string region_of_locale(std::string_view locale) {
    const size_t end = locale.find_first_of(".@");
    const std::string_view name = locale.substr(0, end);
    const size_t underscore = name.find('_');
    if (underscore == std::string_view::npos || name.size() - underscore != 3)
        return "ZZ";
    std::string region(name.substr(underscore + 1));
    for (char& c : region) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return known_region(region) ? region : "ZZ";
}

std::string default_phone_region() {
    for (const char* variable : {"LC_ALL", "LC_TELEPHONE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return region_of_locale(value);
    }
    return "ZZ";
}

std::string digits_of(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            digits += c;
    }
    return digits;
}

bool sendable_address(std::string_view address) {
    constexpr size_t kLongestSenderName = 11;
    if (address.empty())
        return false;
    if (address.find_first_not_of("+0123456789 -()./") == std::string_view::npos) {
        const size_t plus = address.find('+');
        const bool plus_first = plus == std::string_view::npos ||
                                (plus == address.find_first_not_of(' ') &&
                                 address.find('+', plus + 1) == std::string_view::npos);
        return plus_first && !digits_of(address).empty();
    }
    const size_t at = address.find('@');
    if (at != std::string_view::npos)
        return at > 0 && address.find('.', at) != std::string_view::npos &&
               address.find_first_of(" \t,;") == std::string_view::npos;
    if (address.size() > kLongestSenderName || address.front() == ' ' || address.back() == ' ')
        return false;
    return std::all_of(address.begin(), address.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == ' ' || c == '-' || c == '.' || c == '&';
    });
}

bool plausibly_same_number(const ParsedNumber& full, std::string_view digits) {
    constexpr size_t kLongestTrunkPrefix = 2;
    constexpr size_t kLongestInternationalPrefix = 4;
    const std::string_view national = full.national;
    if (national.empty() || !digits.ends_with(national))
        return false;
    std::string_view before = digits.substr(0, digits.size() - national.size());
    if (before.size() <= kLongestTrunkPrefix)
        return true;
    const std::string country = std::to_string(full.country_code);
    if (!before.ends_with(country))
        return false;
    before.remove_suffix(country.size());
    return before.size() <= kLongestInternationalPrefix;
}

}  // namespace quillet
