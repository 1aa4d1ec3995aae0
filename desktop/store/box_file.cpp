#include "box_file.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>

#include "desktop/store/file_reader.h"
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

// The index of the first zero unit, or the number of units. Looks at four
// units at a time: a text is searched for every message at every start.
size_t first_nul_unit(std::span<const uint8_t> bytes) {
    constexpr uint64_t kLow = 0x0001000100010001ULL;
    constexpr uint64_t kHigh = 0x8000800080008000ULL;
    const size_t units = bytes.size() / 2;
    size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 4 <= units; i += 4) {
            uint64_t x = 0;
            std::memcpy(&x, bytes.data() + 2 * i, sizeof x);
            // The lowest flag marks the first zero unit exactly (a borrow
            // can only raise flags above a zero unit).
            const uint64_t zero_flags = (x - kLow) & ~x & kHigh;
            if (zero_flags != 0)
                return i + static_cast<size_t>(std::countr_zero(zero_flags)) / 16;
        }
    }
    for (; i < units; ++i) {
        if (bytes[2 * i] == 0 && bytes[2 * i + 1] == 0)
            return i;
    }
    return units;
}

// Text units of a 1.10 record, up to the first NUL: one allocation and,
// on a little-endian machine, one block copy.
std::u16string decode_text(std::span<const uint8_t> bytes) {
    const size_t units = first_nul_unit(bytes);
    std::u16string out(units, u'\0');
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out.data(), bytes.data(), 2 * units);
    } else {
        for (size_t i = 0; i < units; ++i)
            out[i] = static_cast<char16_t>(get_u16le(bytes, 2 * i));
    }
    return out;
}

// Text taken up to the first zero byte, at most `limit` bytes.
std::string_view bounded_text(std::span<const uint8_t> bytes, size_t limit) {
    const auto* data = reinterpret_cast<const char*>(bytes.data());
    const std::string_view all(data, std::min(bytes.size(), limit));
    return all.substr(0, std::min(all.size(), all.find('\0')));
}

// One version 1.10 record, or why there is none.
template <typename Reader>
std::optional<std::string> read_record_110(Reader& in, SmsMessage& m) {
    const auto length_bytes = in.take(4);
    if (!length_bytes)
        return "the file ends inside the record";
    const uint32_t length = get_u32le(*length_bytes, 0);
    if (length > in.left())
        return "its text length is larger than the rest of the file";
    const size_t tail_size = kBoxRecordFixedSize - 4;
    const auto rest = in.take(length + tail_size);
    if (!rest)
        return "the file ends inside the record";
    const auto text = rest->first(length);
    const auto tail = rest->subspan(length);
    m.take_text(decode_text(text));
    m.set_number_raw(bounded_text(tail, kTextFieldSize - 1));
    m.set_time(get_u64le(tail, kTextFieldSize));
    m.set_message_class(tail[kTextFieldSize + 8]);
    m.set_read(tail[kTextFieldSize + 9]);
    m.set_on_phone(tail[kTextFieldSize + 10]);
    EntryId id{};
    std::copy_n(tail.begin() + kTextFieldSize + 11, kEntryIdSize, id.begin());
    m.set_entry_id(id);
    return std::nullopt;
}

// One version 1.00 record. Its scans stop at the end of the file. Each piece
// is used before the next is taken.
template <typename Reader>
std::optional<std::string> read_record_100(Reader& in, SmsMessage& m) {
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
    m.set_text(from_ansi(bounded_text(*text, kBox100TextBlock - 1)));
    for (;;) {
        const auto b = in.byte();
        if (!b)
            return std::string(kEnds);
        if (*b == '+' || (*b >= '0' && *b <= '9') || *b == 0 || *b == ' ')
            break;
    }
    const auto number = in.take(kTextFieldSize);
    if (!number)
        return std::string(kEnds);
    m.set_number_raw(bounded_text(*number, kTextFieldSize - 1));
    const auto rest = in.take(8 + 1 + 1);
    if (!rest)
        return std::string(kEnds);
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

template <typename Reader>
DecodedBox decode_box(Reader& in) {
    DecodedBox box;
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
    for (size_t i = 0; i < count; ++i) {
        SmsMessage& m = box.messages.emplace_back();
        auto damage =
            box.version == BoxFileVersion::V110 ? read_record_110(in, m) : read_record_100(in, m);
        if (damage) {
            box.messages.pop_back();
            box.damage = record_damage(i, *damage) + " (" + std::to_string(i) + " of " +
                         std::to_string(count) + " records kept)";
            return box;
        }
    }
    return box;
}

}  // namespace

