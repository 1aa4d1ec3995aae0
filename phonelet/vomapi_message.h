// One message of the phone's store, opened by its entry id for what the
// folder's table does not show: the body and the recipients.
#pragma once

#include <memory>
#include <optional>
#include <source_location>
#include <string>

#include "platform/ce/mapi.h"
#include "protocol/wire_format.h"

namespace quillet {

class VOMAPIMessage {
  public:
    // The longest body kept, in UTF-16 units: as much as a record of the
    // link's largest size carries.
    static constexpr size_t kMaxBodyUnits = (kMaxSmsRecordSize - kMinSmsRecordSize) / 2;
    static constexpr size_t kBodyChunkBytes = 255;

    // Opens the entry through the session; a failure is traced and leaves
    // the object without a message. `session` is used only here.
    VOMAPIMessage(ce::IMAPISession& session, const ce::SBinary& entry_id);
    virtual ~VOMAPIMessage();
    VOMAPIMessage(const VOMAPIMessage&) = delete;
    VOMAPIMessage& operator=(const VOMAPIMessage&) = delete;

    bool is_open() const { return message_ != nullptr; }
    // The Unicode body, read in 255-byte chunks, at most kMaxBodyUnits
    // units, up to its first NUL. Empty (and traced) when it cannot be read.
    std::u16string body();
    // The recipients' addresses as 8-bit text of at most 31 bytes, in
    // recipient order and joined by ";" as far as whole ones fit (the first
    // cut when it alone is longer): each its e-mail address, or its
    // display-to text when the address is "SMS". A message sent to several
    // people names them all, as the desktop keeps such a message. None
    // when the message has no recipient.
    std::optional<std::string> recipients();

  private:
    // "CEMAPI: FAILED(%x) at VOMAPIMessage:%d" on the phone's debug output.
    static void trace(ce::HRESULT hr, std::source_location where = std::source_location::current());

    std::unique_ptr<ce::IMessage> message_;
};

}  // namespace quillet
