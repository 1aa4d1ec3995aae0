// The list the main window's right pane shows, as the commands see it:
// a box's messages, the conversations, or the results across the boxes.
// A command asks whichever is shown the same questions; each list answers
// for its own rows.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "desktop/store/correspondence.h"
#include "desktop/store/message_ref.h"
#include "desktop/store/sms_message.h"

namespace quillet {

struct RestoreOffer;

// The conversations selected in a list, for the question before they are
// deleted: who (the names or numbers the list shows, in its order), how
// many messages (one in two of them counted once), and how many of those
// went to others as well, whose conversations lose them too.
struct ConversationChoice {
    QStringList correspondents;
    size_t messages = 0;
    size_t shared = 0;
};

// What a Delete acts on: the messages, and, when whole conversations were
// chosen, whose they are.
struct ChosenMessages {
    std::vector<MessageRef> refs;
    std::optional<ConversationChoice> conversations;
};

class ShownList {
  public:
    virtual ~ShownList() = default;

    // The messages a Delete acts on. Throws std::bad_alloc when the choice
    // does not fit in memory.
    virtual ChosenMessages chosen() = 0;
    // After `deleted` of the chosen messages were deleted (`removed`: gone
    // from their boxes, else only from the phone): the list follows, and
    // where one row was chosen and is gone, the one now at its place is
    // shown.
    virtual void after_deletion(const ChosenMessages& chosen, size_t deleted, bool removed) = 0;

    // The message of this list in the message view, which Forward takes;
    // null when the view shows none of its rows.
    virtual const SmsMessage* message_shown() const = 0;
    // The number a Reply goes to: the shown message's sender or the shown
    // conversation's correspondent.
    virtual std::optional<TextField> correspondent() = 0;
    // The conversation a print or a PDF is of (valid until the boxes
    // change); nullopt when the view shows nothing to take it from.
    virtual std::optional<Correspondence> conversation() = 0;
    // What to say when conversation() has none.
    virtual QString conversation_missing() const = 0;
    // What Restore to Phone may offer of this list.
    virtual void offer_to_restore(RestoreOffer& offer) = 0;

    // Read flags and select all act on the rows of a box; the other lists
    // have none to act on.
    virtual void mark_selected(bool /*read*/) {}
    virtual void select_all() {}
};

}  // namespace quillet
