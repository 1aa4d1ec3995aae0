// Golden bytes of the link's records and the decoder's answer to damage.
#include "protocol/wire_format.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/byte_order.h"

namespace quillet {
namespace {

SmsWireRecord two_char_record() {
    SmsWireRecord r;
    set_text_field(r.address, "+4912345");
    r.time = 0x0102030405060708ULL;
    r.message_class = 1;
    for (uint8_t i = 0; i < kEntryIdSize; ++i)
        r.entry_id[i] = static_cast<uint8_t>(0xA0 + i);
    r.flags = 0;
    r.text = u"Hi";
    return r;
}

TEST(SmsWireRecordTest, TwoCharacterTextIs74BytesWithTerminatorAtTheEnd) {
    const std::vector<uint8_t> bytes = two_char_record().encode();
    ASSERT_EQ(bytes.size(), 74u);
    EXPECT_EQ((std::vector<uint8_t>{bytes.begin(), bytes.begin() + 4}),
              (std::vector<uint8_t>{0x4A, 0x00, 0x00, 0x00}));
    EXPECT_EQ(bytes[4], '+');
    EXPECT_EQ(bytes[12], 0);  // address terminator
    EXPECT_EQ(get_u64le(bytes, 36), 0x0102030405060708ULL);
    EXPECT_EQ(bytes[36], 0x08);  // low half first
    EXPECT_EQ(bytes[44], 1);
    EXPECT_EQ(bytes[45] | bytes[46] | bytes[47], 0);
    EXPECT_EQ(bytes[48], 0xA0);
    EXPECT_EQ(bytes[63], 0xAF);
    EXPECT_EQ(get_u32le(bytes, 64), 0u);
    EXPECT_EQ(bytes[68], 'H');
    EXPECT_EQ(bytes[69], 0);
    EXPECT_EQ(bytes[70], 'i');
    EXPECT_EQ(bytes[71], 0);
    EXPECT_EQ(bytes[72], 0);
    EXPECT_EQ(bytes[73], 0);
}

TEST(SmsWireRecordTest, EmptyTextIs70BytesEndingInTheTerminator) {
    SmsWireRecord r;
    const std::vector<uint8_t> bytes = r.encode();
    ASSERT_EQ(bytes.size(), 70u);
    EXPECT_EQ(get_u32le(bytes, 0), 70u);
    EXPECT_EQ(bytes[68], 0);
    EXPECT_EQ(bytes[69], 0);
}

TEST(SmsWireRecordTest, RoundTripKeepsEveryField) {
    SmsWireRecord r = two_char_record();
    r.flags = 1024;
    r.text = u"Gr\u00FC\u00DFe \u20AC\nzweite Zeile";
    const std::vector<uint8_t> bytes = r.encode();
    const DecodedRecord d = decode_sms_record(bytes);
    ASSERT_TRUE(d.record);
    EXPECT_FALSE(d.error);  // a good record carries no error
    EXPECT_EQ(text_field(d.record->address), "+4912345");
    EXPECT_EQ(d.record->time, r.time);
    EXPECT_EQ(d.record->message_class, 1);
    EXPECT_EQ(d.record->entry_id, r.entry_id);
    EXPECT_EQ(d.record->flags, 1024u);
    EXPECT_EQ(d.record->text, r.text);
}

TEST(SmsWireRecordTest, WriteSmsPutsTheHeadTwiceOn166Bytes) {
    const SmsWireRecord r = two_char_record();
    const WriteSmsRequest request = encode_write_sms(r);
    EXPECT_EQ(request.block.size() + request.second_piece.size(), 166u);
    EXPECT_EQ(get_i32le(request.block, 0), 0);
    const std::vector<uint8_t> record = r.encode();
    // The block carries the record's first 68 bytes at offset 12 ...
    EXPECT_TRUE(std::equal(record.begin(), record.begin() + 68, request.block.begin() + 12));
    // ... and the second piece the block's first 12 bytes, then the whole record.
    EXPECT_TRUE(std::equal(request.block.begin(), request.block.begin() + 12,
                           request.second_piece.begin()));
    EXPECT_TRUE(std::equal(record.begin(), record.end(), request.second_piece.begin() + 12));
}

TEST(SmsWireRecordTest, AddressOf31CharactersFitsAndALongerOneIsCut) {
    SmsWireRecord r;
    const std::string address31(31, '7');
    set_text_field(r.address, address31);
    EXPECT_EQ(text_field(r.address), address31);
    set_text_field(r.address, address31 + "89");
    EXPECT_EQ(text_field(r.address), address31);
    EXPECT_EQ(r.address[31], '\0');
}

TEST(SmsWireRecordTest, FieldWithoutTerminatorReadsAsAtMost31Bytes) {
    TextField hostile;
    hostile.fill('x');
    EXPECT_EQ(text_field(hostile).size(), 31u);
}

// Each damaged record is refused with its own reason and never read past.
TEST(SmsWireRecordDecodeTest, DamagedRecordsAreRefused) {
    const std::vector<uint8_t> good = two_char_record().encode();

    std::vector<uint8_t> short_record(good.begin(), good.begin() + 69);
    EXPECT_EQ(decode_sms_record(short_record).error, RecordError::TooShort);
    EXPECT_FALSE(decode_sms_record(short_record).record);

    std::vector<uint8_t> odd = good;
    odd.push_back(0);
    put_u32le(odd, 0, 75);
    EXPECT_EQ(decode_sms_record(odd).error, RecordError::OddSize);

    std::vector<uint8_t> mismatch = good;
    put_u32le(mismatch, 0, 76);
    EXPECT_EQ(decode_sms_record(mismatch).error, RecordError::SizeMismatch);

    std::vector<uint8_t> unterminated = good;
    unterminated[72] = 'x';
    EXPECT_EQ(decode_sms_record(unterminated).error, RecordError::NoTerminator);
    EXPECT_FALSE(decode_sms_record(unterminated).record);

    EXPECT_EQ(decode_sms_record({}).error, RecordError::TooShort);
}

TEST(SmsWireRecordDecodeTest, AnnouncedSizesAreCheckedBeforeAllocation) {
    EXPECT_FALSE(check_record_size(70));
    EXPECT_FALSE(check_record_size(kMaxSmsRecordSize));
    EXPECT_EQ(check_record_size(0), RecordError::TooShort);
    EXPECT_EQ(check_record_size(69), RecordError::TooShort);
    EXPECT_EQ(check_record_size(71), RecordError::OddSize);
    EXPECT_EQ(check_record_size(kMaxSmsRecordSize + 2), RecordError::TooLarge);
    EXPECT_EQ(check_record_size(0xFFFFFFFFu), RecordError::TooLarge);
}

TEST(SmsWireRecordDecodeTest, TextStopsAtAnEarlyTerminator) {
    std::vector<uint8_t> bytes = two_char_record().encode();
    bytes[70] = 0;  // "H\0\0"
    const DecodedRecord d = decode_sms_record(bytes);
    ASSERT_TRUE(d.record);
    EXPECT_EQ(d.record->text, u"H");
}

TEST(CommandBlockTest, EncodesCodeIndexAndPayload) {
    CommandBlock b = CommandBlock::with_code(CommandCode::READCON);
    b.index = 7;
    b.payload[0] = 0x55;
    b.payload[67] = 0x66;
    const auto bytes = b.encode();
    EXPECT_EQ(get_i32le(bytes, 0), 2);
    EXPECT_EQ(get_i32le(bytes, 4), 7);
    EXPECT_EQ(get_i32le(bytes, 8), 0);
    EXPECT_EQ(bytes[12], 0x55);
    EXPECT_EQ(bytes[79], 0x66);
    const CommandBlock back = CommandBlock::decode(bytes);
    EXPECT_EQ(back.code, 2);
    EXPECT_EQ(back.index, 7);
    EXPECT_EQ(back.payload, b.payload);
}

TEST(CommandBlockTest, DeleteCarriesTheEntryIdAtOffset60) {
    const SmsWireRecord r = two_char_record();
    const auto bytes = block_with_head(CommandCode::DELINBOX, r).encode();
    EXPECT_EQ(get_i32le(bytes, 0), 9);
    EXPECT_TRUE(std::equal(r.entry_id.begin(), r.entry_id.end(), bytes.begin() + 60));
    const SmsWireRecord head = decode_record_head(CommandBlock::decode(bytes).payload);
    EXPECT_EQ(head.entry_id, r.entry_id);
    EXPECT_EQ(text_field(head.address), "+4912345");
}

TEST(ContactWireRecordTest, EndMarkerIs64ZeroBytes) {
    const ContactWireRecord end;
    EXPECT_TRUE(end.is_end_marker());
    const auto bytes = end.encode();
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0), 64);

