// The one way a message's date and time is shown: in the list, the message
// view and the exports.
#pragma once

#include <string>

#include "protocol/filetime.h"

namespace quillet {

// The user's short date, then " %H:%M", both of the local time of `t`: a
// message at 20:00 UTC on 2 January, seen nine hours east of UTC, is of
// 3 January, 05:00. The date follows the LC_TIME locale.
std::u16string shown_date_time(FileTime t);

}  // namespace quillet
