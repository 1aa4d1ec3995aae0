// Folder reads, the sentinel and deletes, from the real agent over loopback.
#include <gtest/gtest.h>

#include <fstream>

#include "protocol/byte_order.h"
#include "protocol/text_codec.h"
#include "tests/phonelet/agent_harness.h"

namespace quillet::testing {
namespace {

using phone::FolderRole;

constexpr FileTime kT0 = 133'000'000'000'000'000ULL;
constexpr FileTime kSecond = 10'000'000;

class FolderTest : public ::testing::Test {
  protected:
    std::vector<uint8_t> add(FolderRole role, const phone::Message& m) {
        auto store = desktop.store();
        return store.add_message(*store.folder(role), m);
    }
    // The running agent's reply to a folder read, one record each.
    std::vector<std::vector<uint8_t>> folder_read(CommandCode command) {
        desktop.send_block(command);
        return desktop.read_folder_reply();
    }

    TestDesktop desktop;
};

TEST_F(FolderTest, EmptyInboxAnswersFourZeroBytesAndNothingElse) {
    ASSERT_TRUE(desktop.start_agent());
    desktop.send_block(CommandCode::READINBOX);
    EXPECT_EQ(desktop.read(4), std::vector<uint8_t>(4, 0));
    EXPECT_TRUE(desktop.silent_for(std::chrono::milliseconds(200)));
}

TEST_F(FolderTest, OnlyTextMessagesAreCountedAndSentOldestFirst) {
    // Added out of time order, with two rows that are not text messages.
    const auto c = add(FolderRole::Inbox, text_message(u"third", kT0 + 30 * kSecond, u"+3"));
    add(FolderRole::Inbox, text_message(u"picture", kT0 + 15 * kSecond, u"+9", u"IPM.MMS"));
    const auto a = add(FolderRole::Inbox, text_message(u"first", kT0 + 10 * kSecond, u"+1"));
    add(FolderRole::Inbox,
        text_message(u"report", kT0 + 5 * kSecond, u"+9", u"REPORT.IPM.SMSText.DR"));
    const auto b = add(FolderRole::Inbox,
                       text_message(u"second", kT0 + 20 * kSecond, u"+2", u"IPM.Note.Mobile"));
    ASSERT_TRUE(desktop.start_agent());
    const auto records = folder_read(CommandCode::READINBOX);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], record_bytes("+1", kT0 + 10 * kSecond, a, 0, u"first"));
    EXPECT_EQ(records[1], record_bytes("+2", kT0 + 20 * kSecond, b, 0, u"second"));
    EXPECT_EQ(records[2], record_bytes("+3", kT0 + 30 * kSecond, c, 0, u"third"));
}

TEST_F(FolderTest, RecordCarriesFlagsEntryIdAndExactLayout) {
    phone::Message m = text_message(u"hi", kT0, u"+491701234567");
    m.flags = phone::kFlagRead;
    const auto id = add(FolderRole::Inbox, m);
    ASSERT_TRUE(desktop.start_agent());
    desktop.send_block(CommandCode::READINBOX);
    EXPECT_EQ(desktop.read_int32(), 1);
    EXPECT_EQ(desktop.read_int32(), 74);
    const auto r = desktop.read(74);
    EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 4),
              (std::vector<uint8_t>{0x4A, 0, 0, 0}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[4])), "+491701234567");
    EXPECT_EQ(get_u64le(r, 36), kT0);
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 44, r.begin() + 48), std::vector<uint8_t>(4, 0));
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 48, r.begin() + 64), id);
    EXPECT_EQ(get_u32le(r, 64), phone::kFlagRead);
    EXPECT_EQ(get_u16le(r, 68), u'h');
    EXPECT_EQ(get_u16le(r, 70), u'i');
    EXPECT_EQ(get_u16le(r, 72), 0);
}

TEST_F(FolderTest, EmptySubjectTravelsAsBodyAndRecipients) {
    phone::Message m = text_message(u"", kT0, u"+490000000");
    m.body = u"body text";
    m.recipients = {{u"+33612345678", u"+33612345678"}, {u"+1999", u"+1999"}};
    const auto id = add(FolderRole::SentItems, m);
    phone::Message with_subject = text_message(u"subject wins", kT0 + kSecond, u"+4911");
    with_subject.body = u"ignored body";
    with_subject.recipients = {{u"+1", u"+1"}};
    const auto id2 = add(FolderRole::SentItems, with_subject);
    ASSERT_TRUE(desktop.start_agent());
    const auto records = folder_read(CommandCode::READSENT);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], record_bytes("+33612345678;+1999", kT0, id, 0, u"body text"));
    EXPECT_EQ(records[1], record_bytes("+4911", kT0 + kSecond, id2, 0, u"subject wins"));
}

