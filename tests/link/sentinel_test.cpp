// The sentinel thread against the real agent: what it reports as new, and
// how it brings a lost link back.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/app_paths.h"
#include "desktop/store/log_file.h"
#include "desktop/store/orx_exception.h"
#include "tests/link/link_test_support.h"

namespace quillet {
namespace {

using test::LinkWorld;
using test::wait_until;

FileTime at_second(int s) {
    return filetime_from_unix(1767323040 + s);
}
std::string iso_second(int s) {
    return "2026-01-02T03:04:0" + std::to_string(s) + "Z";
}

class SentinelTest : public ::testing::Test {
  protected:
    void SetUp() override { world_.phone_ok({"init"}); }

    void deliver(int second) {
        world_.phone_ok({"deliver", "--from", "+4915100000", "--text",
                         "at " + std::to_string(second), "--time", iso_second(second)});
    }
    void start() {
        ASSERT_TRUE(link_.start_sentinel([this] { ++callbacks_; }));
    }
    // Lets the sentinel make a few more exchanges.
    void let_ticks_pass(uint64_t n = 3) {
        const uint64_t from = link_.tick_count();
        ASSERT_TRUE(wait_until([&] { return link_.tick_count() >= from + n; }));
    }

    LinkWorld world_;
    SmartphoneSmsConnect link_{test::quick_settings()};
    std::atomic<int> callbacks_{0};
};

TEST_F(SentinelTest, FirstTickOnlyRecordsThenEachNewerMessageCallsOnce) {
    deliver(1);
    start();
    ASSERT_TRUE(wait_until([&] { return link_.newest_seen() == at_second(1); }));
    let_ticks_pass();
    EXPECT_EQ(callbacks_, 0);

    deliver(5);
    ASSERT_TRUE(wait_until([&] { return callbacks_ == 1; }));
    let_ticks_pass();
    EXPECT_EQ(callbacks_, 1);
    EXPECT_EQ(link_.newest_seen(), at_second(5));

    deliver(3);  // arrives now, but was delivered before the newest seen
    let_ticks_pass();
    EXPECT_EQ(callbacks_, 1);
    EXPECT_EQ(link_.newest_seen(), at_second(5));

    deliver(7);
    ASSERT_TRUE(wait_until([&] { return callbacks_ == 2; }));
}

TEST_F(SentinelTest, EmptyInboxRecordsNothingAndTheFirstMessageCalls) {
    start();
    ASSERT_TRUE(wait_until([&] { return link_.initialised(); }));
    let_ticks_pass();
    EXPECT_EQ(link_.newest_seen(), 0u);
    deliver(1);
    ASSERT_TRUE(wait_until([&] { return callbacks_ == 1; }));
}

TEST_F(SentinelTest, MessagesThatCameWhileTheLinkWasDownCallNothing) {
    deliver(1);
    start();
    ASSERT_TRUE(wait_until([&] { return link_.newest_seen() == at_second(1); }));

    world_.phone_ok({"unplug"});
    world_.kill_agents();
    ASSERT_TRUE(wait_until([&] { return link_.state() == LinkState::LOST; }));
    deliver(5);
    world_.phone_ok({"plug"});

    ASSERT_TRUE(wait_until([&] { return link_.newest_seen() == at_second(5); }));
    let_ticks_pass();
    EXPECT_EQ(callbacks_, 0);
    deliver(7);
    ASSERT_TRUE(wait_until([&] { return callbacks_ == 1; }));
}

// Kills the agent as soon as the first record of a fetch has arrived.
class KillingSink : public StatusSink {
  public:
    explicit KillingSink(const LinkWorld& world) : world_(world) {}
    void set_status_text(std::u16string_view) override {}
    void set_progress(int percent) override {
        if (percent >= 0 && !killed_) {
            world_.kill_agents();
            killed_ = true;
        }
    }

