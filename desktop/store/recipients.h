// The recipients a stored number field names.
#pragma once

#include <string_view>
#include <vector>

namespace quillet {

// The recipients a stored number names: several separated by ";" or ","
// (blanks around each dropped), else the number itself.
std::vector<std::string_view> recipients_of(std::string_view number);

}  // namespace quillet