TEST_F(FolderTest, RecipientWithSmsAddressGivesItsDisplayText) {
    phone::Message m = text_message(u"", kT0);
    m.body = u"x";
    m.recipients = {{u"+15551234567", u"SMS"}};
    const auto id = add(FolderRole::SentItems, m);
    phone::Message none = text_message(u"", kT0 + kSecond, u"+4400");
    none.body = u"no recipients";
    const auto id2 = add(FolderRole::SentItems, none);
    ASSERT_TRUE(desktop.start_agent());
    const auto records = folder_read(CommandCode::READSENT);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], record_bytes("+15551234567", kT0, id, 0, u"x"));
    // Without recipients the sender's address stays.
    EXPECT_EQ(records[1], record_bytes("+4400", kT0 + kSecond, id2, 0, u"no recipients"));
}

TEST_F(FolderTest, QuotedSenderYieldsTheBracketedAddress) {
    add(FolderRole::Inbox, text_message(u"a", kT0, u"\"Mobile Service\" <+4922112345>"));
    add(FolderRole::Inbox, text_message(u"b", kT0 + 1, u"\"No brackets\""));
    add(FolderRole::Inbox, text_message(u"c", kT0 + 2, u"\"Open\" <+4912"));
    ASSERT_TRUE(desktop.start_agent());
    const auto records = folder_read(CommandCode::READINBOX);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&records[0][4])), "+4922112345");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&records[1][4])), "\"No brackets\"");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&records[2][4])), "+4912");
}

TEST_F(FolderTest, AddressIsCutTo31BytesAndConvertedToTheCodePage) {
    add(FolderRole::Inbox, text_message(u"a", kT0, u"1234567890123456789012345678901"));
    add(FolderRole::Inbox, text_message(u"b", kT0 + 1, u"12345678901234567890123456789012345"));
    add(FolderRole::Inbox, text_message(u"c", kT0 + 2, u"Caf\u00e9 \u20ac"));
    ASSERT_TRUE(desktop.start_agent());
    const auto records = folder_read(CommandCode::READINBOX);
    ASSERT_EQ(records.size(), 3u);
    const auto address = [](const std::vector<uint8_t>& r) {
        return std::string(reinterpret_cast<const char*>(&r[4]));
    };
    EXPECT_EQ(address(records[0]), "1234567890123456789012345678901");
    EXPECT_EQ(address(records[1]), "1234567890123456789012345678901");
    EXPECT_EQ(address(records[2]), "Caf\xE9 \x80");
}

TEST_F(FolderTest, LongBodyTravelsWholeUpToTheLargestRecord) {
    std::u16string body;
    for (int i = 0; i < 5000; ++i)
        body += static_cast<char16_t>(u'a' + i % 26);
    phone::Message m = text_message(u"", kT0);
    m.body = body;
    // 255 bytes is not a whole number of units: 1020 bytes are four chunks
    // exactly, and the read must still end.
    phone::Message exact = text_message(u"", kT0 + 1);
    exact.body = std::u16string(510, u'\u20ac');
    // One unit more than a 1 MiB record holds: cut to fit, so the desktop
    // still takes it.
    constexpr size_t kMostUnits = (kMaxSmsRecordSize - kMinSmsRecordSize) / 2;
    phone::Message huge = text_message(u"", kT0 + 2);
    huge.body = std::u16string(kMostUnits + 1, u'x');
    huge.body->back() = u'y';
    add(FolderRole::Inbox, m);
    add(FolderRole::Inbox, exact);
    add(FolderRole::Inbox, huge);
    ASSERT_TRUE(desktop.start_agent());
    const auto records = folder_read(CommandCode::READINBOX);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].size(), 70u + 2 * body.size());
    const auto decoded = decode_sms_record(records[0]);
    ASSERT_TRUE(decoded.record);
    EXPECT_EQ(decoded.record->text, body);
    EXPECT_EQ(decode_sms_record(records[1]).record->text, exact.body);
    ASSERT_EQ(records[2].size(), kMaxSmsRecordSize);
    const auto cut = decode_sms_record(records[2]);
    ASSERT_TRUE(cut.record);
    EXPECT_EQ(cut.record->text, std::u16string(kMostUnits, u'x'));
}

TEST_F(FolderTest, MissingBodyGivesEmptyTextAndATrace) {
    const auto id = add(FolderRole::Inbox, text_message(u"", kT0, u"+1"));
    ASSERT_TRUE(desktop.start_agent());
    const auto records = folder_read(CommandCode::READINBOX);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], record_bytes("+1", kT0, id, 0, u""));
    desktop.close_connection();
    ASSERT_EQ(desktop.agent_exit(std::chrono::seconds(5)), 0);
    std::ifstream log(desktop.image() / "debug.log");
    std::string line;
    std::getline(log, line);
    EXPECT_EQ(line,
              "CEMAPI: FAILED(8004010f) at VOMAPIMessage:" + line.substr(line.rfind(':') + 1));
    EXPECT_FALSE(line.substr(line.rfind(':') + 1).empty());
}

