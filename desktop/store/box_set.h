// The boxes an export or a conversation takes together: Inbox and Sent
// Items, and Deleted Items when asked for.
#pragma once

#include <string_view>
#include <vector>

#include "desktop/store/sms_box.h"

namespace quillet {

struct BoxSet {
    const SmsBox& inbox;
    const SmsBox& sent;
    const SmsBox* deleted = nullptr;  // left out when null
};

// The recipients a stored number names: several separated by ";" or ","
// (blanks around each dropped), else the number itself.
std::vector<std::string_view> recipients_of(std::string_view number);

}  // namespace quillet
