#include "box_file.h"

#include <algorithm>
#include <optional>

#include "protocol/byte_order.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

// Reads forward through the file's bytes; every take is checked against
// what is left.
class ByteReader {
  public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t left() const { return bytes_.size() - pos_; }
    bool at_end() const { return pos_ == bytes_.size(); }

    std::optional<std::span<const uint8_t>> take(size_t n) {
        if (n > left())
            return std::nullopt;
        const auto piece = bytes_.subspan(pos_, n);
        pos_ += n;
        return piece;
    }
    std::optional<uint8_t> byte() {
        if (at_end())
            return std::nullopt;
        return bytes_[pos_++];
    }

  private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

std::string record_damage(size_t index, std::string_view what) {
    return "record " + std::to_string(index + 1) + ": " + std::string(what);
}

TextField text_field_of(std::span<const uint8_t> bytes) {
    TextField field{};
    std::copy_n(bytes.begin(), kTextFieldSize, field.begin());
    return field;
}

// Text units of a 1.10 record, up to the first NUL.
void decode_text(std::span<const uint8_t> bytes, std::u16string& out) {
    out.clear();
    const size_t units = bytes.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        const auto c = static_cast<char16_t>(get_u16le(bytes, 2 * i));
        if (c == u'\0')
            break;
        out.push_back(c);
    }
}

// One version 1.10 record, or why there is none.
std::optional<std::string> read_record_110(ByteReader& in, std::u16string& scratch, SmsMessage& m) {
    const auto length_bytes = in.take(4);
    if (!length_bytes)
        return "the file ends inside the record";
    const uint32_t length = get_u32le(*length_bytes, 0);
    if (length > in.left())
        return "its text length is larger than the rest of the file";
    const auto text = in.take(length);
    const auto tail = in.take(kBoxRecordFixedSize - 4);
    if (!tail)
        return "the file ends inside the record";
    decode_text(*text, scratch);
    m.set_text(scratch);
    m.set_number_raw(text_field(text_field_of(*tail)));
    m.set_time(get_u64le(*tail, kTextFieldSize));
    m.set_message_class((*tail)[kTextFieldSize + 8]);
    m.set_read((*tail)[kTextFieldSize + 9]);
    m.set_on_phone((*tail)[kTextFieldSize + 10]);
    EntryId id{};
    std::copy_n(tail->begin() + kTextFieldSize + 11, kEntryIdSize, id.begin());
    m.set_entry_id(id);
    return std::nullopt;
}

// Text taken up to the first zero byte, at most `limit` bytes.
std::string_view bounded_text(std::span<const uint8_t> bytes, size_t limit) {
    const auto* data = reinterpret_cast<const char*>(bytes.data());
    const std::string_view all(data, std::min(bytes.size(), limit));
    return all.substr(0, std::min(all.size(), all.find('\0')));
}

// One version 1.00 record. Its scans stop at the end of the file.
std::optional<std::string> read_record_100(ByteReader& in, SmsMessage& m) {
    constexpr std::string_view kEnds = "the file ends inside the record";
    if (!in.byte())
        return std::string(kEnds);
    for (;;) {
        const auto b = in.byte();
        if (!b)
            return std::string(kEnds);
        if (*b == 0)
            break;
    }
    const auto text = in.take(kBox100TextBlock);
    if (!text)
        return std::string(kEnds);
    for (;;) {
        const auto b = in.byte();
        if (!b)
            return std::string(kEnds);
        if (*b == '+' || (*b >= '0' && *b <= '9') || *b == 0 || *b == ' ')
            break;
    }
    const auto number = in.take(kTextFieldSize);
    const auto rest = in.take(8 + 1 + 1);
    if (!number || !rest)
        return std::string(kEnds);
    m.set_text(from_ansi(bounded_text(*text, kBox100TextBlock - 1)));
    m.set_number_raw(bounded_text(*number, kTextFieldSize - 1));
    m.set_time(get_u64le(*rest, 0));
    m.set_message_class((*rest)[8]);
    m.set_read((*rest)[9] == 0 ? 1 : 0);
    m.set_on_phone(0);
    m.set_entry_id(EntryId{});
    return std::nullopt;
}

