// "quillet-cli import" run as a program on odd paths: a FIFO given as a
// backup or lying in a folder of backups is named and skipped at once, and
// a file name holding escape sequences reaches the terminal escaped; what it
// keeps, under the usual umask, only its owner may read.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>

#include "tests/cli/cli_run.h"
#include "tests/store/fifo_watchdog.h"
#include "tests/store/store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;
using namespace std::chrono_literals;

// Standard output and error together, from a copy of the program in the
// test's own program folder: the build's program folder may hold an earlier
// version's boxes, which a run from there would move.
std::string cli_copy(const AppFolders& folders) {
    const fs::path cli = folders.program() / "quillet-cli";
    if (!fs::exists(cli))
        fs::copy_file(fs::path(QUILLET_PROGRAM_DIR) / "quillet-cli", cli);
    return "'" + cli.string() + "'";
}

CliRun import(const AppFolders& folders, const std::string& path) {
    return run_shell("timeout 30 " + cli_copy(folders) + " import '" + path + "' 2>&1 </dev/null");
}

const std::string kGammu =
    "[SMSBackup000]\nNumber = \"+491701234567\"\nDateTime = 20240101T000000Z\n"
    "PDU = Deliver\nText00 = 00480069\n";

TEST(CliImport, AFifoIsNamedAndSkippedAtOnce) {
    AppFolders folders;
    const fs::path backups = folders.program().parent_path() / "backups";
    fs::create_directories(backups);
    write_file(backups / "a.smsbackup", kGammu);
    struct Case {
        const char* what;
        fs::path fifo;
        std::string path;  // what is imported
        int status;
        const char* added;
    } cases[] = {
        {"the FIFO itself", backups / "f.fifo", (backups / "f.fifo").string(), 1, nullptr},
        {"a folder holding it", backups / "g.fifo", backups.string(), 1, "added 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Opened from the other side after 5 s: an import that blocked
        // would go on then, too late.
        FifoWatchdog watchdog(c.fifo, 5000ms, 100ms);
        const auto start = std::chrono::steady_clock::now();
        const CliRun run = import(folders, c.path);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
        EXPECT_TRUE(watchdog.finish()) << "the import blocked on the FIFO";
        EXPECT_EQ(run.status, c.status) << run.out;
        EXPECT_NE(run.out.find(c.fifo.filename().string() + ": a named pipe, not a file: skipped"),
                  std::string::npos)
            << run.out;
        if (c.added) {
            EXPECT_NE(run.out.find(c.added), std::string::npos) << run.out;
        }
        fs::remove(c.fifo);
    }
    // A path that is not there is said to be missing, not "not a backup".
    const CliRun missing = import(folders, (backups / "gone.xml").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("gone.xml: there is no such file or folder"), std::string::npos)
        << missing.out;
}

TEST(CliImport, AFileNameReachesTheTerminalEscaped) {
    AppFolders folders;
    const fs::path file = folders.program().parent_path() / "x\x1b]0;owned\x07\x1b[2J.smsbackup";
    write_file(file, kGammu);
    const CliRun run = import(folders, file.string());
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(run.out.find('\x07'), std::string::npos);
    EXPECT_NE(run.out.find("x\\u001b]0;owned\\u0007\\u001b[2J.smsbackup"), std::string::npos)
        << run.out;
}

mode_t mode_of(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Other local users read no message: the data folder is made 0700 and what
// is kept in it (boxes, contacts, import records, pictures) opens to its
// owner alone, whatever the umask lets files be. A folder the user opened
// wider is left as it is.
TEST(CliImport, WhatIsKeptIsTheOwnersAlone) {
    AppFolders folders;
    const fs::path from = folders.program().parent_path();
    write_file(from / "a.smsbackup", kGammu);
    write_file(from / "b.xml",
               "<smses count=\"1\"><mms date=\"1704067200000\" msg_box=\"1\" read=\"1\" "
               "address=\"+4930777\"><parts><part seq=\"0\" ct=\"image/png\" name=\"a.png\" "
               "data=\"QUJD\"/></parts></mms></smses>");
    write_file(from / "c.vcf", "BEGIN:VCARD\nVERSION:3.0\nFN:Ann\nTEL:+4930111\nEND:VCARD\n");
    const fs::path data = from / "xdg/quillet";
    const std::string cli = "umask 022; XDG_DATA_HOME='" + (from / "xdg").string() + "' " +
                            cli_copy(folders) + " import ";
    const CliRun run =
        run_shell(cli + "'" + (from / "a.smsbackup").string() + "' '" + (from / "b.xml").string() +
                  "' '" + (from / "c.vcf").string() + "' 2>&1");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(mode_of(data), 0700u);
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        EXPECT_EQ(mode_of(entry.path()) & 077, 0u) << entry.path();
        files += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_GT(files, 8u);  // three boxes, contacts, records, the picture
    EXPECT_TRUE(fs::exists(data / "contacts.sql"));

    fs::remove_all(data);
    fs::create_directories(data);
    fs::permissions(data, fs::perms(0755));
    ASSERT_EQ(run_shell(cli + "'" + (from / "a.smsbackup").string() + "' 2>&1").status, 0);
    EXPECT_EQ(mode_of(data), 0755u);
}

}  // namespace
}  // namespace quillet
