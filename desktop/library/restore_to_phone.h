// Restore onto a phone: puts kept messages back into the phone's Inbox and
// Sent Items, and contacts into its contacts or SIM, for the window and
// quillet-cli alike.
//
// Nothing the phone already holds is written again: before writing, the
// phone's folders (and contacts) are read, and a kept message that one of
// them is (MessageMatcher: direction, correspondent, text, time within 2 s)
// is left out. A restore that was cut short and runs again therefore writes
// only what is still missing. A restore never deletes anything, and it
// never writes the data folder: the next Get SMS brings the written
// messages back as the ones the boxes keep (MessageLibrary::get_sms).
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
    // Inbox and Sent Items: the records to write, oldest first.
    std::array<std::vector<SmsWireRecord>, 2> messages;
    // Of the chosen messages, how many the phone holds already.
    size_t already_on_phone = 0;
    std::vector<Contact> contacts;
    size_t contacts_on_phone = 0;
    size_t message_count() const { return messages[0].size() + messages[1].size(); }
    bool empty() const { return message_count() == 0 && contacts.empty(); }
};

struct RestoreReport {
    size_t written = 0;
    size_t already_on_phone = 0;
    size_t refused = 0;  // the phone's store did not take them
    size_t contacts_written = 0;
    size_t contacts_on_phone = 0;
    size_t contacts_refused = 0;  // a full SIM, or the store refused
    // Cancelled: stopped between two batches. Refused: the phone's agent
    // knows no restore commands, nothing was written. Unreachable: the link
    // failed; what `written` counts is on the phone.
    Outcome outcome;
    bool cancelled() const { return outcome.kind() == Outcome::Kind::Cancelled; }
    bool link_failed() const { return outcome.kind() == Outcome::Kind::Unreachable; }
};

class PhoneRestore {
  public:
    // `library` with its boxes loaded; it is only read.
    PhoneRestore(const MessageLibrary& library, DeviceOperations& device, RestoreChoice choice);

    // Whether the phone's agent knows the restore commands.
    bool supported();
    // Reads the phone's folders (and contacts, when some are chosen) and
    // works out what is missing there. Throws ORX_Exception when the link
    // fails.
    RestorePlan plan(StatusSink* sink);
    // Writes the plan in batches, reporting progress to `sink`; `cancelled`
    // is asked before each batch, with how many messages and contacts were
    // written so far. Never throws for the link: the report says how far it
    // got.
    RestoreReport write(const RestorePlan& plan, StatusSink* sink,
                        const std::function<bool(size_t done)>& cancelled = {});
    // supported(), plan() and write() in turn.
    RestoreReport run(StatusSink* sink);

  private:
    // The chosen messages of one box, as records to write.
    std::vector<const SmsMessage*> chosen(BoxKind kind) const;
    void plan_messages(RestorePlan& plan, StatusSink* sink);
    void plan_contacts(RestorePlan& plan, StatusSink* sink);

    const MessageLibrary& library_;
    DeviceOperations& device_;
    RestoreChoice choice_;
};

}  // namespace quillet
