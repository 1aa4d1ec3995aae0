// The link between the desktop program and the phone agent.
//
// One TCP connection on port 12121: the desktop listens, the agent connects.
// The desktop sends fixed 80-byte command blocks; the agent answers each one
// completely before it reads the next. All integers are little-endian.
//
// CommandBlock (80 bytes)
//   0  int32   code
//   4  int32   index (reserved indexed reads, codes 2 and 4)
//   8  4       unused, zero
//  12  68      payload: the head of an SmsWireRecord (WRITESMS, DEL*)
//
// SmsWireRecord (70 + 2n bytes, n = UTF-16 units of the text)
//   0  uint32  size = 70 + 2n
//   4  32      address, 8-bit text, NUL-terminated (at most 31 bytes)
//  36  8       time, FILETIME, low half first
//  44  1       message class (0..3; others mean 1)
//  45  3       unused, zero
//  48  16      entry id (first 16 bytes of the phone's entry identifier)
//  64  uint32  message flags (non-zero = read)
//  68  2n+2    text, UTF-16LE, NUL-terminated
//
// ContactWireRecord (64 bytes): name (32 bytes), number (32 bytes), both
// 8-bit text. 64 zero bytes end a contact list.
//
// Restoring (codes 14 to 16, which older agents do not know):
//   READCOMMANDS reply: int32 -1 (never a count), uint32 bit n = code n known
//   WRITEMESSAGES block: index 0 Inbox / 1 Sent Items, payload uint32 count
//     n (1..1000) and uint32 bytes B (at most 16 MiB); then B bytes of n
//     (int32 size, SmsWireRecord); reply n x (1 byte O/F, 16 bytes entry id)
//   WRITECONTACTS block: index 0 phone contacts / 1 SIM, payload uint32 count
//     n (1..1000) and uint32 bytes 64n; then n ContactWireRecords; reply n
//     bytes O/F
//
// See doc/wire_format.md for every command and its reply.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

inline constexpr uint16_t kLinkPort = 12121;

enum class CommandCode : int32_t {
    WRITESMS = 0,
    READNCON = 1,
    READCON = 2,
    READNSMS = 3,
    READSMS = 4,
    SMSSENTINEL = 5,
    RESETCOMM = 6,
    READALLCON = 7,
    READINBOX = 8,
    DELINBOX = 9,
    DELSENT = 10,
    DELDELETED = 11,
    READSENT = 12,
    READDELETED = 13,
    READCOMMANDS = 14,
    WRITEMESSAGES = 15,
    WRITECONTACTS = 16,
};
// How many command codes there are: one past the highest.
inline constexpr size_t kCommandCodeCount = static_cast<size_t>(CommandCode::WRITECONTACTS) + 1;
// The codes an agent from before restoring answers: 0 to 5 and 7 to 13.
inline constexpr uint32_t kCommandsBeforeRestore = 0x3FBF;
inline constexpr uint32_t command_bit(CommandCode c) {
    return uint32_t{1} << static_cast<uint32_t>(c);
}
// The first four bytes of the READCOMMANDS reply: no count is negative, so
// the desktop tells it from the reply to the command it sends next.
inline constexpr int32_t kCommandsMarker = -1;
// The most records and bytes one WRITEMESSAGES or WRITECONTACTS carries.
inline constexpr uint32_t kMaxWriteBatch = 1000;
inline constexpr uint32_t kMaxWriteBatchBytes = 16 * 1024 * 1024;
// Per message of WRITEMESSAGES: the reply byte and the new entry id.
inline constexpr size_t kWrittenMessageReplySize = 17;

inline constexpr size_t kCommandBlockSize = 80;
inline constexpr size_t kRecordHeadSize = 68;
inline constexpr size_t kMinSmsRecordSize = 70;
// No honest record comes near this; anything larger means the stream is broken.
inline constexpr size_t kMaxSmsRecordSize = 1024 * 1024;
// The longest text such a record carries, in UTF-16 units (524,253).
inline constexpr size_t kMaxSmsTextUnits = (kMaxSmsRecordSize - kMinSmsRecordSize) / 2;
// The most records a folder reply may announce.
inline constexpr int32_t kMaxFolderCount = 1'000'000;
inline constexpr size_t kWriteSmsPrefixSize = 12;
inline constexpr size_t kContactRecordSize = 64;
inline constexpr size_t kTextFieldSize = 32;
inline constexpr size_t kEntryIdSize = 16;
inline constexpr uint8_t kReplySent = 'O';
inline constexpr uint8_t kReplyFailed = 'F';

namespace wire_offset {
inline constexpr size_t kSize = 0;
inline constexpr size_t kAddress = 4;
inline constexpr size_t kTime = 36;
inline constexpr size_t kClass = 44;
inline constexpr size_t kEntryId = 48;
inline constexpr size_t kFlags = 64;
inline constexpr size_t kText = 68;
inline constexpr size_t kBlockPayload = 12;
}  // namespace wire_offset

