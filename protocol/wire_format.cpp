#include "wire_format.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "byte_order.h"

namespace quillet {

void set_text_field(TextField& field, std::string_view text) {
    field.fill('\0');
    const size_t n = std::min(text.size(), kTextFieldSize - 1);
    std::copy_n(text.begin(), n, field.begin());
}

std::string_view text_field(const TextField& field) {
    const auto end = std::find(field.begin(), field.begin() + (kTextFieldSize - 1), '\0');
    return std::string_view(field.data(), static_cast<size_t>(end - field.begin()));
}

CommandBlock CommandBlock::with_code(CommandCode c) {
    CommandBlock block;
    block.code = static_cast<int32_t>(c);
    return block;
}

std::array<uint8_t, kCommandBlockSize> CommandBlock::encode() const {
    std::array<uint8_t, kCommandBlockSize> out{};
    put_i32le(out, 0, code);
    put_i32le(out, 4, index);
    std::copy(payload.begin(), payload.end(), out.begin() + wire_offset::kBlockPayload);
    return out;
}

CommandBlock CommandBlock::decode(std::span<const uint8_t, kCommandBlockSize> bytes) {
    CommandBlock block;
    block.code = get_i32le(bytes, 0);
    block.index = get_i32le(bytes, 4);
    std::copy_n(bytes.begin() + wire_offset::kBlockPayload, kRecordHeadSize, block.payload.begin());
    return block;
}

uint32_t SmsWireRecord::size() const {
    return static_cast<uint32_t>(kMinSmsRecordSize + 2 * text.size());
}

static void encode_head(const SmsWireRecord& r, std::span<uint8_t> out) {
    put_u32le(out, wire_offset::kSize, r.size());
    std::copy(r.address.begin(), r.address.end(), out.begin() + wire_offset::kAddress);
    put_u64le(out, wire_offset::kTime, r.time);
    out[wire_offset::kClass] = r.message_class;
    std::copy(r.entry_id.begin(), r.entry_id.end(), out.begin() + wire_offset::kEntryId);
    put_u32le(out, wire_offset::kFlags, r.flags);
}

std::vector<uint8_t> SmsWireRecord::encode() const {
    std::vector<uint8_t> out;
    append_to(out);
    return out;
}

void SmsWireRecord::append_to(std::vector<uint8_t>& out) const {
    const size_t at = out.size();
    out.resize(at + size(), 0);
    const std::span<uint8_t> record = std::span(out).subspan(at);
    encode_head(*this, record);
    // On a little-endian machine the text's units are already its bytes on
    // the wire: one copy instead of a store per unit. The terminator is the
    // zero the record was made with.
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(record.data() + wire_offset::kText, text.data(), 2 * text.size());
    } else {
        for (size_t i = 0; i < text.size(); ++i) {
            put_u16le(record, wire_offset::kText + 2 * i, static_cast<uint16_t>(text[i]));
        }
    }
}

std::array<uint8_t, kRecordHeadSize> SmsWireRecord::head() const {
    std::array<uint8_t, kRecordHeadSize> out{};
    encode_head(*this, out);
    return out;
}

std::optional<RecordError> check_record_size(uint32_t announced) {
    if (announced < kMinSmsRecordSize)
        return RecordError::TooShort;
    if (announced > kMaxSmsRecordSize)
        return RecordError::TooLarge;
    if (announced % 2 != 0)
        return RecordError::OddSize;
    return std::nullopt;
}

std::string_view record_error_text(RecordError e) {
    switch (e) {
        case RecordError::TooShort:
            return "record shorter than 70 bytes";
        case RecordError::OddSize:
            return "record size is odd";
        case RecordError::TooLarge:
            return "record larger than 1 MiB";
        case RecordError::SizeMismatch:
            return "record size field differs from its length prefix";
        case RecordError::NoTerminator:
            return "record text has no terminator";
    }
    return "bad record";
}

SmsWireRecord decode_record_head(std::span<const uint8_t, kRecordHeadSize> head) {
    SmsWireRecord r;
    std::copy_n(head.begin() + wire_offset::kAddress, kTextFieldSize, r.address.begin());
    r.time = get_u64le(head, wire_offset::kTime);
    r.message_class = head[wire_offset::kClass];
    std::copy_n(head.begin() + wire_offset::kEntryId, kEntryIdSize, r.entry_id.begin());
    r.flags = get_u32le(head, wire_offset::kFlags);
    return r;
}

// The index of the first zero unit, or text.size(). Looks at four units a
// word: every received text is scanned, and unit by unit this was most of a
// folder's decoding.
static size_t find_terminator(std::u16string_view text) {
    constexpr uint64_t kOnes = 0x0001'0001'0001'0001ULL;
    constexpr uint64_t kHighs = 0x8000'8000'8000'8000ULL;
    size_t i = 0;
    for (; i + 4 <= text.size(); i += 4) {
        uint64_t word = 0;
        std::memcpy(&word, text.data() + i, sizeof word);
        if (((word - kOnes) & ~word & kHighs) != 0)
            break;  // a zero unit among these four
    }
    while (i < text.size() && text[i] != u'\0')
        ++i;
    return i;
}

