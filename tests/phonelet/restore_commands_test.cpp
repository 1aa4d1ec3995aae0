// The restore commands from the real agent: what it knows, messages written
// into the phone's folders as the phone keeps them, contacts into the
// phone's contacts and its SIM, and batches it cannot trust.
#include <gtest/gtest.h>

#include "protocol/byte_order.h"
#include "tests/phonelet/agent_harness.h"

namespace quillet::testing {
namespace {

SmsWireRecord restored(std::string_view address, FileTime time, uint32_t flags,
                       std::u16string text) {
    SmsWireRecord r;
    set_text_field(r.address, address);
    r.time = time;
    r.flags = flags;
    r.text = std::move(text);
    return r;
}

ContactWireRecord contact(std::string_view name, std::string_view number) {
    ContactWireRecord c;
    set_text_field(c.name, name);
    set_text_field(c.number, number);
    return c;
}

class RestoreCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(desktop.start_agent()); }
    // Sends a WRITEMESSAGES and returns its reply bytes.
    std::vector<uint8_t> write(WriteTarget target, const std::vector<SmsWireRecord>& records) {
        const WriteMessagesRequest request = encode_write_messages(target, records);
        desktop.send(request.block);
        desktop.send(request.records);
        return desktop.read(records.size() * kWrittenMessageReplySize);
    }
    std::vector<uint8_t> write(ContactTarget target, const std::vector<ContactWireRecord>& cs) {
        const WriteContactsRequest request = encode_write_contacts(target, cs);
        desktop.send(request.block);
        desktop.send(request.records);
        return desktop.read(cs.size());
    }
    TestDesktop desktop;
};

TEST_F(RestoreCommandsTest, KnownCommandsAreEveryCodeButResetcomm) {
    desktop.send_block(CommandCode::READCOMMANDS);
    EXPECT_EQ(desktop.read_int32(), kCommandsMarker);
    EXPECT_EQ(static_cast<uint32_t>(desktop.read_int32()),
              kCommandsBeforeRestore | command_bit(CommandCode::READCOMMANDS) |
                  command_bit(CommandCode::WRITEMESSAGES) |
                  command_bit(CommandCode::WRITECONTACTS));
    EXPECT_TRUE(desktop.store().screen().empty());
}

// Each lands in its folder with its time, read state and correspondent,
// under an entry id the store gave it, and reads back as it was written.
TEST_F(RestoreCommandsTest, MessagesLandInTheirFolderAndTravelBackAsWritten) {
    const FileTime t1 = filetime_from_unix(1'767'225'600);
    const FileTime t2 = t1 + 60 * kTicksPerSecond;
    const std::vector<SmsWireRecord> inbox = {restored("+491701", t1, 1, u"hello \u00e9"),
                                              restored("Bank", t2, 0, u"")};
    const std::vector<SmsWireRecord> sent = {restored("+491702", t2, 1, u"on my way")};
    const std::vector<uint8_t> in_reply = write(WriteTarget::Inbox, inbox);
    const std::vector<uint8_t> sent_reply = write(WriteTarget::SentItems, sent);

    auto store = desktop.store();
    const auto in_rows = store.messages(*store.folder(phone::FolderRole::Inbox), true);
    const auto sent_rows = store.messages(*store.folder(phone::FolderRole::SentItems), true);
    ASSERT_EQ(in_rows.size(), 2u);
    ASSERT_EQ(sent_rows.size(), 1u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(in_reply[i * kWrittenMessageReplySize], kReplySent);
        EXPECT_EQ(std::vector<uint8_t>(in_reply.begin() + i * kWrittenMessageReplySize + 1,
                                       in_reply.begin() + (i + 1) * kWrittenMessageReplySize),
                  in_rows[i].entry_id);
    }
    EXPECT_EQ(in_rows[0].sender, u"+491701");
    EXPECT_EQ(in_rows[0].flags, phone::kFlagRead);
    EXPECT_EQ(in_rows[0].delivery_time, t1);
    EXPECT_EQ(in_rows[1].flags, 0u);
    EXPECT_EQ(sent_rows[0].recipients.at(0).email, u"+491702");
    EXPECT_EQ(sent_reply[0], kReplySent);

    desktop.send_block(CommandCode::READINBOX);
    const auto records = desktop.read_folder_reply();
    ASSERT_EQ(records.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        SmsWireRecord expected = inbox[i];
        std::copy_n(in_rows[i].entry_id.begin(), kEntryIdSize, expected.entry_id.begin());
        EXPECT_EQ(records[i], expected.encode()) << i;
    }
    desktop.send_block(CommandCode::READSENT);
    SmsWireRecord expected = sent[0];
    std::copy_n(sent_rows[0].entry_id.begin(), kEntryIdSize, expected.entry_id.begin());
    EXPECT_EQ(desktop.read_folder_reply(), std::vector<std::vector<uint8_t>>{expected.encode()});
}

// A batch whose records do not add up is refused whole, and the link stays
// in step; one whose count or length no batch can have ends the link.
TEST_F(RestoreCommandsTest, BatchesThatBreakTheRules) {
    WriteMessagesRequest bad = encode_write_messages(
        WriteTarget::Inbox, std::vector{restored("+1", 1, 0, u"a"), restored("+2", 2, 0, u"b")});
    put_u32le(bad.records, 0, 71);  // an odd size inside
    desktop.send(bad.block);
    desktop.send(bad.records);
    EXPECT_EQ(desktop.read(2 * kWrittenMessageReplySize)[0], kReplyFailed);
    const std::vector<uint8_t> other_folder =
        write(static_cast<WriteTarget>(2), {restored("+3", 3, 0, u"c")});
    EXPECT_EQ(other_folder[0], kReplyFailed);
    EXPECT_EQ(desktop.store().message_count(desktop.store().folder(phone::FolderRole::Inbox)->id),
              0);

    CommandBlock too_many = CommandBlock::with_code(CommandCode::WRITEMESSAGES);
    put_u32le(too_many.payload, 0, kMaxWriteBatch + 1);
    desktop.send_block(too_many);
    EXPECT_TRUE(desktop.connection_closed());
}

TEST_F(RestoreCommandsTest, ContactsIntoThePhoneAndOntoTheSimUntilItIsFull) {
    {
        auto store = desktop.store();
        store.set_sim_size(3);
        store.set_sim_entry({2, u"Taken", u"+2"});
    }
    EXPECT_EQ(write(ContactTarget::PhoneContacts,
                    {contact("Anna,Berg", "+4917"), contact("Solo", "+33")}),
              (std::vector<uint8_t>{kReplySent, kReplySent}));
    EXPECT_EQ(
        write(ContactTarget::Sim, {contact("A", "+1"), contact("C", "+3"), contact("D", "+4")}),
        (std::vector<uint8_t>{kReplySent, kReplySent, kReplyFailed}));

    auto store = desktop.store();
    const auto contacts = store.contacts();
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0].first_name, u"Anna");
    EXPECT_EQ(contacts[0].last_name, u"Berg");
    EXPECT_EQ(contacts[0].mobile, u"+4917");
    EXPECT_EQ(contacts[1].first_name, u"Solo");
    const auto sim = store.sim_entries();
    ASSERT_EQ(sim.size(), 3u);
    EXPECT_EQ(sim[0].name, u"A");
    EXPECT_EQ(sim[1].name, u"Taken");
    EXPECT_EQ(sim[2].number, u"+3");
}

}  // namespace
}  // namespace quillet::testing
