// The link against what a hostile machine does to it: another user holding
// the port or posing as the agent, an agent that goes silent or sends
// without end, a phone unplugged in the middle of each operation. Each is
// played for real: the real agent or a played one started by the real
// set-up, the real phone tool, and other programs run as the user "nobody"
// when the tests run as root.
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <cstdio>
#include <future>

#include "desktop/link/smartphone_sms_connect.h"
#include "protocol/byte_order.h"
#include "tests/link/link_test_support.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using test::Agent;
using test::FakeAgent;
using test::LinkWorld;
using test::thrown_text;

// "connections N closed C bytes B" and "connections N" of the intruder.
struct IntruderReport {
    int connections = -1;
    int closed = -1;
    long bytes = -1;
};

IntruderReport parse_report(const std::string& output) {
    IntruderReport r;
    const size_t at = output.find("connections ");
    if (at != std::string::npos) {
        std::sscanf(output.c_str() + at, "connections %d closed %d bytes %ld", &r.connections,
                    &r.closed, &r.bytes);
    }
    return r;
}

std::string another_user() {
    return test::intruder_is_another_user() ? "(user nobody)" : "(user ";
}

TEST(LinkIntruder, AnotherUserHoldingThePortGetsNoAgentAndTheUserIsTold) {
    LinkWorld world;
    world.phone_ok({"init"});
    world.phone_ok({"deliver", "--from", "+4911", "--text", "private"});
    auto squatter = std::async(std::launch::async,
                               [&] { return test::run_intruder("squat", world.port(), 4000); });
    ASSERT_TRUE(test::wait_until(
        [&] { return LinkSocket::connect_ipv4(INADDR_LOOPBACK, world.port()).valid(); }));

    SmartphoneSmsConnect link(test::quick_settings());
    const std::string text = thrown_text([&] { link.init(); });
    EXPECT_NE(text.find("is held by another program " + another_user()), std::string::npos) << text;
    EXPECT_TRUE(world.agent_pids().empty());
    EXPECT_FALSE(std::filesystem::exists(world.agent_on_phone()));

    // A Get SMS meanwhile says why it could not connect.
    LinkSettings settings = test::quick_settings();
    settings.connect_polls = 10;
    SmartphoneSmsConnect watched(settings);
    ASSERT_TRUE(watched.start_sentinel([] {}));
    std::vector<SmsWireRecord> records;
    const std::string shown = thrown_text([&] { watched.fetch_inbox(records); });
    EXPECT_TRUE(shown.starts_with("Could not connect: the link's port ")) << shown;
    EXPECT_NE(shown.find("the phone's agent was not started."), std::string::npos) << shown;

    // Only this test's probes reached the squatter, never an agent.
    const test::ProgramResult held = squatter.get();
    std::printf("squatter: %s", held.output.c_str());
    EXPECT_NE(held.output.find("listening"), std::string::npos);
    EXPECT_TRUE(world.agent_pids().empty());

    // Once the port is free again the link comes up with the real agent.
    ASSERT_TRUE(test::wait_until([&] { return watched.state() == LinkState::CONNECTED; }, 20s));
    records.clear();
    EXPECT_EQ(watched.fetch_inbox(records), 1);
}

TEST(LinkIntruder, AnotherUserPosingAsTheAgentIsClosedAndReadsNothing) {
    LinkWorld world(Agent::Played);
    world.phone_ok({"init"});
    SmsWireRecord mine;
    set_text_field(mine.address, "+4912");
    mine.text = u"from the phone";
    FakeAgent agent(
        world,
        [&](LinkSocket& s) {
            while (test::read_command(s) == static_cast<int>(CommandCode::READINBOX)) {
                const auto bytes = mine.encode();
                test::send_int32(s, 1);
                test::send_int32(s, static_cast<int32_t>(bytes.size()));
                s.send_all(bytes);
            }
        },
        /*held=*/true);
    SmartphoneSmsConnect link(test::quick_settings());
    auto set_up = std::async(std::launch::async, [&] { return link.init(); });
    ASSERT_TRUE(test::wait_until(
        [&] { return LinkSocket::connect_ipv4(INADDR_LOOPBACK, world.port()).valid(); }));

    // The set-up listens and the agent waits: the intruder has the port to
    // itself for 1.5 s.
    const std::string said = test::run_intruder("knock", world.port(), 1500).output;
    std::printf("intruder: %s", said.c_str());
    const IntruderReport report = parse_report(said);
    agent.release();
    ASSERT_EQ(set_up.get(), 0);
    std::vector<SmsWireRecord> records;
    EXPECT_EQ(link.fetch_inbox(records), 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].text, u"from the phone");

    EXPECT_GE(report.connections, 1);
    EXPECT_EQ(report.closed, report.connections);
    EXPECT_EQ(report.bytes, 0);
}

