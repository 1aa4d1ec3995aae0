// What the user typed into a search, prepared once for matching many
// messages: its folded form for texts and names, and, when it looks like a
// number, its digits for numbers.
//
// A number matches when its digits contain the digits as typed ("0170 123",
// "0170-123" and "0170123" alike), or, when the typed digits start with the
// home region's national prefix, when it is a full number of the home
// country whose national number starts with the rest ("0170 123" finds
// "+49170123..." in region DE). Typed with "+" or "00" before them, the
// digits also find the full numbers whose country code and national number
// start with them ("0044 20" finds "+442079460958").
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "desktop/store/phone_number.h"

namespace quillet {

class SearchQuery {
  public:
    SearchQuery() = default;
    SearchQuery(std::u16string_view typed, const PhoneNumbers& numbers);

    // Nothing but blanks was typed: everything matches.
    bool empty() const { return folded_.empty(); }
    const std::string& folded() const { return folded_; }

    // Whether the folded form occurs in `folded_text` (fold_for_search).
    bool matches_folded(std::string_view folded_text) const;
    // Whether a number, as written and as parsed, matches (see above).
    bool matches_number(std::string_view number, const std::optional<ParsedNumber>& parsed) const;

  private:
    std::string folded_;
    std::string digits_;    // the digits typed, when the query looks like a number
    std::string national_;  // those after the home national prefix, when typed with it
    int country_code_ = 0;
    std::string international_;  // the digits after a typed "+" or "00"
};

}  // namespace quillet
