// The boxes an export or a conversation takes together: Inbox and Sent
// Items, and Deleted Items when asked for.
#pragma once

#include "desktop/store/sms_box.h"

namespace quillet {

struct BoxSet {
    const SmsBox& inbox;
    const SmsBox& sent;
    const SmsBox* deleted = nullptr;  // left out when null
};

}  // namespace quillet
