// quillet-cli get and export run as programs from a copy of the program
// folder, against the real agent on a phone made by the real phone tool:
// the status texts, the box files written, the refusal while the program
// runs, and every export format from the data that get fetched.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <regex>
#include <set>
#include <thread>

#include "tests/link/link_test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::LinkWorld;

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string file_text(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t count_of(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

// A program folder of the test's own (with the data kept in it, "portable"),
// its runtime folder private to the test, and the real phone.
class CliWorld {
  public:
    CliWorld() {
        world_.phone_ok({"init", "--sample"});
        program_ = world_.folder() / "program";
        fs::copy(QUILLET_PROGRAM_DIR, program_, fs::copy_options::recursive);
        // The program, not what an earlier run may have left beside it
        // (CI plants an earlier version's boxes there): this copy's data
        // starts empty.
        for (const auto& entry : fs::directory_iterator(program_)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && name != "quillet" && name != "quillet-cli")
                fs::remove(entry.path());
        }
        std::ofstream(program_ / "portable").put('\n');
        tmp_ = world_.folder() / "tmp";
        fs::create_directories(tmp_);
        ::setenv("TMPDIR", tmp_.c_str(), 1);
        ::unsetenv("XDG_RUNTIME_DIR");
        ::setenv("XDG_DATA_HOME", (world_.folder() / "xdg").c_str(), 1);
    }
    ~CliWorld() { ::unsetenv("TMPDIR"); }

    // quillet-cli with `args`; standard output and error together. `lang`,
    // when given, is the user's language, and with it the home region of
    // phone numbers.
    test::ProgramResult cli(const std::string& args, const std::string& lang = "") const {
        const std::string env =
            lang.empty() ? "" : "env -u LC_ALL -u LC_TELEPHONE LANG=" + lang + " ";
        return test::run_program(
            "/bin/sh",
            {"-c", env + quoted((program_ / "quillet-cli").string()) + " " + args + " 2>&1"});
    }
    const fs::path& data() const { return program_; }
    const LinkWorld& world() const { return world_; }
    fs::path out(const std::string& name) const { return world_.folder() / name; }

  private:
    LinkWorld world_;
    fs::path program_;
    fs::path tmp_;
};

TEST(CliGet, FetchesTheBoxesAndTheContactsIntoTheDataFolder) {
    CliWorld w;
    const test::ProgramResult first = w.cli("get --contacts");
    ASSERT_EQ(first.exit_code, 0) << first.output;
    EXPECT_NE(first.output.find("Retrieving messages...\n"), std::string::npos) << first.output;
    EXPECT_NE(first.output.find("importing inbox"), std::string::npos) << first.output;
    const size_t at = first.output.find(" new imported messages\n");
    ASSERT_NE(at, std::string::npos) << first.output;
    EXPECT_GT(std::stoi(first.output.substr(first.output.rfind('\n', at) + 1)), 0);
    EXPECT_NE(first.output.find("Contact list Updated"), std::string::npos) << first.output;
    for (const char* name : {"inbox1.sms", "sent1.sms", "deleted1.sms", "contacts.sql"})
        EXPECT_GT(fs::file_size(w.data() / name), 32u) << name;

    const test::ProgramResult again = w.cli("get");
    EXPECT_EQ(again.exit_code, 0) << again.output;
    EXPECT_NE(again.output.find("0 new imported messages\n"), std::string::npos) << again.output;
    EXPECT_EQ(w.cli("get --everything").exit_code, 2);
}

TEST(CliGet, RefusesWhileTheProgramRuns) {
    CliWorld w;
    const std::string quillet = (w.data() / "quillet").string();
    std::vector<std::string> args{quillet, "--log"};
    std::vector<char*> argv{args[0].data(), args[1].data(), nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, quillet.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(test::wait_until(
        [&] { return file_text(w.data() / "logfile.txt").find("started") != std::string::npos; },
        30s));
    const test::ProgramResult refused = w.cli("get");
    const test::ProgramResult refused_move = w.cli("move --dry-run");
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(refused.exit_code, 1) << refused.output;
    EXPECT_NE(
        refused.output.find("the phone is in use by quillet (pid " + std::to_string(pid) + ")"),
        std::string::npos)
        << refused.output;

    EXPECT_EQ(refused_move.exit_code, 1) << refused_move.output;
    EXPECT_NE(refused_move.output.find("the phone is in use by quillet"), std::string::npos)
        << refused_move.output;

    // Once the program has ended, get runs.
    const test::ProgramResult after = w.cli("get");
    EXPECT_EQ(after.exit_code, 0) << after.output;
}

// --dry-run tells and deletes nothing; move then deletes what it told, from
// the Inbox only, and the boxes keep every message.
TEST(CliMove, DryRunTellsWhatMoveThenDeletes) {
    CliWorld w;
    const auto inbox_on_phone = [&] {
        return count_of(w.world().phone_ok({"list", "inbox", "--json"}), "\"IPM.SMSText\"");
    };
    const size_t before = inbox_on_phone();
    ASSERT_GT(before, 1u);
    const test::ProgramResult plan = w.cli("move --box inbox --keep-newest 1 --dry-run");
    ASSERT_EQ(plan.exit_code, 0) << plan.output;
    const std::string told = "would move " + std::to_string(before - 1) +
                             " messages off the phone: inbox " + std::to_string(before - 1) +
                             ", sent 0, deleted 0; oldest ";
    EXPECT_NE(plan.output.find(told), std::string::npos) << plan.output;
    EXPECT_EQ(inbox_on_phone(), before);

    const test::ProgramResult moved = w.cli("move --box=inbox --keep-newest 1");
    ASSERT_EQ(moved.exit_code, 0) << moved.output;
    EXPECT_EQ(moved.output.find("moved " + std::to_string(before - 1) + ", kept on the phone "), 0u)
        << moved.output;
    EXPECT_EQ(inbox_on_phone(), 1u);
    const test::ProgramResult again = w.cli("move --box inbox --keep-newest 1");
    EXPECT_EQ(again.exit_code, 0) << again.output;
    EXPECT_EQ(again.output.find("moved 0, kept on the phone "), 0u) << again.output;
    const test::ProgramResult listed = w.cli("search '' --box inbox --json");
    EXPECT_EQ(count_of(listed.output, "\"text\""), before) << listed.output;

    for (const char* bad : {"move --older-than soon", "move --keep-newest -1", "move now",
                            "move --data /tmp", "get --older-than 3"})
        EXPECT_EQ(w.cli(bad).exit_code, 2) << bad;
}

// restore onto an empty phone: --dry-run tells, restore writes, a second
// run writes nothing, and get then finds no new message.
TEST(CliRestore, WritesWhatTheNewPhoneLacksOnceAndGetFindsNothingNew) {
    CliWorld w;
    ASSERT_EQ(w.cli("get --contacts").exit_code, 0);
    w.world().phone_ok({"init", "--force"});
    w.world().phone_ok({"sim", "size", "2"});

    const test::ProgramResult plan = w.cli("restore --dry-run");
    ASSERT_EQ(plan.exit_code, 0) << plan.output;
    EXPECT_NE(plan.output.find("would write 29 messages to the phone: inbox 18, sent 11; 0 already "
                               "there"),
              std::string::npos)
        << plan.output;
    EXPECT_EQ(w.world().phone_ok({"list", "inbox"}), "0 rows\n");

    const test::ProgramResult restored = w.cli("restore --box inbox --contacts --sim");
    // The SIM takes 2 of the 8 numbers; two contacts share a number, which
    // the empty phone does not hold already.
    EXPECT_EQ(restored.exit_code, 1) << restored.output;
    EXPECT_NE(restored.output.find("restored 18 messages, 0 already there; 2 contacts, 0 already "
                                   "there, 6 not taken (full SIM or refused)"),
              std::string::npos)
        << restored.output;
    const test::ProgramResult again = w.cli("restore");
    EXPECT_EQ(again.exit_code, 0) << again.output;
    EXPECT_NE(again.output.find("restored 11 messages, 18 already there"), std::string::npos)
        << again.output;
    EXPECT_EQ(count_of(w.world().phone_ok({"list", "sent", "--json"}), "\"IPM.SMSText\""), 11u);

    const test::ProgramResult got = w.cli("get");
    EXPECT_NE(got.output.find("0 new imported messages"), std::string::npos) << got.output;
    for (const char* bad :
         {"restore --box deleted", "restore --sim", "restore --data /tmp", "move --conversation 1"})
        EXPECT_EQ(w.cli(bad).exit_code, 2) << bad;
}

// The plain texts of a JSON listing's `field` (texts with escapes left out).
std::set<std::string> texts_of(const std::string& json, const std::string& field) {
    std::set<std::string> out;
    const std::regex text("\"" + field + "\": \"([^\"\\\\]*)\"");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), text);
         it != std::sregex_iterator(); ++it)
        out.insert((*it)[1]);
    return out;
}