  private:
    const LinkWorld& world_;
    bool killed_ = false;
};

TEST_F(SentinelTest, AgentKilledDuringAFetchKeepsWhatArrivedAndTheLinkComesBack) {
    // About 9 MB of records: when the agent dies, the desktop has taken one
    // record, so at most the socket buffers (a few MB) have left the agent.
    constexpr int kMessages = 20000;
    world_.phone_ok({"bulk", "inbox", "--count", std::to_string(kMessages)});
    world_.phone_ok({"add", "sent", "--body", "still there", "--to", "+492"});
    start();
    link_.connect();
    const std::vector<pid_t> first_agent = world_.agent_pids();
    ASSERT_EQ(first_agent.size(), 1u);

    KillingSink sink(world_);
    std::vector<SmsWireRecord> records;
    std::string text;
    try {
        link_.fetch_inbox(records, &sink);
    } catch (const ORX_Exception& e) {
        text = e.what();
    }
    EXPECT_EQ(text, "receive_data socket error");
    EXPECT_GE(records.size(), 1u);
    EXPECT_LT(records.size(), static_cast<size_t>(kMessages));

    // The sentinel notices, sets the link up again with a fresh agent, and
    // the next fetch works.
    ASSERT_TRUE(wait_until([&] {
        const std::vector<pid_t> now = world_.agent_pids();
        return link_.state() == LinkState::CONNECTED && now.size() == 1 && now[0] != first_agent[0];
    }));
    std::vector<SmsWireRecord> sent;
    EXPECT_EQ(link_.fetch_sent(sent), 1);
}

std::vector<std::string> log_lines(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// True when `wanted` appear in `lines` in this order (others in between).
bool in_order(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
    auto at = lines.begin();
    for (const std::string& w : wanted) {
        at = std::find(at, lines.end(), w);
        if (at == lines.end())
            return false;
        ++at;
    }
    return true;
}

class SentinelLog : public SentinelTest {
  protected:
    void SetUp() override {
        SentinelTest::SetUp();
        program_log().set_enabled(true);
        ASSERT_TRUE(program_log().open("logfile.txt"));
    }
    // The sentinel still runs here: closing the log (under its own lock)
    // drops its later lines. The switch stays on, with no file behind it.
    void TearDown() override { program_log().close(); }
    std::vector<std::string> lines() const {
        return log_lines(world_.folder() / "data" / "logfile.txt");
    }
};

TEST_F(SentinelLog, SetUpAndTicksAreTraced) {
    deliver(1);
    start();
    ASSERT_TRUE(wait_until([&] { return link_.newest_seen() == at_second(1); }));
    let_ticks_pass();
    EXPECT_TRUE(in_order(
        lines(),
        {"SENTINEL: create thread", "SENTINEL: init", "SPC init", "SPC init() open rapi",
         "SPC init() listen", "SPC init() install_soft", "SPC init() run_remote_exe",
         "SPC init() init_socket", "SPC init CONNECTED!", "SENTINEL: SentinelTick()",
         "SPC::send_command()", "SPC::send_command() end", "SPC::receive_data()",
         "SENTINEL: SentinelTick() end", "SENTINEL: in loop", "SENTINEL: SentinelTick()"}));
    link_.connect();
    EXPECT_TRUE(in_order(lines(), {"SmartphoneSmsConnect::connect()",
                                   "SmartphoneSmsConnect::connect() case CONNECTED",
                                   "SmartphoneSmsConnect::connect() end"}));
}

TEST_F(SentinelLog, UnpluggedPhoneIsRetriedAndTraced) {
    world_.phone_ok({"unplug"});
    start();
    ASSERT_TRUE(wait_until([&] {
        const auto l = lines();
        return std::count(l.begin(), l.end(), "SENTINEL: connection lost.") >= 2;
    }));
    EXPECT_TRUE(
        in_order(lines(), {"SENTINEL: init", "SPC init", "SPC init() open rapi",
                           "SENTINEL: Exception", "SENTINEL: connection lost.", "SENTINEL: init",
                           "SENTINEL: Exception", "SENTINEL: connection lost."}));
    EXPECT_EQ(link_.state(), LinkState::LOST);
    EXPECT_FALSE(link_.initialised());
}

}  // namespace
}  // namespace quillet
