// The messages of the three boxes grouped by correspondent, and searched,
// kept current by looking only at what changed in the boxes.
//
// A correspondent is a number as the network sees it (PhoneNumbers::
// group_key): every spelling that is the same number is one conversation.
// Inbox messages belong to their sender, Sent Items and Deleted Items
// messages to their number; a number field holding several numbers
// (recipients_of: separated by ";" or ",") belongs to each of them.
//
// update() compares each box with what the index saw last, in storage order:
// messages that are still there keep their place (their read flags are
// taken over), messages gone are dropped, messages added are indexed. Boxes
// only ever append and remove, so this costs one pass over the boxes' record
// headers plus the work for what changed.
//
// Message references (BoxKind, index in the box) are valid until the boxes
// next change; call update() after every change before using the index.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "desktop/search/search_query.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/message_ref.h"
#include "desktop/store/phone_number.h"
#include "desktop/store/recipients.h"
#include "desktop/store/sms_box.h"

namespace quillet {

struct ConversationSummary {
    std::string number;                // the spelling of its newest message
    std::vector<std::string> numbers;  // every spelling, in the order first seen
    size_t messages = 0;
    size_t unread = 0;  // unread Inbox and Deleted Items messages
    MessageRef last;    // the newest message
    FileTime last_time = 0;
};

class ConversationIndex {
  public:
    explicit ConversationIndex(const PhoneNumbers& numbers);
    ~ConversationIndex();
    ConversationIndex(const ConversationIndex&) = delete;
    ConversationIndex& operator=(const ConversationIndex&) = delete;

    // Brings the index up to the boxes' present state (see above). The
    // boxes are read only during the call. When memory runs out part-way
    // (std::bad_alloc), the index is of no use until clear().
    void update(const SmsBox& inbox, const SmsBox& sent, const SmsBox& deleted);
    // Takes at most about `most` new messages in, so that a lifetime's
    // history can be indexed a slice at a time between the window's events;
    // true when the index is up to date (as after update()). Until then the
    // index must not be used, only updated further.
    bool update_some(const SmsBox& inbox, const SmsBox& sent, const SmsBox& deleted, size_t most);
    // Forgets every box and gives its memory back: the next update indexes
    // the boxes anew.
    void clear();

    // Conversations are numbered 0..count()-1 in no particular order; the
    // numbers stay valid until the next update().
    size_t count() const { return live_.size(); }
    ConversationSummary summary(size_t conversation) const;
    // The conversation's messages, oldest first (equal times: Inbox, Sent
    // Items, Deleted Items, then box order).
    std::vector<MessageRef> messages_of(size_t conversation) const;
    // The conversation `number` (any spelling that groups with it) belongs to.
    std::optional<size_t> find(std::string_view number) const;
    // The same for a number a person typed: also as a message would store
    // it, and, for one that is no full number ("0170-1234567" with no home
    // region), the one conversation whose full number it may be.
    std::optional<size_t> find_typed(std::string_view number) const;

    // The messages of one box matching `query` in their text, their number or
    // their correspondent's name (taken from `contacts`, may be null), in box
    // order. An empty query matches every message.
    std::vector<size_t> search(BoxKind box, const SearchQuery& query,
                               const ContactList* contacts) const;
    // The same as one flag per message of the box, in box order: 1 where
    // it matches.
    std::vector<char> matches(BoxKind box, const SearchQuery& query,
                              const ContactList* contacts) const;
    // The conversations with at least one matching message.
    std::vector<size_t> search_conversations(const SearchQuery& query,
                                             const ContactList* contacts) const;
    // Names are looked up anew at the next search (the contacts changed).
    void names_changed();

    // Bytes held for the boxes' messages and their folded texts.
    size_t memory_bytes() const;

  private:
    std::optional<size_t> live_position(const std::string& key) const;
    struct Entry;
    struct Place;
    struct Box;
    struct Conversation;
    // A message's membership of one conversation: its position in the
    // conversation's members.
    struct Membership {
        uint32_t conversation;
        uint32_t position;
    };

    // Indexes the box's first `take` messages as if they were all of it.
    void update_box(size_t b, const SmsBox& box, size_t take);
    void add_entry(size_t b, const SmsMessage& message, Box& box, std::vector<Entry>& into);
    void drop_entry(Box& box, const Entry& entry);
    void set_read(uint32_t id, uint8_t read);
    bool same(const Entry& entry, const SmsMessage& message) const;
    uint32_t new_place();
    void add_membership(uint32_t id, Membership in);
    template <class Index, class Visit>
    static void visit_memberships(Index& index, uint32_t id, Visit&& visit);
    template <class Visit>
    void for_each_membership(uint32_t id, Visit&& visit);
    template <class Visit>
    void for_each_conversation_of(uint32_t id, Visit&& visit) const;
    // The conversation of a spelling, made when new, and the spelling's
    // position in it.
    std::pair<uint32_t, uint32_t> conversation_for(std::string_view spelling);
    bool newer(const Conversation& c, uint32_t a, uint32_t b) const;
    void refresh_last(Conversation& c) const;
    void refresh_live();
    static void compact(Box& box);

    bool conversation_matches(uint32_t conversation, const SearchQuery& query,
                              const ContactList* contacts) const;
    std::vector<char> matching_conversations(const SearchQuery& query,
                                             const ContactList* contacts) const;
    void mark_text_hits(const Box& box, const SearchQuery& query, std::vector<char>& hit) const;
    // The same for entries first..last-1, which no other call writes meanwhile.
    static void mark_text_hits_in(const Box& box, std::string_view q, size_t first, size_t last,
                                  std::vector<char>& hit);

    PhoneNumbers numbers_;
    std::array<std::unique_ptr<Box>, 3> boxes_;
    // Every message seen, by id; freed ids are reused.
    std::vector<Place> places_;
    std::vector<uint32_t> free_places_;
    // The memberships beyond the first of a message naming several numbers.
    std::unordered_map<uint32_t, std::vector<Membership>> more_in_;
    mutable std::vector<Conversation> conversations_;  // refresh_last sorts out stale ends
    std::vector<uint32_t> live_;                       // conversations with messages, ascending
    std::unordered_map<std::string, uint32_t> by_key_;
    std::unordered_map<std::string, std::pair<uint32_t, uint32_t>> by_spelling_;
    // Each conversation's contact name, folded; empty: none. Made on demand.
    mutable std::vector<std::optional<std::string>> folded_names_;
};

}  // namespace quillet
