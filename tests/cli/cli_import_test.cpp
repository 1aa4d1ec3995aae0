// "quillet-cli import" run as a program on odd paths: a FIFO given as a
// backup or lying in a folder of backups is named and skipped at once, and
// a file name holding escape sequences reaches the terminal escaped.
#include <gtest/gtest.h>

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
CliRun import(const AppFolders& folders, const std::string& path) {
    const fs::path cli = folders.program() / "quillet-cli";
    if (!fs::exists(cli))
        fs::copy_file(fs::path(QUILLET_PROGRAM_DIR) / "quillet-cli", cli);
    return run_shell("timeout 30 '" + cli.string() + "' import '" + path + "' 2>&1 </dev/null");
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

}  // namespace
}  // namespace quillet
