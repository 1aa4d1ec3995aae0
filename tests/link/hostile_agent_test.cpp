// An agent that breaks the link's rules: the test plays it on a real socket
// that the desktop accepted through its real set-up. Every broken reply must
// end in a clear exception, a closed connection and the records that came
// before it, never in a crash or an allocation the agent chose.
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/orx_exception.h"
#include "protocol/byte_order.h"
#include "tests/link/link_test_support.h"

namespace quillet {
namespace {

using test::Agent;
using test::FakeAgent;
using test::LinkWorld;
using test::thrown_text;

std::vector<uint8_t> record_bytes(std::u16string text, FileTime time = 1) {
    SmsWireRecord r;
    set_text_field(r.address, "+4912345");
    r.time = time;
    r.text = std::move(text);
    return r.encode();
}

void send_record(LinkSocket& s, const std::vector<uint8_t>& bytes) {
    test::send_int32(s, static_cast<int32_t>(bytes.size()));
    s.send_all(bytes);
}

class HostileAgentTest : public ::testing::Test {
  protected:
    void SetUp() override { world_.phone_ok({"init"}); }

    // Sets the link up with `script` playing the agent.
    void set_up(FakeAgent::Script script) {
        agent_ = std::make_unique<FakeAgent>(world_, std::move(script));
        ASSERT_EQ(link_.init(), 0);
        ASSERT_EQ(link_.state(), LinkState::CONNECTED);
    }
    // Ends the agent's script and returns whether it saw the desktop close.
    bool agent_saw_close() {
        agent_->join();
        return closed_;
    }

