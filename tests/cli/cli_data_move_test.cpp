// Every program that opens the data folder settles it first: quillet-cli
// finds an earlier run's boxes in its program folder, and a kill at any step
// of the one-time move hides no message from the next start.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdio>
#include <map>

#include "desktop/store/sms_box.h"
#include "protocol/text_codec.h"
#include "tests/store/store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

// Runs `command` through the shell; its exit status (-1 when it could not run).
int shell(const std::string& command, std::string* out = nullptr) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        if (out != nullptr)
            out->append(buffer, n);
    }
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A program folder with its own quillet-cli and an earlier run's three
// boxes beside it; XDG_DATA_HOME of its own.
class EarlierRun : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(program());
        fs::copy_file(fs::path(QUILLET_PROGRAM_DIR) / "quillet-cli", program() / "quillet-cli");
        int n = 0;
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
            SmsBox box(kind);
            for (int i = 0; i < 4; ++i, ++n) {
                SmsMessage m;
                m.set_text(from_utf8("earlier " + std::to_string(n)));
                m.set_number("+49170100" + std::to_string(n));
                m.set_time(filetime_from_unix(1'767'323'045 + n));
                box.append(m);
            }
            ASSERT_TRUE(box.save_box_file(program() / to_utf8(box_file_name(kind))));
        }
        write_file(program() / "options.cfg", "contacts_sort = 1\r\n");
    }

    fs::path program() const { return temp_.path() / "program"; }
    fs::path data() const { return temp_.path() / "xdg/quillet"; }
    // No phone anywhere: a command that reaches for one finds none.
    std::string run(const std::string& prefix, const std::string& args,
                    const std::string& errors = "2>/dev/null") const {
        return "XDG_DATA_HOME='" + (temp_.path() / "xdg").string() + "' HOME='" +
               temp_.path().string() + "' XDG_RUNTIME_DIR= QUILLET_PLATFORM_ROOT='" +
               (temp_.path() / "no-phone").string() + "' " + prefix + " '" +
               (program() / "quillet-cli").string() + "' " + args + " " + errors;
    }
    // Every file under `folder` with a hash of its bytes.
    static std::map<std::string, size_t> files_in(const fs::path& folder) {
        std::map<std::string, size_t> files;
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
            if (entry.is_regular_file())
                files[fs::relative(entry.path(), folder).string()] =
                    std::hash<std::string>()(file_contents(entry.path()));
        }
        return files;
    }
    // How many earlier messages a plain search finds.
    size_t found() const {
        std::string out;
        EXPECT_EQ(shell(run("", "search earlier"), &out), 0);
        return static_cast<size_t>(std::count(out.begin(), out.end(), '\n'));
    }

    TempFolder temp_;
};

TEST_F(EarlierRun, TheCommandLineMovesTheEarlierBoxesBeforeReading) {
    EXPECT_EQ(found(), 12u);
    EXPECT_TRUE(fs::exists(data() / "inbox1.sms"));
    EXPECT_FALSE(fs::exists(program() / "inbox1.sms"));
    EXPECT_EQ(file_contents(data() / "options.cfg"), "contacts_sort = 1\r\n");
}

// A dry run changes nothing: the earlier boxes are read where they are, the
// run says the move is still to be done, and the first real command does it.
TEST_F(EarlierRun, ADryRunLeavesTheMoveToTheFirstRealCommand) {
    const fs::path backup = temp_.path() / "backup.xml";
    write_file(backup,
               "<smses count=\"2\"><sms address=\"+491701000\" date=\"1767323045000\" "
               "type=\"1\" body=\"earlier 0\" read=\"1\"/><sms address=\"+4930555\" "
               "date=\"1767329999000\" type=\"1\" body=\"new\" read=\"1\"/></smses>");
    const std::map<std::string, size_t> program_before = files_in(program());
    struct DryRun {
        std::string args;
        std::string says;  // besides the pending move
    };
    const DryRun runs[] = {
        {"import '" + backup.string() + "' --dry-run", "added 1, already kept 1"},
        {"import --undo 1 --dry-run", ""},
        {"move --dry-run", "could not be reached"},
        {"restore --dry-run", "could not be reached"},
    };
    for (const DryRun& dry : runs) {
        std::string said;
        shell(run("", dry.args, "2>&1"), &said);
        EXPECT_NE(said.find("still to be moved from " + program().string()), std::string::npos)
            << dry.args << ": " << said;
        EXPECT_NE(said.find(dry.says), std::string::npos) << dry.args << ": " << said;
        EXPECT_EQ(files_in(program()), program_before) << dry.args;
        EXPECT_FALSE(fs::exists(data())) << dry.args;
    }
    EXPECT_EQ(found(), 12u);
    EXPECT_TRUE(fs::exists(data() / "inbox1.sms"));
    EXPECT_FALSE(fs::exists(program() / "inbox1.sms"));
}

// Killed at each placement, each removal and the journal's own saving: the
// next start finishes the move, and no message is ever hidden.
TEST_F(EarlierRun, AKillAtAnyStepOfTheMoveHidesNothing) {
    if (shell("strace -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace is not installed";
    const fs::path pristine = temp_.path() / "pristine";
    fs::copy(program(), pristine, fs::copy_options::recursive);
    int kills = 0;
    for (const char* call : {"link", "unlink", "rename"}) {
        for (int when = 1; when <= 8; ++when) {
            fs::remove_all(program());
            fs::remove_all(temp_.path() / "xdg");
            fs::copy(pristine, program(), fs::copy_options::recursive);
            const std::string strace = "strace -f -o /dev/null -e inject=" + std::string(call) +
                                       ":signal=KILL:when=" + std::to_string(when);
            // Only a kill counts: a program built with AddressSanitizer also
            // fails its leak check under strace, which cannot run there.
            if (shell(run(strace, "conversations")) == 128 + SIGKILL)
                ++kills;
            EXPECT_EQ(found(), 12u) << "killed at " << call << " " << when;
            EXPECT_FALSE(fs::exists(data() / ".quillet-move-journal")) << call << " " << when;
            EXPECT_EQ(file_contents(data() / "options.cfg"), "contacts_sort = 1\r\n")
                << call << " " << when;
        }
    }
    EXPECT_GT(kills, 6);  // the kills did land inside the move
}

}  // namespace
}  // namespace quillet
