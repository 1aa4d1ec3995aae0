#include "contacts_file.h"

#include <algorithm>

#include "protocol/byte_order.h"

namespace quillet {

DecodedContacts decode_contacts_file(std::span<const uint8_t> bytes) {
    DecodedContacts out;
    if (bytes.size() < kContactsPreambleSize) {
        out.damage = "the file is shorter than its header";
        return out;
    }
    out.declared_count = get_i32le(bytes, 20);
    // Every complete record is read, whatever the count says, so that a
    // wrong count loses nothing at the next save; a count that does not
    // match, or bytes left after the last record, are damage.
    const size_t count = out.declared_count > 0 ? static_cast<size_t>(out.declared_count) : 0;
    const std::span<const uint8_t> records = bytes.subspan(kContactsPreambleSize);
    const size_t complete = records.size() / kContactRecordSize;
    out.contacts.reserve(complete);
    for (size_t i = 0; i < complete; ++i) {
        out.contacts.push_back(ContactWireRecord::decode(
            records.subspan(i * kContactRecordSize).first<kContactRecordSize>()));
    }
    if (complete < count) {
        out.damage = "the file ends after " + std::to_string(complete) + " of " +
                     std::to_string(count) + " contacts";
    } else if (static_cast<int64_t>(complete) != out.declared_count) {
        out.damage = "the file says it holds " + std::to_string(out.declared_count) +
                     " contacts but holds " + std::to_string(complete) + "; all of them were read";
    } else if (records.size() % kContactRecordSize != 0) {
        out.damage =
            "the file ends inside a contact after " + std::to_string(complete) + " complete ones";
    }
    return out;
}

std::vector<uint8_t> encode_contacts_file(std::span<const Contact> contacts) {
    std::vector<uint8_t> out(kContactsPreambleSize + contacts.size() * kContactRecordSize, 0);
    std::copy(kContactsHeader.begin(), kContactsHeader.end(), out.begin());
    put_i32le(out, 20, static_cast<int32_t>(contacts.size()));
    auto pos = out.begin() + kContactsPreambleSize;
    for (const Contact& c : contacts) {
        const auto record = c.encode();
        pos = std::copy(record.begin(), record.end(), pos);
    }
    return out;
}

}  // namespace quillet