BoxFileVersion version_of(std::span<const uint8_t> header) {
    const std::string_view text(reinterpret_cast<const char*>(header.data()), header.size());
    if (text == kBoxHeader110)
        return BoxFileVersion::V110;
    if (text == kBoxHeader100)
        return BoxFileVersion::V100;
    return BoxFileVersion::Unknown;
}

// The smallest record each version can have: what bounds the reservation.
size_t smallest_record(BoxFileVersion v) {
    return v == BoxFileVersion::V110 ? kBoxRecordFixedSize + 2 : 1 + 1 + kBox100TextBlock + 1 + 42;
}

}  // namespace

DecodedBox decode_box_file(std::span<const uint8_t> bytes) {
    DecodedBox box;
    ByteReader in(bytes);
    const auto header = in.take(kBoxHeaderSize);
    if (!header) {
        box.damage = "the file is shorter than its header";
        return box;
    }
    box.version = version_of(*header);
    if (box.version == BoxFileVersion::Unknown)
        return box;
    const auto preamble = in.take(kBoxPreambleSize - kBoxHeaderSize);
    if (!preamble) {
        box.damage = "the file ends inside its header";
        return box;
    }
    box.sort_column = get_i32le(*preamble, 0);
    box.sort_order = get_i32le(*preamble, 4);
    box.declared_count = get_i32le(*preamble, 8);
    if (box.declared_count <= 0)
        return box;

    const auto count = static_cast<size_t>(box.declared_count);
    box.messages.reserve(std::min(count, in.left() / smallest_record(box.version)));
    std::u16string scratch;
    for (size_t i = 0; i < count; ++i) {
        SmsMessage m;
        auto damage = box.version == BoxFileVersion::V110 ? read_record_110(in, scratch, m)
                                                          : read_record_100(in, m);
        if (damage) {
            box.damage = record_damage(i, *damage) + " (" + std::to_string(i) + " of " +
                         std::to_string(count) + " records kept)";
            return box;
        }
        box.messages.push_back(std::move(m));
    }
    return box;
}

std::vector<uint8_t> encode_box_file(int32_t sort_column, int32_t sort_order,
                                     std::span<const SmsMessage> messages) {
    const auto text_of = [](const SmsMessage& m) {
        const std::u16string_view t = m.text_view();
        return t.substr(0, std::min(t.size(), t.find(u'\0')));
    };
    size_t total = kBoxPreambleSize;
    for (const SmsMessage& m : messages)
        total += kBoxRecordFixedSize + 2 * (text_of(m).size() + 1);

    std::vector<uint8_t> out(total, 0);
    std::copy(kBoxHeader110.begin(), kBoxHeader110.end(), out.begin());
    put_i32le(out, 20, sort_column);
    put_i32le(out, 24, sort_order);
    put_i32le(out, 28, static_cast<int32_t>(messages.size()));
    size_t pos = kBoxPreambleSize;
    for (const SmsMessage& m : messages) {
        const std::u16string_view text = text_of(m);
        put_u32le(out, pos, static_cast<uint32_t>(2 * (text.size() + 1)));
        pos += 4;
        for (char16_t c : text) {
            out[pos++] = static_cast<uint8_t>(c);
            out[pos++] = static_cast<uint8_t>(c >> 8);
        }
        pos += 2;  // terminator
        const TextField& number = m.number_field();
        std::copy(number.begin(), number.end(), out.begin() + static_cast<ptrdiff_t>(pos));
        pos += kTextFieldSize;
        put_u64le(out, pos, m.time());
        pos += 8;
        out[pos++] = m.message_class();
        out[pos++] = m.read();
        out[pos++] = m.on_phone();
        const EntryId& id = m.entry_id();
        std::copy(id.begin(), id.end(), out.begin() + static_cast<ptrdiff_t>(pos));
        pos += kEntryIdSize;
    }
    return out;
}

}  // namespace quillet