static_assert(wire_offset::kBlockPayload + kRecordHeadSize == kCommandBlockSize);
static_assert(wire_offset::kText == kRecordHeadSize);
static_assert(wire_offset::kFlags + 4 == kRecordHeadSize);
static_assert(2 * kTextFieldSize == kContactRecordSize);

using TextField = std::array<char, kTextFieldSize>;
using EntryId = std::array<uint8_t, kEntryIdSize>;

// Stores `text` in a fixed field: at most 31 bytes, NUL-terminated, rest zero.
void set_text_field(TextField& field, std::string_view text);
// The field's text up to its terminator; at most 31 bytes even when a
// hostile field has no terminator.
std::string_view text_field(const TextField& field);

struct CommandBlock {
    int32_t code = 0;
    int32_t index = 0;
    std::array<uint8_t, kRecordHeadSize> payload{};

    static CommandBlock with_code(CommandCode c);
    std::array<uint8_t, kCommandBlockSize> encode() const;
    static CommandBlock decode(std::span<const uint8_t, kCommandBlockSize> bytes);
};

struct SmsWireRecord {
    TextField address{};
    uint64_t time = 0;
    uint8_t message_class = 0;
    EntryId entry_id{};
    uint32_t flags = 0;
    std::u16string text;

    // 70 + 2n; what the size field and the length prefix carry.
    uint32_t size() const;
    std::vector<uint8_t> encode() const;
    // The same bytes appended to `out`, so that a reply of many records is
    // built in one buffer.
    void append_to(std::vector<uint8_t>& out) const;
    std::array<uint8_t, kRecordHeadSize> head() const;
};

enum class RecordError {
    TooShort,      // fewer than 70 bytes
    OddSize,       // the size is not even
    TooLarge,      // more than kMaxSmsRecordSize
    SizeMismatch,  // the size field differs from the announced size
    NoTerminator,  // the text has no terminator inside the record
};

// Decodes one record of exactly bytes.size() bytes (the announced size).
// A record that breaks any rule is reported, never read past: exactly one of
// `record` and `error` is set.
struct DecodedRecord {
    std::optional<SmsWireRecord> record;
    std::optional<RecordError> error;
};
DecodedRecord decode_sms_record(std::span<const uint8_t> bytes);
// Checks an announced size before anything is allocated for it.
std::optional<RecordError> check_record_size(uint32_t announced);
std::string_view record_error_text(RecordError e);

// Decodes the 68-byte head of a record (the payload of WRITESMS and DEL*).
// The text is not part of the head and stays empty.
SmsWireRecord decode_record_head(std::span<const uint8_t, kRecordHeadSize> head);

// WRITESMS goes out as two pieces: the 80-byte block with the record's head
// as payload, then the block's first 12 bytes followed by the whole record.
struct WriteSmsRequest {
    std::array<uint8_t, kCommandBlockSize> block{};
    std::vector<uint8_t> second_piece;
};
WriteSmsRequest encode_write_sms(const SmsWireRecord& record);

// A command block whose payload is the head of `record` (DELINBOX and the
// other deletes).
CommandBlock block_with_head(CommandCode code, const SmsWireRecord& record);

// Which phone list WRITEMESSAGES and WRITECONTACTS write into (the block's
// index).
enum class WriteTarget : int32_t { Inbox = 0, SentItems = 1 };
enum class ContactTarget : int32_t { PhoneContacts = 0, Sim = 1 };

// WRITEMESSAGES: the block (count and byte length in the payload) and the
// records, each after its int32 size. `records` holds 1 to kMaxWriteBatch
// records of at most kMaxWriteBatchBytes together.
struct WriteMessagesRequest {
    std::array<uint8_t, kCommandBlockSize> block{};
    std::vector<uint8_t> records;
};
WriteMessagesRequest encode_write_messages(WriteTarget target,
                                           std::span<const SmsWireRecord> records);
// The count and byte length a WRITEMESSAGES or WRITECONTACTS block announces.
struct WriteBatchHead {
    uint32_t count = 0;
    uint32_t bytes = 0;
};
WriteBatchHead decode_write_batch_head(const CommandBlock& block);
// The records of a WRITEMESSAGES body of exactly `count` size-prefixed
// records; none when any breaks the record rules or the bytes do not add up.
std::optional<std::vector<SmsWireRecord>> decode_message_batch(std::span<const uint8_t> bytes,
                                                               uint32_t count);

struct ContactWireRecord {
    TextField name{};
    TextField number{};

    std::array<uint8_t, kContactRecordSize> encode() const;
    static ContactWireRecord decode(std::span<const uint8_t, kContactRecordSize> bytes);
    // All 64 bytes zero: the end of a contact list.
    bool is_end_marker() const;
    // Both fields empty: no contact, whatever bytes follow the terminators.
    bool is_blank() const;
};

// WRITECONTACTS: the block with the count, then the records.
struct WriteContactsRequest {
    std::array<uint8_t, kCommandBlockSize> block{};
    std::vector<uint8_t> records;
};
WriteContactsRequest encode_write_contacts(ContactTarget target,
                                           std::span<const ContactWireRecord> contacts);

}  // namespace quillet