TEST(LinkIntruder, KnockingOnALiveLinkChangesNothing) {
    LinkWorld world;
    world.phone_ok({"init"});
    world.phone_ok({"deliver", "--from", "+4913", "--text", "kept"});
    SmartphoneSmsConnect link(test::quick_settings());
    ASSERT_TRUE(link.start_sentinel([] {}));
    link.connect();
    auto intruder = std::async(std::launch::async,
                               [&] { return test::run_intruder("knock", world.port(), 800); });
    int fetched = 0;
    for (int i = 0; i < 20; ++i) {
        std::vector<SmsWireRecord> records;
        fetched += link.fetch_inbox(records);
    }
    const std::string said = intruder.get().output;
    std::printf("intruder: %s", said.c_str());
    const IntruderReport report = parse_report(said);
    EXPECT_EQ(fetched, 20);
    EXPECT_EQ(report.bytes, 0);
    EXPECT_EQ(world.phone_ok({"outbox"}), "");
}

// --- A silent or endless agent ------------------------------------------------

TEST(LinkSilentAgent, AReceiveGivesUpAtItsLimitAndTheLinkIsLost) {
    LinkWorld world(Agent::Played);
    world.phone_ok({"init"});
    std::atomic<bool> closed{false};
    FakeAgent agent(world, [&](LinkSocket& s) {
        test::read_command(s);  // and never answers
        closed = test::desktop_closed(s);
    });
    LinkSettings settings = test::quick_settings();
    settings.receive_limit = 700ms;
    SmartphoneSmsConnect link(settings);
    ASSERT_EQ(link.init(), 0);
    std::vector<SmsWireRecord> records;
    std::string text;
    const auto waited =
        test::time_of([&] { text = thrown_text([&] { link.fetch_inbox(records); }); });
    EXPECT_EQ(text, "receive_data: no answer from the device within 700 ms");
    EXPECT_GE(waited, 600ms);
    EXPECT_LT(waited, 5000ms);
    agent.join();
    EXPECT_TRUE(closed);
}

// One byte of the reply every 300 ms keeps each read within its limit; the
// whole reply still ends at the receive limit plus what its few bytes earn.
TEST(LinkSilentAgent, ATricklingReplyEndsAtItsFloorAndTheLinkIsLost) {
    LinkWorld world(Agent::Played);
    world.phone_ok({"init"});
    std::atomic<bool> closed{false};
    FakeAgent agent(world, [&](LinkSocket& s) {
        test::read_command(s);
        const uint8_t count[4] = {1, 0, 0, 0};
        for (int i = 0; i < 40; ++i) {
            if (!s.send_all(std::span(count + i % 4, 1)))
                break;
            std::this_thread::sleep_for(300ms);
        }
        closed = test::desktop_closed(s);
    });
    LinkSettings settings = test::quick_settings();
    settings.receive_limit = 700ms;
    SmartphoneSmsConnect link(settings);
    ASSERT_EQ(link.init(), 0);
    std::vector<SmsWireRecord> records;
    std::string text;
    const auto waited =
        test::time_of([&] { text = thrown_text([&] { link.fetch_inbox(records); }); });
    EXPECT_EQ(text.rfind("receive_data: the device's reply came too slowly (", 0), 0u) << text;
    EXPECT_LT(waited, 3000ms);
    agent.join();
    EXPECT_TRUE(closed);
}

