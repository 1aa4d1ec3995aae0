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
    if (out.declared_count <= 0)
        return out;
    const auto count = static_cast<size_t>(out.declared_count);
    const std::span<const uint8_t> records = bytes.subspan(kContactsPreambleSize);
    const size_t complete = std::min(count, records.size() / kContactRecordSize);
    out.contacts.reserve(complete);
    for (size_t i = 0; i < complete; ++i) {
        out.contacts.push_back(ContactWireRecord::decode(
            records.subspan(i * kContactRecordSize).first<kContactRecordSize>()));
    }
    if (complete < count) {
        out.damage = "the file ends after " + std::to_string(complete) + " of " +
                     std::to_string(count) + " contacts";
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
