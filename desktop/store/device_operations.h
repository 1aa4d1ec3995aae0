// The phone as the desktop's data sees it. The device link implements it;
// the boxes, the contact list and the composer call it.
//
// Every operation may throw ORX_Exception when the link fails. Records
// already received when it throws stay in the caller's list. The fetches
// report their progress to the caller's sink; nullptr reports nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "desktop/store/box_kind.h"
#include "desktop/store/sms_message.h"
#include "desktop/store/status_sink.h"
#include "protocol/wire_format.h"

namespace quillet {

class DeviceOperations {
  public:
    virtual ~DeviceOperations() = default;

    // Appends every text message of the kind's phone folder, oldest first.
    // Returns the count the phone announced, or -1 when the fetch failed
    // without raising.
    virtual int fetch_folder(BoxKind kind, std::vector<SmsWireRecord>& records,
                             StatusSink* sink) = 0;
    // Asks the phone to delete the message that `record` (its 68-byte head)
    // names in the kind's folder; true when the phone reports it deleted.
    virtual bool delete_on_device(BoxKind kind, const SmsWireRecord& record) = 0;
    // Appends the phone's contacts (SIM first); returns how many.
    virtual int fetch_contacts(std::vector<Contact>& contacts, StatusSink* sink) = 0;
    // Hands one message to the phone's SMS service. Returns true when the
    // phone accepted it; throws "OnDeviceError: could not send sms to ..."
    // when it refused.
    virtual bool send_sms(const SmsWireRecord& record) = 0;

    // --- Restoring (agents from before it know none of this) ---------------

    // The command codes the phone's agent answers, one bit each
    // (command_bit). An agent from before restoring was known answers
    // kCommandsBeforeRestore, and so does this default.
    virtual uint32_t known_commands() { return kCommandsBeforeRestore; }
    // Adds `records` to the phone's Inbox or Sent Items (address, time, read
    // flag and text; entry id and class are not used). Per record, in
    // order, the entry id the phone's store gave it, or none when the store
    // refused it. Throws ORX_Exception when the link fails; by default,
    // "this phone's agent cannot restore".
    virtual std::vector<std::optional<EntryId>> write_messages(
        BoxKind kind, std::span<const SmsWireRecord> records);
    // Adds `contacts` to the phone's contacts or its SIM; per contact
    // whether it was added (a full SIM adds no more). Throws as above.
    virtual std::vector<bool> write_contacts(ContactTarget target,
                                             std::span<const Contact> contacts);
};

}  // namespace quillet
