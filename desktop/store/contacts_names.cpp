#include "desktop/store/contacts_names.h"

namespace quillet {

std::u16string shown_contact_name(std::u16string_view stored, NameOrder order) {
    const size_t comma = stored.find(u',');
    if (comma == std::u16string_view::npos)
        return std::u16string(stored);

    std::u16string_view first = stored.substr(0, comma);
    std::u16string_view second = stored.substr(comma + 1);
    if (order == NameOrder::AfterCommaFirst)
        std::swap(first, second);

    std::u16string shown(first);
    if (!first.empty())
        shown += u' ';
    shown += second;
    return shown;
}

bool contact_has_row(std::string_view stored_name) {
    return !stored_name.empty() && stored_name != " ";
}

}  // namespace quillet