TEST(LinkSilentAgent, ACommandDoesNotWaitForASilentTickAndTheLinkComesBack) {
    LinkWorld world(Agent::Played);
    world.phone_ok({"init"});
    std::atomic<int> commands{0};
    auto agent = std::make_unique<FakeAgent>(world, [&](LinkSocket& s) {
        commands += test::read_command(s) >= 0;  // the first tick: never answered
        test::desktop_closed(s);
    });
    LinkSettings settings = test::quick_settings();
    settings.receive_limit = 4s;
    settings.lock_wait = 300ms;
    settings.accept_limit = 3s;
    SmartphoneSmsConnect link(settings);
    ASSERT_TRUE(link.start_sentinel([] {}));
    ASSERT_TRUE(test::wait_until([&] { return commands.load() == 1; }));

    // The tick holds the link; the window's command gives up after the lock
    // wait, long before the tick's receive limit.
    std::vector<SmsWireRecord> records;
    std::string text;
    const auto waited =
        test::time_of([&] { text = thrown_text([&] { link.fetch_inbox(records); }); });
    EXPECT_EQ(text, "Could not connect: the link is busy");
    EXPECT_LT(waited, 2000ms);

    // The silent tick ends at its limit; the sentinel sets the link up again
    // with a fresh agent, which answers.
    ASSERT_TRUE(test::wait_until([&] { return link.state() == LinkState::LOST; }, 10s));
    agent.reset();
    FakeAgent answering(world, [](LinkSocket& s) {
        while (test::read_command(s) >= 0)
            test::send_int32(s, 0);
    });
    ASSERT_TRUE(test::wait_until([&] { return link.state() == LinkState::CONNECTED; }, 30s));
    records.clear();
    EXPECT_EQ(link.fetch_sent(records), 0);
}

// "init --force" replaces the image under the agent copied onto it: the
// agent goes first, as when the cable is pulled, and the link is lost.
TEST(LinkImageReplaced, InitForceEndsTheAgentFirst) {
    LinkWorld world;
    world.phone_ok({"init", "--sample"});
    SmartphoneSmsConnect link(test::quick_settings());
    ASSERT_EQ(link.init(), 0);
    ASSERT_FALSE(world.agent_pids().empty());
    world.phone_ok({"init", "--force"});
    EXPECT_TRUE(world.agent_pids().empty());
    std::vector<SmsWireRecord> records;
    EXPECT_NE(thrown_text([&] { link.fetch_inbox(records); }), "<nothing thrown>");
}

TEST(LinkEndlessAgent, AFolderReplyStopsAtOneGibibyte) {
    LinkWorld world(Agent::Played);
    world.phone_ok({"init"});
    std::atomic<long> sent_records{0};
    std::atomic<bool> closed{false};
    FakeAgent agent(world, [&](LinkSocket& s) {
        if (test::read_command(s) != static_cast<int>(CommandCode::READINBOX))
            return;
        SmsWireRecord big;
        big.text.assign((kMaxSmsRecordSize - kMinSmsRecordSize) / 2, u'x');
        const std::vector<uint8_t> bytes = big.encode();
        std::vector<uint8_t> piece(4);
        put_i32le(piece, 0, static_cast<int32_t>(bytes.size()));
        piece.insert(piece.end(), bytes.begin(), bytes.end());
        test::send_int32(s, kMaxFolderCount);  // ~1 TiB announced
        while (s.send_all(piece))
            ++sent_records;
        closed = true;
    });
    SmartphoneSmsConnect link(test::quick_settings());
    ASSERT_EQ(link.init(), 0);
    std::vector<SmsWireRecord> records;
    EXPECT_EQ(thrown_text([&] { link.fetch_inbox(records); }),
              "receive_data: the device's reply passed 1 GiB; the fetch was stopped");
    // 1023 records of 1 MiB and their sizes fit; the 1024th does not.
    EXPECT_EQ(records.size(), 1023u);
    agent.join();
    EXPECT_TRUE(closed);
    EXPECT_LT(sent_records.load(), 1100);
}

// --- Unplugging ------------------------------------------------------------

class LinkUnplug : public ::testing::Test {
  public:
    // Unplugs; the agent is gone when the tool returns.
    void unplug() {
        world_.phone_ok({"unplug"});
        EXPECT_TRUE(world_.agent_pids().empty());
    }

