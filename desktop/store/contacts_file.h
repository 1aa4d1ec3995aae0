// The contacts file "contacts.sql". The single place in code for its bytes;
// doc/contacts_file.md describes the same layout in prose. Little-endian.
//
//   0  20        header "quillet version 1.00", no terminator (not examined
//                when reading)
//  20   4        count, int32
//  24  64*count  records: name (32 bytes), number (32 bytes), each 8-bit text
//                NUL-terminated within its field
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "desktop/store/sms_message.h"

namespace quillet {

inline constexpr std::string_view kContactsHeader = "quillet version 1.00";
inline constexpr size_t kContactsPreambleSize = 24;

static_assert(kContactsHeader.size() == 20);

struct DecodedContacts {
    int32_t declared_count = 0;
    std::vector<Contact> contacts;
    // Empty when the file was whole; otherwise why the reading stopped.
    std::string damage;
};

// Decodes a whole contacts file: every complete record, whatever the count
// says (a count that does not match is damage, as is a file that breaks off).
// Never allocates more than the bytes can hold.
DecodedContacts decode_contacts_file(std::span<const uint8_t> bytes);
std::vector<uint8_t> encode_contacts_file(std::span<const Contact> contacts);

}  // namespace quillet
