// quillet-cli over real box, contacts and options files written by the
// store's own code in a temp data folder: its listings, its JSON, its exit
// codes, and that it leaves the folder exactly as it was.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "desktop/store/config_list.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/options.h"
#include "desktop/store/sms_box.h"
#include "tests/phonelet/json_value.h"
#include "tests/store/store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;
using quillet::testing::JsonValue;
using quillet::testing::parse_json;

struct CliRun {
    int status = -1;
    std::string out;
};

// Runs quillet-cli with `args` (each quoted), stdout captured, stderr to
// `err_file` when given.
CliRun cli(const std::vector<std::string>& args, const std::string& env = "LANG=de_DE.UTF-8") {
    std::string command = "env -u LC_ALL -u LC_TELEPHONE " + env + " '" +
                          std::string(QUILLET_PROGRAM_DIR) + "/quillet-cli'";
    for (const std::string& a : args)
        command += " '" + a + "'";
    command += " 2>/dev/null";
    CliRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

constexpr FileTime kMinute = 60 * kTicksPerSecond;
// 2026-01-02T03:04:05Z
const FileTime kT0 = filetime_from_unix(1'767'323'045);

SmsMessage message(std::u16string_view text, std::string_view number, int minutes,
                   uint8_t read = 1) {
    SmsMessage m;
    m.set_text(text);
    m.set_number(number);
    m.set_time(kT0 + static_cast<FileTime>(minutes) * kMinute);
    m.set_read(read);
    m.set_on_phone(1);
    return m;
}

// Files and their bytes, to tell whether anything was written.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        files[e.path().string()] = e.is_regular_file() ? file_contents(e.path()) : "<folder>";
    return files;
}

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SmsBox inbox(BoxKind::Inbox), sent(BoxKind::SentItems), deleted(BoxKind::DeletedItems);
        inbox.append(message(u"Café demain à 10h ?", "+33612345678", 0, 0));
        inbox.append(message(u"Meeting moved to 3pm.", "+15551234567", 1));
        inbox.append(message(u"Wir sehen uns in der Straße", "+491701234567", 2, 0));
        inbox.append(message(u"line one\nline \"two\"\ttab", "+491701234567", 3));
        // One text to two people: a copy each.
        sent.append(message(u"Party at 8", "01701234567", 4));
        sent.append(message(u"Party at 8", "+15551234567", 4));
        deleted.append(message(u"old news", "+49 170 1234567", -10));
        for (SmsBox* box : {&inbox, &sent, &deleted})
            ASSERT_TRUE(box->save_box(box_file_name(box->kind())));
        ContactList contacts(PhoneNumbers("DE"));
        contacts.append(make_contact("Chlo\xe9,Martin", "+33612345678"));
        contacts.append(make_contact("Anna,Schmidt", "0170 1234567"));
        contacts.sort_contacts();
        ASSERT_TRUE(contacts.save_contacts(u"contacts.sql"));
    }

    std::string data() const { return folders_.data().string(); }

    AppFolders folders_;
};

TEST_F(CliTest, SearchFindsTextNumberAndNameOldestFirst) {
    const CliRun run = cli({"--data", data(), "--json", "search", "STRASSE"});
    ASSERT_EQ(run.status, 0);
    const std::optional<JsonValue> json = parse_json(run.out);
    ASSERT_TRUE(json) << run.out;
    ASSERT_EQ(json->array().size(), 1u);
    const JsonValue& m = (*json)[0];
    EXPECT_EQ(m["box"].string(), "inbox");
    EXPECT_EQ(m["time"].string(), "2026-01-02T03:06:05Z");
    EXPECT_EQ(m["number"].string(), "+491701234567");
    EXPECT_EQ(m["name"].string(), "Anna Schmidt");
    EXPECT_EQ(m["text"].string(),
              "Wir sehen uns in der Stra\xc3\x9f"
              "e");
    EXPECT_FALSE(m["read"].boolean());
    EXPECT_TRUE(m["on_phone"].boolean());

    // By the contact's name, across the boxes, oldest first.
    const std::optional<JsonValue> anna =
        parse_json(cli({"search", "--json", "--data", data(), "anna"}).out);
    ASSERT_TRUE(anna);
    std::vector<std::string> boxes;
    for (const JsonValue& v : anna->array())
        boxes.push_back(v["box"].string());
    EXPECT_EQ(boxes, (std::vector<std::string>{"deleted", "inbox", "inbox", "sent"}));

    // Digits as written elsewhere, and one box only.
    const std::optional<JsonValue> sent =
        parse_json(cli({"--data", data(), "--json", "search", "0170 123", "--box", "sent"}).out);
    ASSERT_TRUE(sent);
    ASSERT_EQ(sent->array().size(), 1u);
    EXPECT_EQ((*sent)[0]["text"].string(), "Party at 8");

    const std::optional<JsonValue> cafe =
        parse_json(cli({"--data", data(), "--json", "search", "cafe"}).out);
    ASSERT_TRUE(cafe && cafe->array().size() == 1u);
    EXPECT_EQ((*cafe)[0]["name"].string(), "Chlo\xc3\xa9 Martin");
    const std::optional<JsonValue> none =
        parse_json(cli({"--data", data(), "--json", "search", "Meeting"}).out);
    ASSERT_TRUE(none && none->array().size() == 1u);
    EXPECT_TRUE((*none)[0]["name"].is_null());
}

