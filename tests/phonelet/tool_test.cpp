// The phone tool, run as a program against a temporary platform root.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/phone/phone_image.h"
#include "platform/registry/registry.h"
#include "tests/phonelet/agent_harness.h"
#include "tests/phonelet/json_value.h"

namespace quillet::testing {
namespace {

class ToolTest : public ::testing::Test {
  protected:
    ToolResult tool(const std::vector<std::string>& args) { return run_tool(root(), args); }
    std::filesystem::path root() const { return temp.path() / "root"; }
    JsonValue json(const std::vector<std::string>& args) {
        const ToolResult r = tool(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        auto parsed = parse_json(r.out);
        EXPECT_TRUE(parsed) << "not JSON: " << r.out;
        return parsed.value_or(JsonValue{});
    }
    void init() { ASSERT_EQ(tool({"init"}).exit_code, 0); }

    TempDir temp;
};

TEST_F(ToolTest, BadUsageExitsWithTwoAndOneLine) {
    init();
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"list", "two\nlines"},
        {"deliver", "--text", "no sender"},
        {"deliver", "--from", "+1"},
        {"deliver", "--from", "+1", "--text", "x", "--time", "yesterday"},
        {"deliver", "--from", "+1", "--text", "x", "--colour", "red"},
        {"list"},
        {"list", "nosuchfolder"},
        {"bulk", "inbox", "--count", "0"},
        {"bulk", "inbox", "--count", "many"},
        {"sim", "add", "--slot", "101", "--name", "A", "--number", "1"},
        {"sim", "add", "--slot", "0", "--name", "A", "--number", "1"},
        {"sim", "size", "-3"},
        {"sim", "shuffle"},
        {"contact", "add", "--first", "A"},
        {"refuse", "maybe"},
        {"outbox", "extra"},
        {"init"},  // an image is already there
        {"add", "inbox", "--subject"},
    };
    for (const auto& args : bad) {
        const ToolResult r = tool(args);
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        EXPECT_EQ(r.exit_code, 2) << joined;
        EXPECT_TRUE(r.err.starts_with("quillet-phone: ")) << joined << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << joined << ": " << r.err;
    }
}

TEST_F(ToolTest, CommandsWithoutAPhoneFailWithOne) {
    const ToolResult r = tool({"list", "inbox"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("quillet-phone init"), std::string::npos) << r.err;
}

TEST_F(ToolTest, HelpNamesEveryCommand) {
    const ToolResult r = tool({"--help"});
    EXPECT_EQ(r.exit_code, 0);
    for (const char* command : {"init", "plug", "unplug", "deliver", "add", "list", "bulk", "sim",
                                "contact", "outbox", "refuse", "screen", "--json"}) {
        EXPECT_NE(r.out.find(command), std::string::npos) << command;
    }
}

TEST_F(ToolTest, DeliverThenListShowsAnUnreadInboxMessage) {
    init();
    ASSERT_EQ(
        tool({"deliver", "--from", "+4917", "--text", "Café 5 €", "--time", "2026-01-02T03:04:05Z"})
            .exit_code,
        0);
    const JsonValue list = json({"list", "inbox", "--json"});
    ASSERT_EQ(list.array().size(), 1u);
    const JsonValue& m = list[0];
    EXPECT_EQ(m["subject"].string(), "Café 5 €");
    EXPECT_EQ(m["sender"].string(), "+4917");
    EXPECT_EQ(m["class"].string(), "IPM.SMSText");
    EXPECT_EQ(m["time"].string(), "2026-01-02T03:04:05Z");
    EXPECT_FALSE(m["read"].boolean());
    EXPECT_EQ(m["entry_id"].string().size(), 32u);
}

TEST_F(ToolTest, AddPutsAnyRowInAnyFolder) {
    init();
    ASSERT_EQ(tool({"add", "sent", "--body", "line \"one\"\nline two", "--to", "+1", "--to", "+2",
                    "--read", "--time", "2025-06-01T00:00:00Z"})
                  .exit_code,
              0);
    ASSERT_EQ(tool({"add", "Drafts", "--class", "IPM.Note", "--subject", "s"}).exit_code, 0);
    const JsonValue sent = json({"list", "sent", "--json"});
    ASSERT_EQ(sent.array().size(), 1u);
    EXPECT_EQ(sent[0]["body"].string(), "line \"one\"\nline two");
    EXPECT_EQ(sent[0]["recipients"].array().size(), 2u);
    EXPECT_EQ(sent[0]["recipients"][1]["email"].string(), "+2");
    EXPECT_TRUE(sent[0]["read"].boolean());
    const JsonValue drafts = json({"list", "drafts", "--json"});
    ASSERT_EQ(drafts.array().size(), 1u);
    EXPECT_TRUE(drafts[0]["body"].is_null());
    EXPECT_EQ(json({"list", "deleted", "--json"}).array().size(), 0u);
}

TEST_F(ToolTest, SampleHasTextInEveryFolderContactsAndSim) {
    ASSERT_EQ(tool({"init", "--sample"}).exit_code, 0);
    size_t unread = 0;
    bool accented = false;
    bool euro = false;
    bool long_body = false;
    bool other_class = false;
    for (const char* folder : {"inbox", "sent", "deleted"}) {
        const JsonValue list = json({"list", folder, "--json"});
        EXPECT_GE(list.array().size(), 5u) << folder;
        for (const JsonValue& m : list.array()) {
            const std::string text =
                m["subject"].string() + (m["body"].is_null() ? "" : m["body"].string());
            unread += m["read"].boolean() ? 0 : 1;
            accented = accented || text.find("ü") != std::string::npos;
            euro = euro || text.find("€") != std::string::npos;
            long_body = long_body || (!m["body"].is_null() && m["body"].string().size() > 1023);
            other_class = other_class || !m["class"].string().starts_with("IPM.SMSText");
        }
    }
    EXPECT_GE(unread, 3u);
    EXPECT_TRUE(accented && euro && long_body && other_class);
    EXPECT_GE(json({"sim", "list", "--json"}).array().size(), 3u);
    EXPECT_GE(json({"contact", "list", "--json"}).array().size(), 3u);
    // --force replaces the phone with a fresh one.
    ASSERT_EQ(tool({"init", "--force"}).exit_code, 0);
    EXPECT_EQ(json({"list", "inbox", "--json"}).array().size(), 0u);
}

TEST_F(ToolTest, ServicesAreSetAndListed) {
    init();
    ASSERT_EQ(tool({"sim", "size", "10"}).exit_code, 0);
    ASSERT_EQ(tool({"sim", "add", "--slot", "10", "--name", "Müller", "--number", "+49"}).exit_code,
              0);
    const JsonValue sim = json({"sim", "list", "--json"});
    ASSERT_EQ(sim.array().size(), 1u);
    EXPECT_EQ(sim[0]["slot"].number(), 10);
    EXPECT_EQ(sim[0]["name"].string(), "Müller");
    ASSERT_EQ(tool({"contact", "add", "--first", "Ann", "--last", "Lee"}).exit_code, 0);
    const JsonValue contacts = json({"contact", "list", "--json"});
    ASSERT_EQ(contacts.array().size(), 1u);
    EXPECT_EQ(contacts[0]["number"].string(), "");
    EXPECT_EQ(json({"outbox", "--json"}).array().size(), 0u);
    EXPECT_EQ(json({"screen", "--json"}).array().size(), 0u);
    ASSERT_EQ(tool({"refuse", "on"}).exit_code, 0);
    EXPECT_TRUE(phone::PhoneStore(root() / "phone").sms_refusing());
    ASSERT_EQ(tool({"unplug"}).exit_code, 0);
    EXPECT_FALSE(phone::is_plugged(root() / "phone"));
    ASSERT_EQ(tool({"plug"}).exit_code, 0);
    EXPECT_TRUE(phone::is_plugged(root() / "phone"));
}

TEST_F(ToolTest, PlugStartsTheProgramsListedForAutoStart) {
    init();
    const auto marker = temp.path() / "started";
    const auto script = temp.path() / "on-connect.sh";
    std::ofstream(script) << "#!/bin/sh\necho started > '" << marker.string() << "'\n";
    chmod(script.c_str(), 0755);
    setenv(phone::kPlatformRootEnv, root().c_str(), 1);
    ASSERT_TRUE(registry::set_string(registry::kAutoStartKey, "Quillet",
                                     std::u16string(script.u16string())));
    unsetenv(phone::kPlatformRootEnv);
    ASSERT_EQ(tool({"unplug"}).exit_code, 0);
    EXPECT_FALSE(std::filesystem::exists(marker));
    const ToolResult r = tool({"plug"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    for (int i = 0; i < 500 && !std::filesystem::exists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(std::filesystem::exists(marker)) << r.out;
}

TEST_F(ToolTest, BulkAddsManyMessagesInOneGo) {
    init();
    ASSERT_EQ(tool({"bulk", "inbox", "--count", "2500"}).exit_code, 0);
    phone::PhoneStore store(root() / "phone");
    const auto messages = store.messages(*store.folder(phone::FolderRole::Inbox), false);
    ASSERT_EQ(messages.size(), 2500u);
    for (size_t i = 1; i < messages.size(); ++i) {
        ASSERT_LT(messages[i - 1].delivery_time, messages[i].delivery_time);
    }
}

TEST_F(ToolTest, OutboxListsWhatTheAgentSent) {
    init();
    phone::PhoneStore store(root() / "phone");
    store.add_submission({u"+4917", 1, 0, u"Grüße", 10, 133'000'000'000'000'000ULL});
    const JsonValue outbox = json({"outbox", "--json"});
    ASSERT_EQ(outbox.array().size(), 1u);
    EXPECT_EQ(outbox[0]["address"].string(), "+4917");
    EXPECT_EQ(outbox[0]["address_type"].string(), "international");
    EXPECT_EQ(outbox[0]["text"].string(), "Grüße");
}

}  // namespace
}  // namespace quillet::testing
