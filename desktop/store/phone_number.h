// Phone numbers as the network sees them: "+49 170 1234567", "01701234567"
// (region DE) and "+491701234567" are one number. Parsing is libphonenumber's;
// what it cannot take as a full number (short codes, sender names such as
// "Bank") keeps its exact text.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// A number libphonenumber took as a full number.
struct ParsedNumber {
    std::string e164;      // "+491701234567"
    int country_code = 0;  // 49
    std::string national;  // the national significant number: "1701234567"
};

// The parsing rules of one home region, with a memo of every spelling
// parsed so far (a parse costs tens of microseconds; a box repeats few
// spellings). Copies share the memo. Safe to use from several threads.
class PhoneNumbers {
  public:
    // `region` is a two-letter region code ("DE"); an unknown one, "" and
    // "ZZ" parse only numbers written with their country code.
    explicit PhoneNumbers(std::string_view region);
    // The region of the user's locale (see default_phone_region).
    PhoneNumbers();

    const std::string& region() const { return region_; }
    // The home region's country code (49), 0 for none.
    int country_code() const { return country_code_; }
    // What the home region dials before a national number ("0"), or "".
    const std::string& national_prefix() const { return national_prefix_; }

    // The number as a full number, or nullopt when it is not one: it does
    // not parse, its length is impossible for its country, or it is written
    // without country code and has fewer than 7 digits (a short code).
    std::optional<ParsedNumber> parse(std::string_view text) const;
    // "+491701234567", or nullopt as parse.
    std::optional<std::string> e164(std::string_view text) const;
    // The one way correspondents are told apart, wherever one is named
    // (conversations, search, imports, restore): the key is equal for two
    // spellings exactly when they are one correspondent. A full number's key
    // is its E.164 form; a sender without digits ("Bank") is "=" and its
    // text with ASCII letters in lower case; anything else "=" and the exact
    // text.
    std::string group_key(std::string_view text) const;
    bool same_number(std::string_view a, std::string_view b) const;
    // The keys of every correspondent a stored number field names
    // (recipients_of: "a;b" names two), sorted, without repeats.
    std::vector<std::string> correspondent_keys(std::string_view stored_number) const;

    // Forgets the memo (it is bounded; this is for measuring a cold start).
    void forget() const;

  private:
    struct Memo;
    std::string region_;
    int country_code_ = 0;
    std::string national_prefix_;
    std::shared_ptr<Memo> memo_;
};

// The region of a locale name such as "de_DE.UTF-8" or "pt_BR@latin":
// the two letters after "_", upper case, when libphonenumber knows them;
// otherwise "ZZ" (no region: "C", "POSIX", "en").
std::string region_of_locale(std::string_view locale);
// The region of the first set of LC_ALL, LC_TELEPHONE and LANG.
std::string default_phone_region();

// Every digit of `text`, in order.
std::string digits_of(std::string_view text);

// Whether the phone can be asked to send to `address`: a number written with
// digits and separators (a full number or a short code), or a sender name
// as the network carries one (at most 11 letters, digits and blanks, not
// all digits) or an e-mail address. Text typed by mistake ("Welcome back")
// is none of these.
bool sendable_address(std::string_view address);

// Whether a spelling that does not parse as a full number (the digits
// `digits`, say "0301234567" with no home region) may still be the full
// number `full`: its digits end in the national number, after nothing but a
// trunk prefix ("0", "06") or an international prefix and the country code
// ("0049"). +971501234567 is not 0301234567, whatever the region.
bool plausibly_same_number(const ParsedNumber& full, std::string_view digits);

}  // namespace quillet