TEST_F(CliTest, LinesAreOnePerItemWithTabsBetweenFields) {
    const CliRun run = cli({"--data", data(), "search", "two"});
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "2026-01-02T03:07:05Z\tinbox\t+491701234567\tAnna Schmidt\tread\t"
              "line one line \"two\" tab\n");
    EXPECT_EQ(cli({"--data", data(), "search", "nothing like it"}).out, "");
    EXPECT_EQ(cli({"--data", data(), "--json", "search", "nothing like it"}).out, "[]\n");
}

// A text or a name holding terminal controls (clear screen, set the
// clipboard, C1 codes) never reaches the terminal as such.
TEST_F(CliTest, ControlCharactersArePrintedEscaped) {
    SmsBox inbox(BoxKind::Inbox);
    inbox.append(message(u"\x1b[2J\x1b]52;c;aGk=\x07 hi\u009b1m", "+4930999111", 0));
    ASSERT_TRUE(inbox.save_box(box_file_name(BoxKind::Inbox)));
    ContactList contacts(PhoneNumbers("DE"));
    contacts.append(make_contact("\x1b[31mEvil", "+4930999111"));
    ASSERT_TRUE(contacts.save_contacts(u"contacts.sql"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"search", "hi"}, {"show", "+4930999111"}, {"conversations"}}) {
        std::vector<std::string> full{"--data", data()};
        full.insert(full.end(), args.begin(), args.end());
        const std::string out = cli(full).out;
        EXPECT_NE(out.find("\\u001b[31mEvil"), std::string::npos) << args[0] << ": " << out;
        EXPECT_EQ(std::count_if(out.begin(), out.end(),
                                [](char c) {
                                    const auto u = static_cast<unsigned char>(c);
                                    return (u < 0x20 && c != '\t' && c != '\n') || u == 0x7F;
                                }),
                  0)
            << args[0];
        if (args[0] != "conversations") {
            EXPECT_NE(out.find("\\u001b[2J\\u001b]52;c;aGk=\\u0007 hi\\u009b1m"), std::string::npos)
                << out;
        }
    }
}

TEST_F(CliTest, ConversationsGroupEverySpellingNewestFirst) {
    const CliRun run = cli({"--data", data(), "--json", "conversations"});
    ASSERT_EQ(run.status, 0);
    const std::optional<JsonValue> json = parse_json(run.out);
    ASSERT_TRUE(json) << run.out;
    ASSERT_EQ(json->array().size(), 3u);
    // Anna and Daniel got the same text last: their order among themselves
    // is not defined; Chloé wrote before.
    std::map<std::string, const JsonValue*> by_number;
    for (const JsonValue& v : json->array())
        by_number[v["number"].string()] = &v;
    EXPECT_EQ((*json)[2]["name"].string(), "Chlo\xc3\xa9 Martin");
    ASSERT_TRUE(by_number.contains("01701234567"));
    const JsonValue& anna = *by_number["01701234567"];
    EXPECT_EQ(anna["name"].string(), "Anna Schmidt");
    EXPECT_EQ(anna["numbers"].array().size(), 2u);
    EXPECT_EQ(anna["messages"].number(), 4);
    EXPECT_EQ(anna["unread"].number(), 1);
    EXPECT_EQ(anna["last_time"].string(), "2026-01-02T03:08:05Z");
    ASSERT_TRUE(by_number.contains("+15551234567"));
    EXPECT_TRUE((*by_number["+15551234567"])["name"].is_null());
    EXPECT_EQ((*by_number["+15551234567"])["messages"].number(), 2);

    // Without a region the national spelling is a correspondent of its own.
    const std::optional<JsonValue> apart =
        parse_json(cli({"--data", data(), "--json", "conversations"}, "LANG=C").out);
    ASSERT_TRUE(apart);
    EXPECT_EQ(apart->array().size(), 4u);
}