    ContactWireRecord name_only;
    set_text_field(name_only.name, "Anna");
    EXPECT_FALSE(name_only.is_end_marker());
    ContactWireRecord number_only;
    set_text_field(number_only.number, "112");
    EXPECT_FALSE(number_only.is_end_marker());

    // Both fields empty, a byte left after a terminator: no contact, but
    // not the end of the list either.
    std::array<uint8_t, 64> leftover{};
    leftover[40] = 'x';
    const ContactWireRecord blank = ContactWireRecord::decode(leftover);
    EXPECT_TRUE(blank.is_blank());
    EXPECT_FALSE(blank.is_end_marker());
    EXPECT_TRUE(end.is_blank());
}

TEST(ContactWireRecordTest, RoundTripPutsNumberAtOffset32) {
    ContactWireRecord c;
    set_text_field(c.name, "Doe,John");
    set_text_field(c.number, "+44 20 7946 0958");
    const auto bytes = c.encode();
    EXPECT_EQ(bytes[0], 'D');
    EXPECT_EQ(bytes[32], '+');
    const ContactWireRecord back = ContactWireRecord::decode(bytes);
    EXPECT_EQ(text_field(back.name), "Doe,John");
    EXPECT_EQ(text_field(back.number), "+44 20 7946 0958");
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

// WRITEMESSAGES: count and length at offsets 12 and 16 of the block, every
// record after its size; a body that does not add up is refused whole.
TEST(WriteMessagesTest, BatchLayoutAndBodiesThatDoNotAddUp) {
    SmsWireRecord a;
    set_text_field(a.address, "+1");
    a.text = u"hi";
    SmsWireRecord b = a;
    b.text = u"";
    const WriteMessagesRequest r = encode_write_messages(WriteTarget::SentItems, std::vector{a, b});
    EXPECT_EQ(get_i32le(r.block, 0), 15);
    EXPECT_EQ(get_i32le(r.block, 4), 1);
    EXPECT_EQ(get_u32le(r.block, 12), 2u);
    EXPECT_EQ(get_u32le(r.block, 16), 4u + 74u + 4u + 70u);
    ASSERT_EQ(r.records.size(), 152u);
    EXPECT_EQ(get_u32le(r.records, 0), 74u);
    EXPECT_EQ(get_u32le(r.records, 78), 70u);
    const auto decoded = decode_message_batch(r.records, 2);
    ASSERT_TRUE(decoded);
    EXPECT_EQ((*decoded)[0].text, u"hi");
    EXPECT_EQ((*decoded)[1].encode(), b.encode());

    std::vector<uint8_t> trailing = r.records;
    trailing.push_back(0);
    std::vector<uint8_t> lying = r.records;
    put_u32le(lying, 0, 76);  // the prefix differs from the record's size field
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        uint32_t count;
    } bad[] = {
        {"one record fewer than announced", r.records, 3},
        {"bytes after the last record", trailing, 2},
        {"a prefix that is not the record's size", lying, 2},
        {"cut inside a record", std::vector<uint8_t>(r.records.begin(), r.records.end() - 1), 2}};
    for (const auto& c : bad)
        EXPECT_FALSE(decode_message_batch(c.bytes, c.count)) << c.name;
}

}  // namespace
}  // namespace quillet
