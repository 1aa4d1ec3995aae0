#include "box_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

// The SSE2 scans, unless QUILLET_PORTABLE_SCAN asks for the portable ones
// (the asan preset does, so that the tests cover both).
#if defined(__SSE2__) && !defined(QUILLET_PORTABLE_SCAN)
#define QUILLET_SSE2_SCAN 1
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "desktop/store/read_ahead.h"
#include "desktop/store/unique_fd.h"
#include "protocol/byte_order.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

// The bytes of a box file, held in a block of UTF-16 units so that the
// texts can stay in it (MessageText shares the block). As the records are
// decoded, their texts are packed one after another at the block's front;
// what lies after the last text is then given back (give_back_unused), so a
// box holds its texts and not the records' other bytes a second time.
struct FileBlock {
    std::shared_ptr<char16_t[]> units;
    size_t size = 0;    // bytes
    size_t packed = 0;  // bytes of texts packed at the front; always even

    explicit FileBlock(size_t bytes)
        : units(std::make_shared_for_overwrite<char16_t[]>(bytes / 2 + 1)), size(bytes) {}
    // Bytes may be read and written through unsigned char.
    uint8_t* bytes() const { return reinterpret_cast<uint8_t*>(units.get()); }

    // The whole pages after the packed texts are returned to the system;
    // nothing reads them again, and a page touched later is simply zero.
    void give_back_unused() const {
        const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        const auto first = (reinterpret_cast<uintptr_t>(bytes()) + packed + page - 1) / page * page;
        const auto end = (reinterpret_cast<uintptr_t>(bytes()) + size) / page * page;
        if (end > first)
            ::madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
    }
};

// Reads forward through a box file as it arrives in its block (see
// ReadAhead); every take is checked against what is left.
class BlockReader {
  public:
    // The first `filled` bytes of `block` are there already; the rest arrive
    // through `ahead`.
    BlockReader(const FileBlock& block, size_t filled, ReadAhead* ahead = nullptr)
        : block_(block), filled_(filled), ahead_(ahead) {}

    size_t left() const { return block_.size - pos_; }
    size_t position() const { return pos_; }

    std::optional<std::span<uint8_t>> take(size_t n) {
        if (n > left())
            return std::nullopt;
        if (n > filled_ - pos_) {
            if (ahead_ != nullptr)
                filled_ = ahead_->wait_for(pos_ + n);
            if (n > filled_ - pos_)
                return std::nullopt;  // a read failed, or the file shrank
        }
        const std::span<uint8_t> piece(block_.bytes() + pos_, n);
        pos_ += n;
        return piece;
    }
    std::optional<uint8_t> byte() {
        const auto piece = take(1);
        return piece ? std::optional((*piece)[0]) : std::nullopt;
    }

  private:
    const FileBlock& block_;
    size_t filled_;
    ReadAhead* ahead_;
    size_t pos_ = 0;
};

std::string record_damage(size_t index, std::string_view what) {
    return "record " + std::to_string(index + 1) + ": " + std::string(what);
}

// The index of the first zero unit, or the number of units. Looks at eight
// units at a time where the processor can: every text is searched at every
// start, and this is most of the decoding's own work.
size_t first_nul_unit(std::span<const uint8_t> bytes) {
    const size_t units = bytes.size() / 2;
    size_t i = 0;
#if defined(QUILLET_SSE2_SCAN)
    const auto zero_units_at = [&](size_t at) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + 2 * at));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(x, _mm_setzero_si128())));
    };
    if (units >= 8) {
        for (; i + 8 <= units; i += 8) {
            if (const unsigned zeros = zero_units_at(i); zeros != 0)
                return i + static_cast<size_t>(std::countr_zero(zeros)) / 2;
        }
        // The last eight units, overlapping units already known not to be zero.
        if (i < units) {
            if (const unsigned zeros = zero_units_at(units - 8); zeros != 0)
                return units - 8 + static_cast<size_t>(std::countr_zero(zeros)) / 2;
        }
        return units;
    }
#endif
    for (; i < units; ++i) {
        if (bytes[2 * i] == 0 && bytes[2 * i + 1] == 0)
            return i;
    }
    return units;
}

// Makes the text of a 1.10 record, up to its first NUL, a MessageText in
// the file's block: moved back to the end of the texts packed so far, which
// lies before it (every record holds more than its text) and on a unit. On
// a big-endian machine its units are also turned into native order.
MessageText text_in_block(FileBlock& block, std::span<uint8_t> text) {
    const size_t units = first_nul_unit(text);
    const size_t at = block.packed;
    std::memmove(block.bytes() + at, text.data(), 2 * units);
    block.packed += 2 * units;
    if constexpr (std::endian::native != std::endian::little) {
        const uint8_t* bytes = block.bytes() + at;
        char16_t* first = block.units.get() + at / 2;
        for (size_t i = 0; i < units; ++i)
            first[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return MessageText(block.units, at / 2, units);
}

// Text taken up to the first zero byte, at most `limit` bytes.
std::string_view bounded_text(std::span<const uint8_t> bytes, size_t limit) {
    const auto* data = reinterpret_cast<const char*>(bytes.data());
    const std::string_view all(data, std::min(bytes.size(), limit));
    return all.substr(0, std::min(all.size(), all.find('\0')));
}

// A stored number field as the message keeps it: up to its first zero byte
// (at most 31 bytes), zeros after. Done without a search call where the
// processor can: it is part of every record.
TextField number_field(std::span<const uint8_t, kTextFieldSize> bytes) {
    TextField field{};
#if defined(QUILLET_SSE2_SCAN)
    static_assert(kTextFieldSize == 32);
    const auto* at = reinterpret_cast<const __m128i*>(bytes.data());
    const __m128i low = _mm_loadu_si128(at);
    const __m128i high = _mm_loadu_si128(at + 1);
    const __m128i zero = _mm_setzero_si128();
    const auto zeros = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, zero))) |
                       static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, zero))) << 16 |
                       uint32_t{1} << 31;  // the last byte is always the end
    const auto length = static_cast<char>(std::countr_zero(zeros));
    // Bytes at an index below the length are kept, the others cleared.
    const __m128i index_low = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i index_high = _mm_add_epi8(index_low, _mm_set1_epi8(16));
    const __m128i keep = _mm_set1_epi8(length);
    auto* out = reinterpret_cast<__m128i*>(field.data());
    _mm_storeu_si128(out, _mm_and_si128(low, _mm_cmpgt_epi8(keep, index_low)));
    _mm_storeu_si128(out + 1, _mm_and_si128(high, _mm_cmpgt_epi8(keep, index_high)));