DecodedBox decode_box_file(std::span<const uint8_t> bytes) {
    ByteReader in(bytes);
    return decode_box(in);
}

std::optional<DecodedBox> read_box_file(const std::filesystem::path& path, std::string& error,
                                        size_t chunk) {
    FileReader in(path, chunk);
    if (!in.ok()) {
        error = in.error();
        return std::nullopt;
    }
    DecodedBox box = decode_box(in);
    if (!in.error().empty())
        box.damage += " (" + in.error() + ")";
    return box;
}

namespace {

constexpr size_t kWriteChunk = 256 * 1024;

std::u16string_view stored_text(const SmsMessage& m) {
    const std::u16string_view t = m.text_view();
    return t.substr(0, std::min(t.size(), t.find(u'\0')));
}

// Writes one record at `out`, which has room for it; returns its end.
uint8_t* put_record(uint8_t* out, const SmsMessage& m, std::u16string_view text) {
    const std::span<uint8_t> record(out, kBoxRecordFixedSize + 2 * (text.size() + 1));
    size_t pos = 0;
    put_u32le(record, pos, static_cast<uint32_t>(2 * (text.size() + 1)));
    pos += 4;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(record.data() + pos, text.data(), 2 * text.size());
    } else {
        for (size_t i = 0; i < text.size(); ++i)
            put_u16le(record, pos + 2 * i, text[i]);
    }
    pos += 2 * text.size();
    put_u16le(record, pos, 0);  // terminator
    pos += 2;
    const TextField& number = m.number_field();
    std::copy(number.begin(), number.end(), record.begin() + static_cast<ptrdiff_t>(pos));
    pos += kTextFieldSize;
    put_u64le(record, pos, m.time());
    pos += 8;
    record[pos++] = m.message_class();
    record[pos++] = m.read();
    record[pos++] = m.on_phone();
    const EntryId& id = m.entry_id();
    std::copy(id.begin(), id.end(), record.begin() + static_cast<ptrdiff_t>(pos));
    return out + record.size();
}

}  // namespace

bool write_box_file(int32_t sort_column, int32_t sort_order, std::span<const SmsMessage> messages,
                    const ChunkWriter& write) {
    std::vector<uint8_t> buffer(kWriteChunk);
    std::copy(kBoxHeader110.begin(), kBoxHeader110.end(), buffer.begin());
    put_i32le(buffer, 20, sort_column);
    put_i32le(buffer, 24, sort_order);
    put_i32le(buffer, 28, static_cast<int32_t>(messages.size()));
    size_t used = kBoxPreambleSize;
    for (const SmsMessage& m : messages) {
        const std::u16string_view text = stored_text(m);
        const size_t size = kBoxRecordFixedSize + 2 * (text.size() + 1);
        if (used + size > buffer.size()) {
            if (!write(std::span<const uint8_t>(buffer.data(), used)))
                return false;
            used = 0;
            if (size > buffer.size())
                buffer.resize(size);
        }
        used = static_cast<size_t>(put_record(buffer.data() + used, m, text) - buffer.data());
    }
    return write(std::span<const uint8_t>(buffer.data(), used));
}

std::vector<uint8_t> encode_box_file(int32_t sort_column, int32_t sort_order,
                                     std::span<const SmsMessage> messages) {
    size_t total = kBoxPreambleSize;
    for (const SmsMessage& m : messages)
        total += kBoxRecordFixedSize + 2 * (stored_text(m).size() + 1);
    std::vector<uint8_t> out;
    out.reserve(total);
    write_box_file(sort_column, sort_order, messages, [&](std::span<const uint8_t> piece) {
        out.insert(out.end(), piece.begin(), piece.end());
        return true;
    });
    return out;
}

}  // namespace quillet
