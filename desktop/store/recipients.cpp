#include "desktop/store/recipients.h"

namespace quillet {

std::vector<std::string_view> recipients_of(std::string_view number) {
    std::vector<std::string_view> out;
    size_t from = 0;
    while (from <= number.size()) {
        size_t to = number.find_first_of(";,", from);
        if (to == std::string_view::npos)
            to = number.size();
        std::string_view one = number.substr(from, to - from);
        while (!one.empty() && one.front() == ' ')
            one.remove_prefix(1);
        while (!one.empty() && one.back() == ' ')
            one.remove_suffix(1);
        if (!one.empty())
            out.push_back(one);
        from = to + 1;
    }
    if (out.empty())
        out.push_back(number);
    return out;
}

}  // namespace quillet
