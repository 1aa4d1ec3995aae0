// Where "quillet-cli export --output" may write, run as a program on real
// files: never through another user's link in a shared folder, never over
// anything that is not a regular file, and "-" for standard output.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include <cstdio>

#include "desktop/formats/csv_xml_export.h"
#include "desktop/store/sms_box.h"
#include "tests/cli/cli_run.h"
#include "tests/store/other_user.h"
#include "tests/store/store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

CliRun export_csv_to(const fs::path& data, const std::string& output) {
    return run_shell("'" + std::string(QUILLET_PROGRAM_DIR) + "/quillet-cli' --data '" +
                     data.string() + "' export --format csv --output '" + output + "' 2>/dev/null");
}

class CliOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SmsMessage m;
        m.set_text(u"$(touch /tmp/owned)");
        m.set_number("+4915112345678");
        inbox_.append(m);
        ASSERT_TRUE(inbox_.save_box(u"inbox1.sms"));
        shared_ = folders_.data().parent_path() / "shared";
        fs::create_directory(shared_);
        ::chmod(shared_.c_str(), 01777);
        victim_ = folders_.data().parent_path() / "bashrc";
        write_file(victim_, "victim's own\n");
    }

    AppFolders folders_;
    SmsBox inbox_{BoxKind::Inbox};
    fs::path shared_;
    fs::path victim_;
};

TEST_F(CliOutputTest, AnotherUsersLinkInASharedFolderIsNeverFollowed) {
    const std::optional<uid_t> other = other_user();
    if (!other)
        GTEST_SKIP() << kNeedsRoot;
    const fs::path planted = shared_ / "messages.csv";
    fs::create_symlink(victim_, planted);
    ASSERT_EQ(::lchown(planted.c_str(), *other, *other), 0);
    EXPECT_EQ(export_csv_to(folders_.data(), planted).status, 1);
    EXPECT_EQ(file_contents(victim_), "victim's own\n");
    EXPECT_TRUE(fs::is_symlink(planted));

    // The user's own link there is followed as before.
    ASSERT_EQ(::lchown(planted.c_str(), ::geteuid(), ::getegid()), 0);
    EXPECT_EQ(export_csv_to(folders_.data(), planted).status, 0);
    EXPECT_EQ(file_contents(victim_), csv_bytes(inbox_, ContactList()));
}

TEST_F(CliOutputTest, NothingButARegularFileIsReplaced) {
    struct Case {
        const char* what;
        mode_t type;
    };
    for (const Case c : {Case{"fifo", S_IFIFO}, Case{"device", S_IFCHR}}) {
        SCOPED_TRACE(c.what);
        if (c.type == S_IFCHR && ::geteuid() != 0)
            continue;  // only root makes device nodes
        const fs::path node = shared_ / c.what;
        ASSERT_EQ(::mknod(node.c_str(), c.type | 0666, ::makedev(1, 3)), 0);
        EXPECT_EQ(export_csv_to(folders_.data(), node).status, 1);
        struct stat st {};
        ASSERT_EQ(::lstat(node.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & S_IFMT, c.type);
    }
}

TEST_F(CliOutputTest, DashWritesTheExportToStandardOutput) {
    const CliRun run = export_csv_to(folders_.data(), "-");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, csv_bytes(inbox_, ContactList()));
}

}  // namespace
}  // namespace quillet