  protected:
    void SetUp() override {
        world_.phone_ok({"init"});
        world_.phone_ok({"deliver", "--from", "+4914", "--text", "on the phone"});
        ASSERT_EQ(link_.init(), 0);
        first_agent_ = world_.agent_pids();
        ASSERT_EQ(first_agent_.size(), 1u);
    }

    LinkWorld world_;
    SmartphoneSmsConnect link_{test::quick_settings()};
    std::vector<pid_t> first_agent_;
};

SmsWireRecord outgoing(std::string number) {
    SmsWireRecord r;
    set_text_field(r.address, number);
    r.text = u"hello";
    return r;
}

TEST_F(LinkUnplug, EachOperationFailsAndNothingReachesThePhone) {
    unplug();
    std::vector<SmsWireRecord> records;
    const std::string broken = thrown_text([&] { link_.fetch_inbox(records); });
    EXPECT_TRUE(broken == "receive_data socket error" || broken == "send_data socket error")
        << broken;
    // The link is gone now: every later operation fails before it sends.
    EXPECT_EQ(thrown_text([&] { link_.send_sms(outgoing("+4915")); }), "send_data socket error");
    EXPECT_EQ(thrown_text([&] { link_.delete_on_device(BoxKind::Inbox, outgoing("+4914")); }),
              "send_data socket error");
    std::vector<Contact> contacts;
    EXPECT_EQ(thrown_text([&] { link_.fetch_contacts(contacts, nullptr); }),
              "send_data socket error");
    EXPECT_EQ(world_.phone_ok({"outbox"}), "");
    EXPECT_NE(world_.phone_ok({"list", "inbox"}).find("on the phone"), std::string::npos);
}

TEST_F(LinkUnplug, UnpluggedDuringAFetchKeepsWhatArrived) {
    constexpr int kMessages = 20000;
    world_.phone_ok({"bulk", "inbox", "--count", std::to_string(kMessages)});
    struct UnpluggingSink : StatusSink {
        explicit UnpluggingSink(LinkUnplug& t) : test(t) {}
        void set_status_text(std::u16string_view) override {}
        void set_progress(int percent) override {
            if (percent >= 0 && !done) {
                done = true;
                test.unplug();
            }
        }
        LinkUnplug& test;
        bool done = false;
    } sink(*this);
    std::vector<SmsWireRecord> records;
    EXPECT_EQ(thrown_text([&] { link_.fetch_inbox(records, &sink); }), "receive_data socket error");
    EXPECT_TRUE(sink.done);
    EXPECT_GE(records.size(), 1u);
    EXPECT_LT(records.size(), static_cast<size_t>(kMessages + 1));
}

TEST(LinkUnplugSentinel, TheKeepAliveLosesTheLinkAndFindsItAgainAfterPlug) {
    LinkWorld world;
    world.phone_ok({"init"});
    SmartphoneSmsConnect link(test::quick_settings());
    std::atomic<int> calls{0};
    ASSERT_TRUE(link.start_sentinel([&] { ++calls; }));
    ASSERT_TRUE(test::wait_until([&] { return link.state() == LinkState::CONNECTED; }));
    world.phone_ok({"unplug"});
    ASSERT_TRUE(test::wait_until([&] { return link.state() == LinkState::LOST; }));
    // Stays down while unplugged: no agent is started.
    std::this_thread::sleep_for(500ms);
    EXPECT_NE(link.state(), LinkState::CONNECTED);
    EXPECT_TRUE(world.agent_pids().empty());

    world.phone_ok({"plug"});
    ASSERT_TRUE(test::wait_until([&] { return link.state() == LinkState::CONNECTED; }, 20s));
    const uint64_t ticks = link.tick_count();
    ASSERT_TRUE(test::wait_until([&] { return link.tick_count() > ticks + 2; }));
    // A message that arrives now is seen once.
    world.phone_ok({"deliver", "--from", "+4916", "--text", "after plug"});
    ASSERT_TRUE(test::wait_until([&] { return calls.load() == 1; }));
}

}  // namespace
}  // namespace quillet
