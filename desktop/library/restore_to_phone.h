// Restore onto a phone: puts kept messages back into the phone's Inbox and
// Sent Items, and contacts into its contacts or SIM, for the window and
// quillet-cli alike.
//
// Nothing the phone already holds is written again: before writing, the
// phone's folders (and contacts) are read, and a kept message that one of
// them is (its entry id, or MessageMatcher: direction, correspondent, text,
// time within 2 s) is left out. A restore that was cut short and runs again
// therefore writes only what is still missing. A restore never deletes
// anything.
//
// Each written message's kept copy stands for its new phone message at once
// (the entry id the phone gave it, on the phone), so the next Get SMS finds
// it by that id, and twins stay two. Before the first write, the copies to
// be written are saved as standing for no phone message: when the program
// ends before the boxes are saved again, the next Get SMS still takes each
// written message as its kept copy (MessageLibrary::get_sms).
//
// A message to several people ("a;b") goes to Sent Items as one message
// with a recipient list, as the phone keeps one it sent to several; the
// agent reads such a message back with its recipients joined the same way.
// A text longer than a message record carries is not written, and named.
//
// Only an agent that knows the restore commands is asked to write; with an
// older one, supported() is false and nothing is sent.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "desktop/library/message_library.h"
#include "desktop/store/message_ref.h"

namespace quillet {

// What the user wants put back. The message boxes are Inbox and Sent Items.
struct RestoreChoice {
    std::array<bool, 2> boxes{true, true};
    // Only the messages of this correspondent (as the conversations key
    // them; any way of writing the number).
    std::optional<std::string> conversation;
    // When not empty, only these messages (those of Deleted Items are left
    // out: the phone's wastebasket is not written).
    std::vector<MessageRef> selection;
    bool messages = true;
    // These contacts, into the phone's contacts, or onto the SIM card
    // instead when `sim` (as many as it has empty slots).
    std::vector<Contact> contacts;
    bool sim = false;
};

// What the restore would write.
struct RestorePlan {
    // Inbox and Sent Items: the records to write, oldest first, and the
    // kept message each comes from.
    std::array<std::vector<SmsWireRecord>, 2> messages;
    std::array<std::vector<MessageRef>, 2> kept;
    // Of the chosen messages, how many the phone holds already.
    size_t already_on_phone = 0;
    // Chosen, but longer than a record to the phone carries: not written.
    std::vector<MessageRef> too_long;
    // One per person or name, with the fullest name the list holds for it.
    std::vector<Contact> contacts;
    // Of the chosen contacts, how many the phone holds already (the list's
    // own doubles are not counted: they are written once).
    size_t contacts_on_phone = 0;
    size_t message_count() const { return messages[0].size() + messages[1].size(); }
    bool empty() const { return message_count() == 0 && contacts.empty(); }
};

struct RestoreReport {
    size_t written = 0;
    size_t already_on_phone = 0;
    size_t refused = 0;                // the phone's store did not take them
    std::vector<MessageRef> too_long;  // as the plan names them
    size_t contacts_written = 0;
    size_t contacts_on_phone = 0;
    size_t contacts_refused = 0;  // a full SIM, or the store refused
    // Cancelled: stopped between two batches. Refused: the phone's agent
    // knows no restore commands, nothing was written. Unreachable: the link
    // failed; what `written` counts is on the phone. Unwritable: the boxes
    // could not be saved before the writes, nothing was written.
    Outcome outcome;
    bool cancelled() const { return outcome.kind() == Outcome::Kind::Cancelled; }
    bool link_failed() const { return outcome.kind() == Outcome::Kind::Unreachable; }
};

class PhoneRestore {
  public:
    // `library` with its boxes loaded. write() changes the entry ids and
    // on-phone flags of the messages it writes, and saves the boxes once
    // before its first write; the caller saves them after it.
    PhoneRestore(MessageLibrary& library, DeviceOperations& device, RestoreChoice choice);

    // Whether the phone's agent knows the restore commands.
    bool supported();
    // Reads the phone's folders (and contacts, when some are chosen) and
    // works out what is missing there. Throws ORX_Exception when the link
    // fails.
    RestorePlan plan(StatusSink* sink);
    // Writes the plan in batches, reporting progress to `sink`; `cancelled`
    // is asked before each batch, with how many messages and contacts were
    // written so far. Never throws for the link: the report says how far it
    // got. The plan must come from this object's plan(), with the boxes
    // unchanged since.
    RestoreReport write(const RestorePlan& plan, StatusSink* sink,
                        const std::function<bool(size_t done)>& cancelled = {});
    // supported(), plan() and write() in turn.
    RestoreReport run(StatusSink* sink);

  private:
    // The chosen messages of one box, oldest first.
    std::vector<size_t> chosen(BoxKind kind) const;
    void plan_messages(RestorePlan& plan, StatusSink* sink);
    void plan_contacts(RestorePlan& plan, StatusSink* sink);
    // Saves the messages about to be written as standing for no phone
    // message; false with the report's outcome set when that fails.
    bool forget_entries(const RestorePlan& plan, RestoreReport& report);
    // The kept message of a written record stands for the phone's `id`.
    void take_entry(BoxKind kind, const SmsWireRecord& record, MessageRef ref,
                    const std::optional<EntryId>& id);

    MessageLibrary& library_;
    DeviceOperations& device_;
    RestoreChoice choice_;
};

}  // namespace quillet