    LinkWorld world_{Agent::Played};
    SmartphoneSmsConnect link_{test::quick_settings()};
    std::unique_ptr<FakeAgent> agent_;
    std::atomic<bool> closed_{false};
};

struct FolderCase {
    const char* name;
    std::function<void(LinkSocket&)> reply;  // after the READINBOX block
    const char* text;                        // what the fetch throws
    size_t records_kept;
};

void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.name;
}

class HostileFolderReply : public HostileAgentTest,
                           public ::testing::WithParamInterface<FolderCase> {};

TEST_P(HostileFolderReply, ThrowsClosesAndKeepsWhatCameBefore) {
    const FolderCase& c = GetParam();
    set_up([&](LinkSocket& s) {
        if (test::read_command(s) != static_cast<int>(CommandCode::READINBOX))
            return;
        c.reply(s);
        closed_ = test::desktop_closed(s);
    });
    std::vector<SmsWireRecord> records;
    EXPECT_EQ(thrown_text([&] { link_.fetch_inbox(records); }), c.text);
    EXPECT_EQ(records.size(), c.records_kept);
    EXPECT_TRUE(agent_saw_close());

    // The connection is gone: nothing more goes out until a new set-up.
    const auto block = CommandBlock::with_code(CommandCode::READINBOX).encode();
    link_.lock();
    EXPECT_EQ(link_.send_data(block), -1);
    link_.unlock();
    EXPECT_EQ(thrown_text([&] { link_.fetch_inbox(records); }), "send_data socket error");
}

const FolderCase kFolderCases[] = {
    {"NegativeCount", [](LinkSocket& s) { test::send_int32(s, -1); },
     "receive_data: bad message count from device (-1)", 0},
    {"CountAboveAMillion", [](LinkSocket& s) { test::send_int32(s, 1'000'001); },
     "receive_data: bad message count from device (1000001)", 0},
    {"RecordShorterThanItsHead",
     [](LinkSocket& s) {
         test::send_int32(s, 1);
         test::send_int32(s, 12);
     },
     "receive_data: bad record from device: record shorter than 70 bytes (size 12)", 0},
    {"RecordOfTwoGigabytes",
     [](LinkSocket& s) {
         test::send_int32(s, 1);
         test::send_int32(s, INT32_MAX);
     },
     "receive_data: bad record from device: record larger than 1 MiB (size 2147483647)", 0},
    {"SizeFieldDisagreesWithPrefix",
     [](LinkSocket& s) {
         std::vector<uint8_t> bytes = record_bytes(u"hello");
         put_u32le(bytes, 0, 90);
         test::send_int32(s, 1);
         send_record(s, bytes);
     },
     "receive_data: bad record from device: record size field differs from its length prefix", 0},
    {"TextWithoutTerminator",
     [](LinkSocket& s) {
         std::vector<uint8_t> bytes = record_bytes(u"ab");
         bytes[72] = 'x';
         test::send_int32(s, 1);
         send_record(s, bytes);
     },
     "receive_data: bad record from device: record text has no terminator", 0},
    {"BadRecordAfterGoodOnes",
     [](LinkSocket& s) {
         test::send_int32(s, 4);
         send_record(s, record_bytes(u"one"));
         send_record(s, record_bytes(u"two"));
         test::send_int32(s, 2 * 1024 * 1024);
     },
     "receive_data: bad record from device: record larger than 1 MiB (size 2097152)", 2},
    {"AgentEndsInsideARecord",
     [](LinkSocket& s) {
         test::send_int32(s, 2);
         send_record(s, record_bytes(u"whole"));
         const std::vector<uint8_t> cut = record_bytes(u"cut short");
         test::send_int32(s, static_cast<int32_t>(cut.size()));
         s.send_all(std::span(cut).first(20));
         s.shutdown();
     },
     "receive_data socket error", 1},
};

INSTANTIATE_TEST_SUITE_P(Replies, HostileFolderReply, ::testing::ValuesIn(kFolderCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(HostileAgentTest, SentinelReplyOtherThanZeroOrOneIsRejected) {
    set_up([&](LinkSocket& s) {
        if (test::read_command(s) != static_cast<int>(CommandCode::SMSSENTINEL))
            return;
        test::send_int32(s, 7);
        closed_ = test::desktop_closed(s);
    });
    EXPECT_EQ(thrown_text([&] { link_.SentinelTick(true); }),
              "receive_data: bad sentinel reply from device (7)");
    EXPECT_TRUE(agent_saw_close());
}

TEST_F(HostileAgentTest, SentinelRecordOfHostileSizeIsRejected) {
    set_up([&](LinkSocket& s) {
        if (test::read_command(s) != static_cast<int>(CommandCode::SMSSENTINEL))
            return;
        test::send_int32(s, 1);
        test::send_int32(s, -70);
        closed_ = test::desktop_closed(s);
    });
    EXPECT_EQ(thrown_text([&] { link_.SentinelTick(false); }),
              "receive_data: bad record from device: record larger than 1 MiB (size 4294967226)");
    EXPECT_TRUE(agent_saw_close());
    EXPECT_EQ(link_.newest_seen(), 0u);
}

TEST_F(HostileAgentTest, EndlessContactListIsCutOff) {
    set_up([&](LinkSocket& s) {
        if (test::read_command(s) != static_cast<int>(CommandCode::READALLCON))
            return;
        ContactWireRecord c;
        set_text_field(c.name, "Spam");
        set_text_field(c.number, "666");
        const auto one = c.encode();
        std::vector<uint8_t> many;
        for (int i = 0; i < 4096; ++i)
            many.insert(many.end(), one.begin(), one.end());
        // Sends until the desktop stops reading.
        while (s.send_all(many)) {
        }
        closed_ = true;
    });
    std::vector<Contact> contacts;
    EXPECT_EQ(thrown_text([&] { link_.fetch_contacts(contacts, nullptr); }),
              "receive_data: too many contacts from device");
    EXPECT_EQ(contacts.size(), static_cast<size_t>(kMaxFolderCount));
    EXPECT_TRUE(agent_saw_close());
}

TEST_F(HostileAgentTest, ContactListEndsOnlyAtTheEndMarker) {
    set_up([&](LinkSocket& s) {
        if (test::read_command(s) != static_cast<int>(CommandCode::READALLCON))
            return;
        ContactWireRecord no_number, no_name, blank, full, unterminated;
        set_text_field(no_number.name, "Anna");
        set_text_field(no_name.number, "+111");
        // A SIM entry with both fields empty, as another agent sends it:
        // bytes left after the terminators make it no end marker.
        blank.name[5] = 'x';
        set_text_field(full.name, "Bob");
        set_text_field(full.number, "+222");
        unterminated.name.fill('N');  // no terminator: read as 31 characters
        set_text_field(unterminated.number, "+333");
        for (const auto& c : {no_number, no_name, blank, full, unterminated})
            s.send_all(c.encode());
        s.send_all(ContactWireRecord().encode());
        // The link stays in step: the next command is answered as usual.
        if (test::read_command(s) != static_cast<int>(CommandCode::READINBOX))
            return;
        test::send_int32(s, 0);
        closed_ = test::desktop_closed(s);
    });
    std::vector<Contact> contacts;
    EXPECT_EQ(link_.fetch_contacts(contacts, nullptr), 4);
    ASSERT_EQ(contacts.size(), 4u);
    EXPECT_EQ(text_field(contacts[0].name), "Anna");
    EXPECT_EQ(text_field(contacts[1].number), "+111");
    EXPECT_EQ(text_field(contacts[2].name), "Bob");
    EXPECT_EQ(text_field(contacts[3].name), std::string(31, 'N'));
    std::vector<SmsWireRecord> records;
    EXPECT_EQ(link_.fetch_inbox(records), 0);
}

TEST_F(HostileAgentTest, ConnectOnALiveLinkSendsNothing) {
    std::atomic<int> first_code{-2};
    set_up([&](LinkSocket& s) {
        first_code = test::read_command(s);
        test::send_int32(s, 0);
        closed_ = test::desktop_closed(s);
    });
    link_.connect();
    link_.connect();
    std::vector<SmsWireRecord> records;
    EXPECT_EQ(link_.fetch_sent(records), 0);
    EXPECT_EQ(first_code, static_cast<int>(CommandCode::READSENT));
}

TEST_F(HostileAgentTest, UnknownDeleteReplyIsNotADelete) {
    set_up([&](LinkSocket& s) {
        if (test::read_command(s) != static_cast<int>(CommandCode::DELDELETED))
            return;
        const std::array<uint8_t, 1> reply{'?'};
        s.send_all(reply);
        if (test::read_command(s) != static_cast<int>(CommandCode::WRITESMS))
            return;
        std::vector<uint8_t> rest(12 + 70 + 2 * 3);
        s.receive_exact(rest);
        s.send_all(reply);
        closed_ = test::desktop_closed(s);
    });
    SmsWireRecord r;
    set_text_field(r.address, "+4955");
    r.text = u"abc";
    EXPECT_FALSE(link_.delete_on_device(BoxKind::DeletedItems, r));
    EXPECT_EQ(thrown_text([&] { link_.send_sms(r); }),
              "OnDeviceError: could not send sms to +4955");
}

}  // namespace
}  // namespace quillet
