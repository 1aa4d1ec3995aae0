// Setting the link up on an emulated phone made with the real phone tool:
// the copy and start of the agent, the failures of each step, the wait for
// the agent's connection, and ending the link while its thread waits.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <fstream>
#include <future>
#include <iterator>

#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/orx_exception.h"
#include "tests/link/link_test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Agent;
using test::FakeAgent;
using test::LinkWorld;
using test::thrown_text;

std::string file_bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// An agent that answers every command with an empty folder until the
// desktop closes.
void empty_phone(LinkSocket& s) {
    while (test::read_command(s) >= 0)
        test::send_int32(s, 0);
}

TEST(LinkSetUp, CopiesTheAgentToThePhoneAndStartsIt) {
    LinkWorld world;
    world.phone_ok({"init"});
    SmartphoneSmsConnect link(test::quick_settings());
    ASSERT_EQ(link.init(), 0);
    EXPECT_EQ(link.state(), LinkState::CONNECTED);
    EXPECT_EQ(file_bytes(world.agent_on_phone()),
              file_bytes(fs::path(QUILLET_PROGRAM_DIR) / "ondevice" / "phonelet.exe"));
    EXPECT_EQ(world.agent_pids().size(), 1u);
    std::vector<SmsWireRecord> records;
    EXPECT_EQ(link.fetch_inbox(records), 0);
    EXPECT_TRUE(records.empty());
}

TEST(LinkSetUp, AnAgentStillRunningFromItsFileIsStartedAgainFromIt) {
    LinkWorld world;
    world.phone_ok({"init"});
    SmartphoneSmsConnect first(test::quick_settings());
    ASSERT_EQ(first.init(), 0);

    // A second desktop on another port: the agent file is busy, so it is
    // not replaced, and the set-up starts the copy that is there.
    ::setenv("QUILLET_LINK_PORT", std::to_string(test::free_port()).c_str(), 1);
    SmartphoneSmsConnect second(test::quick_settings());
    ASSERT_TRUE(second.open_rapi(100ms, 3));
    EXPECT_FALSE(second.install_soft());
    EXPECT_EQ(second.init(), 0);
    std::vector<SmsWireRecord> records;
    EXPECT_EQ(second.fetch_inbox(records), 0);
    EXPECT_EQ(first.fetch_inbox(records), 0);
    EXPECT_EQ(world.agent_pids().size(), 2u);
}

TEST(LinkSetUp, MissingAgentFileFailsEverySetUp) {
    LinkWorld world(Agent::Missing);
    world.phone_ok({"init"});
    SmartphoneSmsConnect link(test::quick_settings());
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(thrown_text([&] { link.init(); }),
                  "init_dir: Could not find exe file for device.");
    }
    EXPECT_EQ(link.state(), LinkState::PLEASE_CONNECT);
}

TEST(LinkSetUp, UnpluggedPhoneCannotBeOpened) {
    LinkWorld world;
    world.phone_ok({"init"});
    world.phone_ok({"unplug"});
    SmartphoneSmsConnect link(test::quick_settings());
    EXPECT_EQ(thrown_text([&] { link.init(); }), "Unable to open RAPI");
    EXPECT_TRUE(world.agent_pids().empty());
}

TEST(LinkSetUp, NoPhoneImageAtAllCannotBeOpened) {
    LinkWorld world;
    SmartphoneSmsConnect link(test::quick_settings());
    EXPECT_EQ(thrown_text([&] { link.init(); }), "Unable to open RAPI");
}

TEST(LinkSetUp, ConnectGivesUpWhileThePhoneStaysUnplugged) {
    LinkWorld world;
    world.phone_ok({"init"});
    world.phone_ok({"unplug"});
    LinkSettings settings = test::quick_settings();
    settings.connect_polls = 10;
    SmartphoneSmsConnect link(settings);
    ASSERT_TRUE(link.start_sentinel([] {}));
    EXPECT_EQ(thrown_text([&] { link.connect(); }), "Could not connect");
    std::vector<SmsWireRecord> records;
    EXPECT_EQ(thrown_text([&] { link.fetch_inbox(records); }), "Could not connect");
}

TEST(LinkSetUp, PhonePluggedInDuringTheWaitOpensTheLink) {
    LinkWorld world(Agent::Played);
    world.phone_ok({"init"});
    world.phone_ok({"unplug"});
    LinkSettings settings = test::quick_settings();
    settings.rapi_wait = 5s;
    SmartphoneSmsConnect link(settings);
    FakeAgent agent(world, empty_phone);
    auto set_up = std::async(std::launch::async, [&] { return link.init(); });
    std::this_thread::sleep_for(200ms);
    world.phone_ok({"plug"});
    EXPECT_EQ(set_up.get(), 0);
    EXPECT_EQ(link.state(), LinkState::CONNECTED);
}