TEST_F(FolderTest, EachFolderAnswersItsOwnCommand) {
    add(FolderRole::Inbox, text_message(u"in", kT0, u"+1"));
    add(FolderRole::SentItems, text_message(u"sent", kT0, u"+2"));
    add(FolderRole::DeletedItems, text_message(u"gone", kT0, u"+3"));
    auto store = desktop.store();
    store.add_message(store.ensure_folder("Drafts"), text_message(u"draft", kT0, u"+4"));
    ASSERT_TRUE(desktop.start_agent());
    for (auto [code, text] :
         {std::pair{CommandCode::READDELETED, u"gone"}, std::pair{CommandCode::READINBOX, u"in"},
          std::pair{CommandCode::READSENT, u"sent"}}) {
        const auto records = folder_read(code);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(decode_sms_record(records[0]).record->text, text);
    }
}

TEST_F(FolderTest, SentinelSendsTheNewestInboxMessage) {
    add(FolderRole::Inbox, text_message(u"old", kT0, u"+1"));
    const auto newest = add(FolderRole::Inbox, text_message(u"new", kT0 + 100, u"+2"));
    add(FolderRole::Inbox, text_message(u"middle", kT0 + 50, u"+3"));
    add(FolderRole::Inbox, text_message(u"newer but not text", kT0 + 200, u"+4", u"IPM.MMS"));
    ASSERT_TRUE(desktop.start_agent());
    desktop.send_block(CommandCode::SMSSENTINEL);
    EXPECT_EQ(desktop.read_int32(), 1);
    const auto expected = record_bytes("+2", kT0 + 100, newest, 0, u"new");
    EXPECT_EQ(desktop.read_int32(), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(desktop.read(expected.size()), expected);
}

TEST_F(FolderTest, SentinelOnEmptyInboxIsZeroEvenAfterReadingSentItems) {
    add(FolderRole::SentItems, text_message(u"sent", kT0, u"+2"));
    ASSERT_TRUE(desktop.start_agent());
    EXPECT_EQ(folder_read(CommandCode::READSENT).size(), 1u);
    desktop.send_block(CommandCode::SMSSENTINEL);
    EXPECT_EQ(desktop.read_int32(), 0);
    EXPECT_TRUE(desktop.silent_for(std::chrono::milliseconds(200)));
}

TEST_F(FolderTest, EachCommandSeesMessagesThatArrivedSinceThePrevious) {
    ASSERT_TRUE(desktop.start_agent());
    desktop.send_block(CommandCode::SMSSENTINEL);
    EXPECT_EQ(desktop.read_int32(), 0);
    const ToolResult r = run_tool(desktop.root(), {"deliver", "--from", "+4917", "--text",
                                                   "Grüße €", "--time", "2026-01-02T03:04:05Z"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    desktop.send_block(CommandCode::SMSSENTINEL);
    EXPECT_EQ(desktop.read_int32(), 1);
    const auto record = desktop.read(static_cast<size_t>(desktop.read_int32()));
    const auto decoded = decode_sms_record(record);
    ASSERT_TRUE(decoded.record);
    EXPECT_EQ(decoded.record->text, u"Grüße €");
    EXPECT_EQ(text_field(decoded.record->address), "+4917");
    EXPECT_EQ(decoded.record->flags, 0u);
    EXPECT_EQ(decoded.record->time, filetime_from_unix(1767323045));
}

// A store that breaks during the walk (later pages of the image damaged)
// must not give the desktop a folder cut short that reads as whole: the
// agent ends the connection instead.
TEST_F(FolderTest, StoreFailingDuringTheWalkEndsTheConnection) {
    constexpr int kRows = 3000;
    const std::u16string subject = u"Row " + std::u16string(200, u'x');
    std::vector<phone::Message> rows;
    for (int i = 0; i < kRows; ++i)
        rows.push_back(text_message(subject, kT0 + i * kSecond, u"+1"));
    {
        auto store = desktop.store();
        store.add_messages(*store.folder(FolderRole::Inbox), rows);
    }
    const auto db = desktop.image() / "phone.db";
    const auto size = std::filesystem::file_size(db);
    {
        // Each page of the range gets an impossible page type.
        std::fstream file(db, std::ios::in | std::ios::out | std::ios::binary);
        for (auto at = (size / 2) & ~uintmax_t{4095}; at < size * 4 / 5; at += 4096) {
            file.seekp(static_cast<std::streamoff>(at));
            file.write("\xff\xff\xff\xff\xff\xff\xff\xff", 8);
        }
    }
    ASSERT_TRUE(desktop.start_agent());
    desktop.send_block(CommandCode::READINBOX);
    size_t received = 0;
    for (;;) {
        ASSERT_FALSE(desktop.silent_for(std::chrono::seconds(10)))
            << "the agent neither answered nor ended the connection";
        if (desktop.connection_closed())
            break;
        ++received;
    }
    const size_t whole = 4 + kRows * (4 + kMinSmsRecordSize + 2 * subject.size());
    EXPECT_LT(received, whole);
    EXPECT_EQ(desktop.agent_exit(std::chrono::seconds(5)), 0);
}

CommandBlock delete_block(CommandCode code, std::span<const uint8_t> entry_id) {
    SmsWireRecord r;
    std::copy_n(entry_id.begin(), kEntryIdSize, r.entry_id.begin());
    set_text_field(r.address, "ignored");
    return block_with_head(code, r);
}

TEST_F(FolderTest, DeleteRemovesExactlyTheNamedMessage) {
    const auto keep = add(FolderRole::Inbox, text_message(u"keep", kT0, u"+1"));
    const auto gone = add(FolderRole::Inbox, text_message(u"gone", kT0 + 1, u"+2"));
    ASSERT_TRUE(desktop.start_agent());
    desktop.send_block(delete_block(CommandCode::DELINBOX, gone));
    EXPECT_EQ(desktop.read(1), std::vector<uint8_t>{'O'});
    const auto records = folder_read(CommandCode::READINBOX);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], record_bytes("+1", kT0, keep, 0, u"keep"));
    auto store = desktop.store();
    EXPECT_FALSE(store.message(gone));
}

TEST_F(FolderTest, DeleteLooksOnlyInTheFolderItNames) {
    const auto in_inbox = add(FolderRole::Inbox, text_message(u"stay", kT0, u"+1"));
    const auto in_deleted = add(FolderRole::DeletedItems, text_message(u"bin", kT0, u"+1"));
    ASSERT_TRUE(desktop.start_agent());
    // The store reports an id it does not hold as a partial success.
    desktop.send_block(delete_block(CommandCode::DELSENT, in_inbox));
    EXPECT_EQ(desktop.read(1), std::vector<uint8_t>{'O'});
    desktop.send_block(delete_block(CommandCode::DELDELETED, in_deleted));
    EXPECT_EQ(desktop.read(1), std::vector<uint8_t>{'O'});
    auto store = desktop.store();
    EXPECT_TRUE(store.message(in_inbox));
    EXPECT_FALSE(store.message(in_deleted));
}

TEST_F(FolderTest, StoreThatCannotBeOpenedAnswersZeroAndF) {
    ASSERT_TRUE(desktop.start_agent(desktop.root() / "no-such-phone"));
    for (auto code : {CommandCode::READINBOX, CommandCode::READSENT, CommandCode::READDELETED,
                      CommandCode::SMSSENTINEL, CommandCode::READNSMS}) {
        desktop.send_block(code);
        EXPECT_EQ(desktop.read_int32(), 0) << static_cast<int>(code);
    }
    desktop.send_block(delete_block(CommandCode::DELINBOX, std::vector<uint8_t>(16, 1)));
    EXPECT_EQ(desktop.read(1), std::vector<uint8_t>{'F'});
    EXPECT_TRUE(desktop.silent_for(std::chrono::milliseconds(200)));
}

TEST_F(FolderTest, IndexedInboxCommandsAnswerCountAndRecord) {
    add(FolderRole::Inbox, text_message(u"b", kT0 + 2, u"+2"));
    const auto a = add(FolderRole::Inbox, text_message(u"a", kT0 + 1, u"+1"));
    add(FolderRole::Inbox, text_message(u"x", kT0, u"+9", u"IPM.MMS"));
    ASSERT_TRUE(desktop.start_agent());
    desktop.send_block(CommandCode::READNSMS);
    EXPECT_EQ(desktop.read_int32(), 2);
    desktop.send_block(CommandCode::READSMS, 0);
    const auto expected = record_bytes("+1", kT0 + 1, a, 0, u"a");
    EXPECT_EQ(desktop.read_int32(), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(desktop.read(expected.size()), expected);
    // Past the end (and below it) the reply is a size of 0 alone.
    desktop.send_block(CommandCode::READSMS, 2);
    EXPECT_EQ(desktop.read_int32(), 0);
    desktop.send_block(CommandCode::READSMS, -1);
    EXPECT_EQ(desktop.read_int32(), 0);
    EXPECT_TRUE(desktop.silent_for(std::chrono::milliseconds(200)));
}

}  // namespace
}  // namespace quillet::testing
