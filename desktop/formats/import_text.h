// Small pieces every import reader shares: UTF-8 read leniently with the
// damage counted, base64 decoded in pieces, the kind of an attachment from
// its content type, the range of times a message may carry, and the
// correspondents of a group message without the owner's own number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/formats/import_source.h"

namespace quillet::import {

// UTF-8 as UTF-16; each invalid sequence (and each encoded surrogate)
// becomes U+FFFD and adds one to `replaced`, as does a NUL (mend_text).
std::u16string utf16_from_utf8(std::string_view text, uint64_t& replaced);

// A box keeps a text up to its first NUL, so a NUL in a text becomes
// U+FFFD (added to `replaced`): what the box keeps, what the import matches
// and what undo looks for are then one text. So does a UTF-16 half without
// its partner. Other control characters are kept as they are.
void mend_text(std::u16string& text, uint64_t& replaced);

// UTF-8 `text` without control characters (C0, DEL, C1) and without the
// marks that change the direction of what follows (U+200E, U+200F, U+061C,
// U+202A to U+202E, U+2066 to U+2069): a name from a file shown on screen
// or saved on disk then reads as what it is ("photo\u202Egpj.exe" would
// show as "photoexe.jpg").
std::string without_controls(std::string_view text);

// The length of the valid UTF-8 sequence at `text[i]` (0: none there);
// `code_point` receives its value. Overlong forms and surrogates are not
// valid.
size_t utf8_sequence(std::string_view text, size_t i, uint32_t& code_point);

// Appends the UTF-8 of one code point; one outside Unicode becomes U+FFFD.
void append_utf8(std::string& out, uint32_t code_point);

// `text` without the blanks, tabs and line ends around it.
std::string_view trim(std::string_view text);

// ASCII letters compared without case; `lowered` gives them in lower case.
bool equal_nocase(std::string_view a, std::string_view b);
std::string lowered(std::string_view text);

// The value of one hexadecimal digit; -1 for any other character.
int hex_digit(char c);

// A whole decimal number, optionally negative; nothing else around it.
std::optional<int64_t> parse_int(std::string_view text);

// Base64 in pieces of any size: whitespace and character references
// ("&#10;") between the characters are ignored; `bad` tells that something
// else was met (those characters are left out).
class Base64Decoder {
  public:
    void feed(std::string_view text, std::string& out);
    bool bad() const { return bad_; }

  private:
    uint32_t bits_ = 0;
    int count_ = 0;
    bool in_reference_ = false;
    bool bad_ = false;
};

// "picture", "audio", "video", "contact card" or "file".
std::string_view attachment_kind(std::string_view content_type);

// Messages carry times the boxes can hold: from 1601 to 30828.
constexpr int64_t kEarliestMs = -11'644'473'600'000;  // 1601-01-01
constexpr int64_t kLatestMs = 910'692'730'085'477;    // 30828-09-14
// Why a time is refused, or nothing when it can be kept.
std::optional<std::string_view> time_out_of_range(int64_t ms);

// A calendar date and time of day as milliseconds since 1970, counted as
// if UTC; nothing when a field is out of its range (a month 13, an hour 24;
// a second 60 is a leap second and kept).
std::optional<int64_t> wall_clock_ms(int64_t year, int64_t month, int64_t day, int64_t hour,
                                     int64_t minute, int64_t second);

// Appends "[picture: IMG_0042.jpg]" on a line of its own; for a part the
// backup names but does not hold (`missing`), "[picture: IMG_0042.jpg, not
// in the backup]", so that the message and what it had stay known.
void append_attachment_line(std::u16string& text, const ImportedAttachment& attachment,
                            uint64_t& replaced, bool missing = false);

// Who took part in an MMS, one address per person, as the sources list
// them: the sender (137) and the recipients (151 to, 130 cc, 129 bcc).
struct MmsParties {
    std::string sender;
    std::vector<std::string> recipients;
};

// Tells the owner's own number from what the MMS of one file show: the
// sender of a sent MMS, the one recipient of a received one, or else the
// one number every MMS so far lists. Numbers are compared by their last
// nine digits, names as written.
class OwnerGuess {
  public:
    // The correspondents of `parties` joined by ";", without the owner's
    // number once it is known; learns from every call.
    std::string correspondents(const MmsParties& parties, bool received);

  private:
    void learn(const MmsParties& parties, bool received);
    bool is_owner(std::string_view address) const;

    std::string owner_;
    std::vector<std::string> common_;  // keys every MMS so far listed
    bool any_ = false;
};

}  // namespace quillet::import
