// How the contacts window shows a stored name. Phone contacts are stored as
// two parts joined by a comma (last name, first name); the user chooses which
// part comes first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// The "contacts_sort" setting: which part of a stored name comes first.
enum class NameOrder : uint8_t {
    BeforeCommaFirst = 0,  // "Doe,John" shows as "Doe John"
    AfterCommaFirst = 1,   // "Doe,John" shows as "John Doe"
};

// The shown name. Split at the first comma (the comma is dropped); the first
// part is followed by one blank unless it is empty; blanks inside the parts
// stay. A name without a comma is shown unchanged.
std::u16string shown_contact_name(std::u16string_view stored, NameOrder order);

// A contact whose name is empty or one blank gets no row (it stays in the
// list and its file).
bool contact_has_row(std::string_view stored_name);

}  // namespace quillet
