// The box file: one message box on disk ("inbox1.sms", "sent1.sms",
// "deleted1.sms"). The single place in code for its bytes; doc/box_file.md
// describes the same layout in prose. All integers little-endian.
//
// Version 1.10 (the only one written)
//   0  20  header "quillet version 1.10", no terminator
//  20   4  sort_column, int32
//  24   4  sort_order, int32
//  28   4  count of records, int32
//  32  ..  count records, back to back, in box order
//
// Record 1.10 (63 + L bytes)
//   0       4   L, uint32: text bytes, terminator included = 2 * (units + 1)
//   4       L   text, UTF-16LE, NUL-terminated
//   4 + L  32   number, 8-bit text, NUL-terminated
//  36 + L   8   time, FILETIME
//  44 + L   1   message class
//  45 + L   1   read
//  46 + L   1   on_phone
//  47 + L  16   entry id
//
// Version 1.00 (read only) has the same 32-byte preamble under the header
// "quillet version 1.00"; its records are read by a scan described in
// doc/box_file.md (8-bit text of at most 159 characters, a number, a time, a
// class byte and an unread byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/store/safe_file.h"
#include "desktop/store/sms_message.h"

namespace quillet {

inline constexpr std::string_view kBoxHeader100 = "quillet version 1.00";
inline constexpr std::string_view kBoxHeader110 = "quillet version 1.10";
inline constexpr size_t kBoxHeaderSize = 20;
inline constexpr size_t kBoxPreambleSize = 32;  // header, sort column, sort order, count
// A 1.10 record without its text: L, number, time, class, read, on_phone, entry id.
inline constexpr size_t kBoxRecordFixedSize = 4 + kTextFieldSize + 8 + 1 + 1 + 1 + kEntryIdSize;
// The 1.00 text block and its longest text.
inline constexpr size_t kBox100TextBlock = 160;

static_assert(kBoxHeader100.size() == kBoxHeaderSize);
static_assert(kBoxHeader110.size() == kBoxHeaderSize);
static_assert(kBoxRecordFixedSize == 63);

enum class BoxFileVersion { V100, V110, Unknown };

// What a box file held. A file that breaks off keeps every record read
// completely before the break. Records are read on to the end of the file
// whatever the count says; a count that differs from the records found is
// damage too (the records are all kept). The texts of version 1.10 records stay in the
// block the file was read into (see MessageText); when the records kept span
// less than half of it (a file damaged early), each text is copied out
// instead, so a few messages never hold a large block.
struct DecodedBox {
    BoxFileVersion version = BoxFileVersion::Unknown;
    int32_t sort_column = -1;
    int32_t sort_order = -1;
    int32_t declared_count = 0;
    std::vector<SmsMessage> messages;
    // Empty when the file was whole; otherwise why the reading stopped.
    std::string damage;
};

// Decodes a whole box file. Never reads past `bytes` and never allocates
// more than the bytes can hold, whatever the count and length fields say.
// An unknown header gives version Unknown and no messages.
DecodedBox decode_box_file(std::span<const uint8_t> bytes);

// The largest box file read: about ten million messages.
inline constexpr uint64_t kMaxBoxFileSize = uint64_t{2} << 30;

// Reads the box file at `path` with one read and decodes it as
// decode_box_file does its bytes. nullopt when it cannot be opened or read,
// is not a regular file, or is larger than kMaxBoxFileSize; `error` says why.
std::optional<DecodedBox> read_box_file(const std::filesystem::path& path, std::string& error);

// The version 1.10 bytes of a box. Texts are written up to their first NUL
// (an absent text is written as empty).
std::vector<uint8_t> encode_box_file(int32_t sort_column, int32_t sort_order,
                                     std::span<const SmsMessage> messages);
// The same bytes handed to `write` in pieces of a few hundred KiB, so a large
// box needs no buffer of its whole size. False when a write failed.
bool write_box_file(int32_t sort_column, int32_t sort_order, std::span<const SmsMessage> messages,
                    const ChunkWriter& write);

}  // namespace quillet
