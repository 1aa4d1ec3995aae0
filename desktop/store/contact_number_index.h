// Which contact a message's number belongs to, answered without a scan.
//
// A number belongs to the first contact (in list order) whose number is the
// same number as the network sees it (both parse and their E.164 forms are
// equal). Where that comparison cannot decide (one side is not a full
// number), the older rule of the last 7 characters is used, but only when it
// points at one contact and, where one side is a full number, the other's
// digits may be that number (plausibly_same_number): the last 7 digits alone
// would take +15551234567 for +491701234567, or +971501234567 for a contact
// stored as 0301234567 with no home region known. Contacts of one name, or of one cleaned number
// (the first in list order wins), count as one.
//
// The older rule, on cleaned contact numbers (every "+" and digit kept) and
// the number as given: a number of more than 7 characters matches cleaned
// numbers of more than 7 on their last 7; a shorter one matches only whole.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "desktop/store/phone_number.h"
#include "desktop/store/sms_message.h"

namespace quillet {

// Keeps every "+" and digit of `number`, in order.
std::string clean_contact_number(std::string_view number);

class ContactNumberIndex {
  public:
    // Indexes `contacts` (numbers and names are copied out) with `numbers`'
    // region; most lookups then neither scan nor parse.
    ContactNumberIndex(const std::vector<Contact>& contacts, const PhoneNumbers& numbers);
    ContactNumberIndex() = default;

    // The index of the contact `number` belongs to, if any.
    std::optional<size_t> find(std::string_view number) const;

  private:
    // A contact the older rule points at for one key, in list order.
    struct Candidate {
        size_t index = 0;
        bool parsed = false;  // its number is a full number
    };
    using Candidates = std::vector<Candidate>;

    std::optional<size_t> find_same_number(std::string_view number, bool& parsed,
                                           bool& parse_known) const;
    bool could_be_a_contact(std::string_view number) const;
    std::optional<size_t> find_by_old_rule(std::string_view number, bool number_parsed,
                                           bool parse_known) const;
    std::optional<size_t> choose(const Candidates& candidates,
                                 const std::optional<ParsedNumber>& number,
                                 std::string_view digits) const;

    PhoneNumbers numbers_{"ZZ"};
    // Stored names and cleaned numbers, for telling contacts apart.
    std::vector<std::string> names_;
    std::vector<std::string> cleaned_;
    std::vector<std::optional<ParsedNumber>> parsed_;
    bool one_contact(size_t a, size_t b) const;
    std::unordered_map<std::string, size_t> by_e164_;
    // The last 7 digits of each parsed contact's national number (all of a
    // shorter one) and the lengths of the shorter ones: a number whose digits
    // end in none of them cannot be any contact's number.
    std::unordered_set<std::string> national_tails_;
    std::vector<size_t> short_national_lengths_;
    std::unordered_map<std::string, Candidates> whole_;  // cleaned numbers of at most 7
    std::unordered_map<std::string, Candidates> tails_;  // longer ones, by their last 7
};

}  // namespace quillet
