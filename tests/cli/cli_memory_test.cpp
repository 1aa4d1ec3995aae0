// quillet-cli run as a program with its address space capped (`ulimit -v`)
// over a data folder of 100,000 messages: at every cap each command either
// does its work or says there was not enough memory, exits 1 and leaves the
// data folder and the export's target as they were; none ends by a signal.
#include <gtest/gtest.h>

#include <set>

#include "desktop/store/sms_box.h"
#include "protocol/text_codec.h"
#include "tests/cli/cli_run.h"
#include "tests/store/store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

constexpr int kMessages = 100'000;

// The data folder's files by name, each with a hash of its bytes; the
// program and lock files aside.
std::map<std::string, size_t> folder_files(const fs::path& data) {
    std::map<std::string, size_t> files;
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        const std::string name = fs::relative(entry.path(), data).string();
        if (entry.is_regular_file() && name.find(".quillet-") == std::string::npos &&
            name != "quillet-cli")
            files[name] = std::hash<std::string>()(file_contents(entry.path()));
    }
    return files;
}

// The data folder as it was: a successful import is taken back whole.
void put_back(const fs::path& data, const std::map<std::string, std::string>& files) {
    fs::remove_all(data / "imports");
    for (const auto& entry : fs::directory_iterator(data)) {
        if (entry.is_regular_file() && entry.path().filename().string().ends_with(".sms"))
            fs::remove(entry.path());
    }
    for (const auto& [name, bytes] : files)
        write_file(data / name, bytes);
}

std::string gammu_backup(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        std::string hex;
        for (const char c : "backup message " + std::to_string(i)) {
            char four[5];
            std::snprintf(four, sizeof four, "%04X", static_cast<unsigned char>(c));
            hex += four;
        }
        out += "[SMSBackup" + std::to_string(i) + "]\nNumber = \"+4930" + std::to_string(i % 700) +
               "\"\nDateTime = 20230101T0" + std::to_string(i % 10) +
               "0000Z\nPDU = Deliver\nText00 = " + hex + "\n\n";
    }
    return out;
}

TEST(CliUnderMemoryPressure, EveryCommandSaysSoAndChangesNothing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any cap allows";
#endif
    AppFolders folders;
    const fs::path program = folders.program();
    fs::copy_file(fs::path(QUILLET_PROGRAM_DIR) / "quillet-cli", program / "quillet-cli");
    write_file(program / "portable", "");
    SmsBox inbox(BoxKind::Inbox);
    for (int i = 0; i < kMessages; ++i)
        inbox.append(message(from_utf8("kept message " + std::to_string(i)),
                             "+4917" + std::to_string(i % 1000),
                             filetime_from_unix(1'600'000'000 + i)));
    ASSERT_TRUE(inbox.save_box_file(program / "inbox1.sms"));
    ASSERT_TRUE(SmsBox(BoxKind::SentItems).save_box_file(program / "sent1.sms"));
    ASSERT_TRUE(SmsBox(BoxKind::DeletedItems).save_box_file(program / "deleted1.sms"));
    const fs::path backup = program.parent_path() / "more.smsbackup";
    write_file(backup, gammu_backup(30'000));
    const fs::path exported = program.parent_path() / "out.csv";
    std::map<std::string, std::string> boxes;
    for (const char* name : {"inbox1.sms", "sent1.sms", "deleted1.sms"})
        boxes[name] = file_contents(program / name);
    const std::map<std::string, size_t> before = folder_files(program);

    // The smallest cap, in steps of 8 MiB, under which the program starts.
    const std::string cli = "'" + (program / "quillet-cli").string() + "'";
    const auto capped = [&](long kib, const std::string& args) {
        return run_shell("ulimit -v " + std::to_string(kib) + "; " + cli + " " + args +
                         " 2>&1 </dev/null");
    };
    long base = 16 * 1024;
    while (base < 1024 * 1024 && capped(base, "--help").status != 0)
        base += 8 * 1024;
    ASSERT_LT(base, 1024 * 1024);

    const std::vector<std::string> commands = {
        "search message",
        "conversations",
        "show +4917999",
        "--json search 42",
        "export --format csv --output '" + exported.string() + "'",
        "import '" + backup.string() + "'"};
    for (const std::string& command : commands) {
        std::set<int> seen;
        for (long kib = base; kib <= base + 96 * 1024; kib += 12 * 1024) {
            fs::remove(exported);
            const CliRun run = capped(kib, command);
            seen.insert(run.status);
            const std::string where = command + " under " + std::to_string(kib) + " KiB";
            EXPECT_EQ(run.out.find("terminate called"), std::string::npos) << where << run.out;
            ASSERT_TRUE(run.status == 0 || run.status == 1) << where << ": " << run.out;
            if (run.status == 0) {
                if (command.starts_with("import"))
                    put_back(program, boxes);
                continue;
            }
            EXPECT_NE(run.out.find("not enough memory"), std::string::npos) << where << run.out;
            EXPECT_FALSE(fs::exists(exported)) << where;
            EXPECT_EQ(folder_files(program), before) << where << run.out;
        }
        // The caps reach from too little to enough.
        EXPECT_EQ(seen, (std::set<int>{0, 1})) << command;
    }
}

}  // namespace
}  // namespace quillet