DecodedRecord decode_sms_record(std::span<const uint8_t> bytes) {
    if (bytes.size() > UINT32_MAX)
        return {std::nullopt, RecordError::TooLarge};
    if (auto e = check_record_size(static_cast<uint32_t>(bytes.size())))
        return {std::nullopt, *e};
    if (get_u32le(bytes, wire_offset::kSize) != bytes.size()) {
        return {std::nullopt, RecordError::SizeMismatch};
    }
    // The units as they stand (the size was checked above, so this holds at
    // most the largest record), then cut at the terminator.
    const size_t units = (bytes.size() - wire_offset::kText) / 2;
    SmsWireRecord r = decode_record_head(bytes.first<kRecordHeadSize>());
    r.text.resize(units);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(r.text.data(), bytes.data() + wire_offset::kText, 2 * units);
    } else {
        for (size_t i = 0; i < units; ++i)
            r.text[i] = static_cast<char16_t>(get_u16le(bytes, wire_offset::kText + 2 * i));
    }
    const size_t length = find_terminator(r.text);
    if (length == r.text.size())
        return {std::nullopt, RecordError::NoTerminator};
    r.text.resize(length);
    return {std::move(r), std::nullopt};
}

WriteSmsRequest encode_write_sms(const SmsWireRecord& record) {
    WriteSmsRequest request;
    const CommandBlock block = block_with_head(CommandCode::WRITESMS, record);
    request.block = block.encode();
    const std::vector<uint8_t> bytes = record.encode();
    request.second_piece.assign(request.block.begin(), request.block.begin() + kWriteSmsPrefixSize);
    request.second_piece.insert(request.second_piece.end(), bytes.begin(), bytes.end());
    return request;
}

CommandBlock block_with_head(CommandCode code, const SmsWireRecord& record) {
    CommandBlock block = CommandBlock::with_code(code);
    block.payload = record.head();
    return block;
}

std::array<uint8_t, kContactRecordSize> ContactWireRecord::encode() const {
    std::array<uint8_t, kContactRecordSize> out{};
    std::copy(name.begin(), name.end(), out.begin());
    std::copy(number.begin(), number.end(), out.begin() + kTextFieldSize);
    return out;
}

ContactWireRecord ContactWireRecord::decode(std::span<const uint8_t, kContactRecordSize> bytes) {
    ContactWireRecord r;
    std::copy_n(bytes.begin(), kTextFieldSize, r.name.begin());
    std::copy_n(bytes.begin() + kTextFieldSize, kTextFieldSize, r.number.begin());
    return r;
}

bool ContactWireRecord::is_end_marker() const {
    const auto zero = [](char b) { return b == '\0'; };
    return std::all_of(name.begin(), name.end(), zero) &&
           std::all_of(number.begin(), number.end(), zero);
}

bool ContactWireRecord::is_blank() const {
    return name[0] == '\0' && number[0] == '\0';
}

WriteMessagesRequest encode_write_messages(WriteTarget target,
                                           std::span<const SmsWireRecord> records) {
    WriteMessagesRequest request;
    for (const SmsWireRecord& r : records) {
        const size_t at = request.records.size();
        request.records.resize(at + 4);
        put_u32le(request.records, at, r.size());
        r.append_to(request.records);
    }
    CommandBlock block = CommandBlock::with_code(CommandCode::WRITEMESSAGES);
    block.index = static_cast<int32_t>(target);
    put_u32le(block.payload, 0, static_cast<uint32_t>(records.size()));
    put_u32le(block.payload, 4, static_cast<uint32_t>(request.records.size()));
    request.block = block.encode();
    return request;
}

WriteBatchHead decode_write_batch_head(const CommandBlock& block) {
    return {get_u32le(block.payload, 0), get_u32le(block.payload, 4)};
}

std::optional<std::vector<SmsWireRecord>> decode_message_batch(std::span<const uint8_t> bytes,
                                                               uint32_t count) {
    std::vector<SmsWireRecord> records;
    records.reserve(std::min(count, kMaxWriteBatch));
    size_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (bytes.size() - at < 4)
            return std::nullopt;
        const uint32_t size = get_u32le(bytes, at);
        at += 4;
        if (check_record_size(size) || bytes.size() - at < size)
            return std::nullopt;
        DecodedRecord decoded = decode_sms_record(bytes.subspan(at, size));
        if (!decoded.record)
            return std::nullopt;
        records.push_back(std::move(*decoded.record));
        at += size;
    }
    if (at != bytes.size())
        return std::nullopt;
    return records;
}

WriteContactsRequest encode_write_contacts(ContactTarget target,
                                           std::span<const ContactWireRecord> contacts) {
    WriteContactsRequest request;
    request.records.reserve(contacts.size() * kContactRecordSize);
    for (const ContactWireRecord& c : contacts) {
        const auto bytes = c.encode();
        request.records.insert(request.records.end(), bytes.begin(), bytes.end());
    }
    CommandBlock block = CommandBlock::with_code(CommandCode::WRITECONTACTS);
    block.index = static_cast<int32_t>(target);
    put_u32le(block.payload, 0, static_cast<uint32_t>(contacts.size()));
    put_u32le(block.payload, 4, static_cast<uint32_t>(request.records.size()));
    request.block = block.encode();
    return request;
}

}  // namespace quillet
