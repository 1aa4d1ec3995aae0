// The one way a message's date and time is shown: in the list, the message
// view and the exports.
#pragma once

#include <string>

#include "protocol/filetime.h"

namespace quillet {

// The user's short date of the UTC calendar date of `t`, then " %H:%M" of
// the local time of `t`. (A message at 23:30 UTC seen one hour east of UTC
// reads as the UTC day at 00:30.) The date follows the LC_TIME locale.
std::u16string shown_date_time(FileTime t);

}  // namespace quillet