TEST_F(CliTest, ShowGivesTheWholeConversationForAnySpelling) {
    const CliRun run = cli({"--data", data(), "--json", "show", "+49 (170) 123-4567"});
    ASSERT_EQ(run.status, 0);
    const std::optional<JsonValue> json = parse_json(run.out);
    ASSERT_TRUE(json) << run.out;
    std::vector<std::string> texts;
    for (const JsonValue& v : json->array())
        texts.push_back(v["text"].string());
    EXPECT_EQ(texts, (std::vector<std::string>{"old news",
                                               "Wir sehen uns in der Stra\xc3\x9f"
                                               "e",
                                               "line one\nline \"two\"\ttab", "Party at 8"}));
    EXPECT_EQ(cli({"--data", data(), "show", "+4930999"}).out, "");
    // Spelled as people write, with and without a home region.
    const struct {
        const char* env;
        const char* command;
        const char* typed;
        size_t lines;
    } spelled[] = {{"LANG=de_DE.UTF-8", "show", "0170-1234567", 4},
                   {"LANG=C", "show", "0170-1234567", 1},
                   {"LANG=C", "show", "0033 6 12 34 56 78", 1},
                   {"LANG=C", "search", "0049 170", 3},
                   {"LANG=C", "search", "0033612", 1}};
    for (const auto& c : spelled) {
        const std::string out = cli({"--data", data(), c.command, c.typed}, c.env).out;
        EXPECT_EQ(static_cast<size_t>(std::count(out.begin(), out.end(), '\n')), c.lines)
            << c.env << " " << c.command << " " << c.typed << ":\n"
            << out;
    }
}

TEST_F(CliTest, TheDataFolderIsLeftExactlyAsItWas) {
    const auto before = snapshot(folders_.data());
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"search", "a"}, {"conversations"}, {"show", "+15551234567"}})
        ASSERT_EQ(cli([&] {
                      auto a = args;
                      a.insert(a.begin(), {"--data", data()});
                      return a;
                  }())
                      .status,
                  0);
    EXPECT_EQ(snapshot(folders_.data()), before);
}

TEST_F(CliTest, ExitCodesTellUsageFromUnreadableData) {
    EXPECT_EQ(cli({}).status, 2);
    EXPECT_EQ(cli({"--data", data(), "frobnicate"}).status, 2);
    EXPECT_EQ(cli({"--data", data(), "search"}).status, 2);
    EXPECT_EQ(cli({"--data", data(), "search", "a", "--box", "outbox"}).status, 2);
    EXPECT_EQ(cli({"--data", data(), "conversations", "--box", "inbox"}).status, 2);
    EXPECT_EQ(cli({"--bogus"}).status, 2);
    EXPECT_EQ(cli({"--data"}).status, 2);
    const CliRun help = cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("quillet-cli [--data DIR] [--json] COMMAND"), std::string::npos);

    EXPECT_EQ(cli({"--data", data() + "/missing", "conversations"}).status, 1);
    // A box file that is no box file is reported, not read as empty.
    write_file(folders_.data() / "sent1.sms", "not a box file at all, really");
    EXPECT_EQ(cli({"--data", data(), "conversations"}).status, 1);
    // A folder where a box file belongs cannot be read.
    fs::remove(folders_.data() / "sent1.sms");
    fs::create_directory(folders_.data() / "sent1.sms");
    EXPECT_EQ(cli({"--data", data(), "conversations"}).status, 1);
}

TEST_F(CliTest, AFreshDataFolderWithoutBoxesListsNothing) {
    for (const char* name : {"inbox1.sms", "sent1.sms", "deleted1.sms", "contacts.sql"})
        fs::remove(folders_.data() / name);
    const CliRun run = cli({"--data", data(), "--json", "conversations"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "[]\n");
}

TEST_F(CliTest, NamesFollowTheContactsWindowsOrder) {
    ConfigList config;
    config.set_bool("contacts_sort", true);
    ASSERT_TRUE(config.save_config(kOptionsFileName));
    const std::optional<JsonValue> json =
        parse_json(cli({"--data", data(), "--json", "search", "cafe"}).out);
    ASSERT_TRUE(json && json->array().size() == 1u);
    EXPECT_EQ((*json)[0]["name"].string(), "Martin Chlo\xc3\xa9");
}

}  // namespace
}  // namespace quillet
