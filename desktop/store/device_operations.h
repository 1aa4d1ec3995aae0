// The phone as the desktop's data sees it. The device link implements it;
// the boxes, the contact list and the composer call it.
//
// Every operation may throw ORX_Exception when the link fails. Records
// already received when it throws stay in the caller's list. The fetches
// report their progress to the caller's sink; nullptr reports nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "desktop/store/sms_message.h"
#include "desktop/store/status_sink.h"
#include "protocol/wire_format.h"

namespace quillet {

// Which phone folder a box mirrors; also its index in the box tree.
enum class BoxKind : int32_t { Inbox = 0, SentItems = 1, DeletedItems = 2 };

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
};

}  // namespace quillet