// move killed at any moment: every message is still on the phone or in a
// box file on disk, never in neither.
TEST(CliMove, KilledAtAnyStepEveryMessageIsOnThePhoneOrOnDisk) {
    for (const int ms : {0, 150, 300, 450, 600, 800, 1000}) {
        SCOPED_TRACE(ms);
        CliWorld w;
        const auto on_phone = [&] {
            std::string all;
            for (const char* folder : {"inbox", "sent", "deleted"})
                all += w.world().phone_ok({"list", folder, "--json"});
            return texts_of(all, "body");
        };
        const std::set<std::string> before = on_phone();
        ASSERT_GT(before.size(), 10u);
        const std::string cli = (w.data() / "quillet-cli").string();
        std::vector<std::string> args{cli, "move"};
        std::vector<char*> argv{args[0].data(), args[1].data(), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(::posix_spawn(&pid, cli.c_str(), nullptr, nullptr, argv.data(), environ), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);

        const std::set<std::string> phone = on_phone();
        const std::set<std::string> kept = texts_of(w.cli("--json search ''").output, "text");
        for (const std::string& text : before)
            EXPECT_TRUE(phone.contains(text) || kept.contains(text)) << text;
    }
}

TEST(CliExport, EveryFormatFromTheFetchedData) {
    CliWorld w;
    ASSERT_EQ(w.cli("get --contacts").exit_code, 0);

    const test::ProgramResult android =
        w.cli("export --format android --output " + quoted(w.out("backup.xml").string()));
    ASSERT_EQ(android.exit_code, 0) << android.output;
    const std::string backup = file_text(w.out("backup.xml"));
    const size_t messages = count_of(backup, "<sms protocol=");
    EXPECT_GT(messages, 0u);
    EXPECT_NE(android.output.find(std::to_string(messages) + " messages exported"),
              std::string::npos)
        << android.output;
    ASSERT_EQ(
        w.cli("export --format android --box all --output " + quoted(w.out("all.xml").string()))
            .exit_code,
        0);
    EXPECT_GT(count_of(file_text(w.out("all.xml")), "<sms protocol="), messages);

    const test::ProgramResult cards =
        w.cli("export --format vcard --output " + quoted(w.out("c.vcf").string()));
    ASSERT_EQ(cards.exit_code, 0) << cards.output;
    EXPECT_EQ(count_of(file_text(w.out("c.vcf")), "BEGIN:VCARD\r\n"),
              static_cast<size_t>(std::stoi(cards.output)));

    ASSERT_EQ(w.cli("export --format csv --box sent --output " + quoted(w.out("s.csv").string()))
                  .exit_code,
              0);
    EXPECT_FALSE(file_text(w.out("s.csv")).empty());
    EXPECT_EQ(w.cli("export --format csv --box all --output x.csv").exit_code, 2);

    // In Germany the national spelling is the same number as the stored
    // "+491701234567"; a number that only ends alike is someone else.
    const test::ProgramResult pdf = w.cli(
        "export --format pdf --number 0170-1234567 --output " + quoted(w.out("c.pdf").string()),
        "de_DE.UTF-8");
    ASSERT_EQ(pdf.exit_code, 0) << pdf.output;
    const test::ProgramResult stranger = w.cli(
        "export --format pdf --number 030-1234567 --output " + quoted(w.out("x.pdf").string()),
        "de_DE.UTF-8");
    EXPECT_EQ(stranger.exit_code, 1) << stranger.output;
    EXPECT_EQ(file_text(w.out("c.pdf")).substr(0, 5), "%PDF-");
    EXPECT_EQ(w.cli("export --format pdf --number 999 --output " + quoted(w.out("n.pdf").string()))
                  .exit_code,
              1);

    const test::ProgramResult archive =
        w.cli("export --format archive --output " + quoted(w.out("archive").string()));
    ASSERT_EQ(archive.exit_code, 0) << archive.output;
    EXPECT_TRUE(fs::exists(w.out("archive") / "README.txt"));
    EXPECT_FALSE(fs::is_empty(w.out("archive") / "conversations"));

    EXPECT_EQ(w.cli("export --format fax --output x").exit_code, 2);
    EXPECT_EQ(w.cli("export --format vcard --output " + quoted(w.out("no/such/x.vcf").string()))
                  .exit_code,
              1);
}

}  // namespace
}  // namespace quillet