#else
    const std::string_view number = bounded_text(bytes, kTextFieldSize - 1);
    std::copy(number.begin(), number.end(), field.begin());
#endif
    return field;
}

// One version 1.10 record appended to `out`, or why there is none.
std::optional<std::string> read_record_110(BlockReader& in, FileBlock& block,
                                           std::vector<SmsMessage>& out) {
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
    const auto tail = rest->subspan(length);
    EntryId id;
    std::copy_n(tail.begin() + kTextFieldSize + 11, kEntryIdSize, id.begin());
    // The text is made last: it may move over bytes before it, never over the tail.
    out.emplace_back(MessageText(), number_field(tail.first<kTextFieldSize>()),
                     get_u64le(tail, kTextFieldSize), tail[kTextFieldSize + 8],
                     tail[kTextFieldSize + 9], tail[kTextFieldSize + 10], id);
    out.back().set_text(text_in_block(block, rest->first(length)));
    return std::nullopt;
}

// One version 1.00 record. Its scans stop at the end of the file. Each piece
// is used before the next is taken.
std::optional<std::string> read_record_100(BlockReader& in, std::vector<SmsMessage>& out) {
    constexpr std::string_view kEnds = "the file ends inside the record";
    SmsMessage m;
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
    out.push_back(std::move(m));
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

// A block whose records were mostly not kept (a file damaged early) is not
// held for the sake of a few texts: each takes a copy of its own.
void release_block_if_mostly_unused(DecodedBox& box, size_t decoded_bytes, size_t block_bytes) {
    if (2 * decoded_bytes >= block_bytes)
        return;
    for (SmsMessage& m : box.messages)
        m.set_text(m.text_view());
}

// Decodes the file arriving in `block` through `in`; 1.10 texts are moved
// within the block.
DecodedBox decode_block(FileBlock& block, BlockReader& in) {
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

    // The count is a hint, not a limit: every complete record in the file is
    // read, so that a wrong count (zero, negative, too small) loses nothing
    // at the next save. A count that does not match is reported as damage.
    const size_t count = box.declared_count > 0 ? static_cast<size_t>(box.declared_count) : 0;
    box.messages.reserve(std::min(count, in.left() / smallest_record(box.version)));
    size_t decoded = in.position();  // end of the last record kept
    for (size_t i = 0; i < count || in.left() > 0; ++i) {
        auto damage = box.version == BoxFileVersion::V110 ? read_record_110(in, block, box.messages)
                                                          : read_record_100(in, box.messages);
        if (damage) {
            box.damage = record_damage(i, *damage) + " (" + std::to_string(i) +
                         (i < count ? " of " + std::to_string(count) : std::string()) +
                         " records kept)";
            break;
        }
        decoded = in.position();
    }
    if (box.damage.empty() && static_cast<int64_t>(box.messages.size()) != box.declared_count) {
        box.damage = "the file says it holds " + std::to_string(box.declared_count) +
                     " records but holds " + std::to_string(box.messages.size()) +
                     "; all of them were read";
    }
    if (box.version == BoxFileVersion::V110)
        release_block_if_mostly_unused(box, decoded, block.size);
    return box;
}

}  // namespace

DecodedBox decode_box_file(std::span<const uint8_t> bytes) {
    FileBlock block(bytes.size());
    std::copy(bytes.begin(), bytes.end(), block.bytes());
    BlockReader in(block, block.size);
    DecodedBox box = decode_block(block, in);
    block.give_back_unused();
    return box;
}

std::optional<DecodedBox> read_box_file(const std::filesystem::path& path, std::string& error) {
    const UniqueFd fd = open_for_reading(path);
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
        return std::nullopt;
    }
    if (static_cast<uint64_t>(st.st_size) > kMaxBoxFileSize) {
        error = "the file is larger than " + std::to_string(kMaxBoxFileSize >> 30) + " GiB";
        return std::nullopt;
    }
    FileBlock block(static_cast<size_t>(st.st_size));
    DecodedBox box;
    {
        ReadAhead ahead(fd.get(), block.bytes(), block.size);
        BlockReader in(block, 0, &ahead);
        box = decode_block(block, in);
        if (!ahead.error().empty())
            box.damage += " (" + ahead.error() + ")";
    }  // the reader has stopped writing into the block
    block.give_back_unused();
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
