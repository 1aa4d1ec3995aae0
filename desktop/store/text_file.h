// Files that the program writes in "text mode": every LF becomes CR LF on
// disk, as the settings file, the CSV export and the log always have been.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

std::string with_crlf(std::string_view text);

}  // namespace quillet