TEST(LinkSetUp, AgentThatNeverConnectsFailsTheSetUpAfterTheLimit) {
    LinkWorld world(Agent::Played);
    world.phone_ok({"init"});
    LinkSettings settings = test::quick_settings();
    settings.accept_limit = 300ms;
    SmartphoneSmsConnect link(settings);
    EXPECT_EQ(thrown_text([&] { link.init(); }), "init_socket: The device did not connect.");
    EXPECT_NE(link.state(), LinkState::CONNECTED);

    // The next set-up listens anew.
    FakeAgent agent(world, empty_phone);
    EXPECT_EQ(link.init(), 0);
    std::vector<SmsWireRecord> records;
    EXPECT_EQ(link.fetch_inbox(records), 0);
}

TEST(LinkSetUp, PortHeldByAnotherProgramStartsNoAgentAndSaysSo) {
    LinkWorld world;
    world.phone_ok({"init"});
    LinkSocket squatter = LinkSocket::listen_loopback(world.port(), 1);
    ASSERT_TRUE(squatter.valid());
    SmartphoneSmsConnect link(test::quick_settings());
    const std::string text = thrown_text([&] { link.init(); });
    EXPECT_TRUE(text.starts_with("init_socket: the link's port " + std::to_string(world.port()) +
                                 " is held by another program (user "))
        << text;
    EXPECT_TRUE(text.ends_with("the phone's agent was not started.")) << text;
    EXPECT_TRUE(world.agent_pids().empty());
    EXPECT_FALSE(fs::exists(world.agent_on_phone()));
    EXPECT_FALSE(squatter.accept_one(300).valid());
}

TEST(LinkSetUp, ConnectionFromAnotherProgramIsClosedAndTheWaitGoesOn) {
    LinkWorld world(Agent::Played);
    world.phone_ok({"init"});
    SmartphoneSmsConnect link(test::quick_settings());
    FakeAgent agent(world, empty_phone, /*held=*/true);
    auto set_up = std::async(std::launch::async, [&] { return link.init(); });

    // Strangers reach the listening socket before the agent: this test's
    // own process on the loopback address, and one from 127.0.0.2.
    for (const uint32_t from_address : {INADDR_LOOPBACK, 0x7f000002u}) {
        bool stranger_closed = false;
        for (int i = 0; i < 1000 && !stranger_closed; ++i) {
            // Close-on-exec: the agent started meanwhile must not inherit it.
            LinkSocket stranger(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
            sockaddr_in from{};
            from.sin_family = AF_INET;
            from.sin_addr.s_addr = htonl(from_address);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            to.sin_port = htons(world.port());
            ASSERT_EQ(::bind(stranger.fd(), reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
            if (::connect(stranger.fd(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
                ASSERT_NE(set_up.wait_for(10ms), std::future_status::ready)
                    << thrown_text([&] { set_up.get(); });
                continue;
            }
            stranger_closed = test::desktop_closed(stranger);
        }
        EXPECT_TRUE(stranger_closed);
        EXPECT_NE(link.state(), LinkState::CONNECTED);
    }

    agent.release();
    EXPECT_EQ(set_up.get(), 0);
    std::vector<SmsWireRecord> records;
    EXPECT_EQ(link.fetch_deleted(records), 0);
}

TEST(LinkSetUp, DestroyingTheLinkEndsASentinelWaitingForTheAgent) {
    LinkWorld world(Agent::Played);
    world.phone_ok({"init"});
    LinkSettings settings = test::quick_settings();
    settings.accept_limit = 120s;
    auto link = std::make_unique<SmartphoneSmsConnect>(settings);
    ASSERT_TRUE(link->start_sentinel([] {}));
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(test::time_of([&] { link.reset(); }), 5000ms);
}

TEST(LinkSetUp, DestroyingTheLinkEndsASentinelWaitingForThePhone) {
    LinkWorld world;
    world.phone_ok({"init"});
    world.phone_ok({"unplug"});
    LinkSettings settings = test::quick_settings();
    settings.rapi_wait = 120s;
    auto link = std::make_unique<SmartphoneSmsConnect>(settings);
    ASSERT_TRUE(link->start_sentinel([] {}));
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(test::time_of([&] { link.reset(); }), 5000ms);
}

TEST(LinkSetUp, DestroyingTheLinkEndsASentinelBlockedInAReceive) {
    LinkWorld world(Agent::Played);
    world.phone_ok({"init"});
    std::atomic<bool> asked{false};
    std::atomic<bool> closed{false};
    FakeAgent agent(world, [&](LinkSocket& s) {
        asked = test::read_command(s) == static_cast<int>(CommandCode::SMSSENTINEL);
        closed = test::desktop_closed(s);  // never answers
    });
    auto link = std::make_unique<SmartphoneSmsConnect>(test::quick_settings());
    ASSERT_TRUE(link->start_sentinel([] {}));
    ASSERT_TRUE(test::wait_until([&] { return asked.load(); }));
    EXPECT_TRUE(link->initialised());
    EXPECT_LT(test::time_of([&] { link.reset(); }), 5000ms);
    agent.join();
    EXPECT_TRUE(closed);
}

TEST(LinkSetUp, StartingTheSentinelTwiceIsRefused) {
    LinkWorld world;
    SmartphoneSmsConnect link(test::quick_settings());
    EXPECT_TRUE(link.start_sentinel([] {}));
    EXPECT_FALSE(link.start_sentinel([] {}));
}

}  // namespace
}  // namespace quillet
