// Tells whether a message from another source (a backup, an older data
// folder, the phone) is one the boxes already keep.
//
// Two copies are one message when the direction, the correspondent and the
// text agree and their times lie within 2 s. Correspondents are compared
// as libphonenumber compares numbers in the user's home region (group_key);
// senders without digits as text, ignoring case. Texts are compared with
// line ends and trailing blanks normalised. A time that carries no zone
// (Gammu's local times) fits a kept time at any whole-quarter-hour offset up
// to 14 hours either way, plus 2 s, and is taken as that message only when
// exactly one kept message fits.
//
// Weaker agreement is never a match: the same correspondent and text within
// a day but outside the window, or two kept messages that fit a zoneless
// time, make the message a "possible duplicate", which the import adds and
// lists.
//
// Each kept message answers for one message of a source: the same text from
// the same person twice in one source matches two kept copies or is added
// twice. For an import (GroupCopies::AreTheGroup), a group message (several
// correspondents) also answers for one copy per member: other tools write a
// group message as one message per recipient, each of which is then the
// message kept. Against the phone, where one kept message stands for one
// phone message, copies stay apart. begin_source() starts the next source, whose
// messages may match any kept message again (including those added from earlier sources).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "desktop/store/message_ref.h"
#include "desktop/store/phone_number.h"
#include "desktop/store/sms_box.h"

namespace quillet {

// The text as compared: CR LF and lone CR as LF, blanks before each line end
// and at the end left out.
std::u16string normalised_text(std::u16string_view text);

// Milliseconds since 1970 of a FileTime, and back.
int64_t unix_ms(FileTime t);
FileTime filetime_from_ms(int64_t ms);

class MessageMatcher {
  public:
    enum class Verdict { New, Kept, PossibleDuplicate };
    struct Result {
        Verdict verdict = Verdict::New;
        MessageRef kept;  // Kept: the message it is
    };

    enum class GroupCopies { Apart, AreTheGroup };

    // `numbers` must outlive the matcher.
    explicit MessageMatcher(const PhoneNumbers& numbers, GroupCopies copies = GroupCopies::Apart);

    // Indexes every message of a box: the Inbox holds the received ones,
    // Sent Items the sent ones; Deleted Items are matched among themselves.
    void add_box(const SmsBox& box);
    // Indexes one message. One just added from the source being matched
    // (`from_this_source`) answers only for later sources.
    void add(BoxKind box, const SmsMessage& message, MessageRef ref, bool from_this_source);
    // Every kept message may answer again.
    void begin_source();
    // Forgets what the source being matched added (it could not be read
    // whole and is not imported).
    void discard_source();

    // What a message of a source is. A Kept result uses up that kept
    // message for the rest of the source.
    Result match(BoxKind box, std::string_view stored_number, std::u16string_view text,
                 int64_t time_ms, bool zoneless);

    // The correspondents of a stored number field as one key
    // (PhoneNumbers::correspondent_keys joined: "a;b" for several); two
    // copies of a message name the same correspondents.
    std::string correspondent_key(std::string_view stored_number) const;

  private:
    struct Entry {
        int64_t time_ms;
        MessageRef ref;
        std::string correspondent;
        std::u16string text;
        uint64_t used_in = 0;  // the source that used it up, 0 for none
        bool added = false;    // by the source that used it up
    };
    using Index = std::unordered_map<uint64_t, std::vector<Entry>>;
    // The nearest entry that fits, how many fit, and whether one is near.
    struct Search {
        Entry* best = nullptr;
        size_t fitting = 0;
        bool near = false;
    };
    uint64_t key_of(BoxKind box, const std::string& correspondent,
                    const std::u16string& text) const;
    Search search(Index& index, BoxKind box, const std::string& correspondent,
                  const std::u16string& normal, int64_t time_ms, bool zoneless);

    const PhoneNumbers& numbers_;
    const GroupCopies copies_;
    // Hash of (direction, correspondent, text) to its kept messages.
    Index entries_;
    // The same for each member of a group message, by that member alone.
    Index members_;
    uint64_t source_ = 1;
};

}  // namespace quillet
