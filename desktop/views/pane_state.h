// What the lists of the right pane (list_pane.h) share: the frame's three
// boxes with one ConversationIndex over them, brought up to date (never
// rebuilt) whenever a box's revision moved, the names, the search typed,
// the message view and the message a list put in it last.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "desktop/search/conversation_index.h"
#include "desktop/search/search_query.h"
#include "desktop/store/box_set.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/sms_box.h"

namespace quillet {

class HtmlFormView;

class KeptIndex {
  public:
    // The boxes are the frame's; they must outlive the index.
    KeptIndex(SmsBox& inbox, SmsBox& sent, SmsBox& deleted);

    // Brings the index up to date; false when it does not fit in memory
    // (then it is empty, and not tried again for the same boxes until
    // retry()).
    bool update();
    // As update(), a slice of at most about `most` new messages at a time
    // (ConversationIndex::update_some): Pending until the last slice.
    enum class Progress { Done, Pending, DidNotFit };
    Progress update_some(size_t most);
    void retry() { failed_at_.reset(); }
    const ConversationIndex& index() const { return index_; }
    // The contacts changed: the index names them anew.
    void names_changed() { index_.names_changed(); }

    SmsBox& box(BoxKind kind) { return *boxes_[static_cast<size_t>(kind)]; }
    std::array<const SmsBox*, 3> box_pointers() const { return {boxes_[0], boxes_[1], boxes_[2]}; }
    BoxSet box_set() const { return {*boxes_[0], *boxes_[1], boxes_[2]}; }
    // The boxes' revisions now, and those the index was last brought to.
    std::array<uint64_t, 3> revisions() const;
    const std::array<uint64_t, 3>& indexed_revisions() const { return indexed_revisions_; }
    const PhoneNumbers& numbers() const { return numbers_; }

  private:
    std::array<SmsBox*, 3> boxes_;
    PhoneNumbers numbers_;
    ConversationIndex index_;
    std::array<uint64_t, 3> indexed_revisions_{};
    bool indexed_ = false;
    // The boxes' revisions when the index last did not fit in memory.
    std::optional<std::array<uint64_t, 3>> failed_at_;
};

struct PaneState {
    KeptIndex index;
    HtmlFormView& view;
    // Names for the lists and the search; not owned.
    const ContactList* contacts = nullptr;
    SearchQuery query;
    // The message a box's list or a result put in the view last.
    SmsMessage last_shown;
};

}  // namespace quillet
