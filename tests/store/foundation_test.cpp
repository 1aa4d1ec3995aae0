// The desktop's shared helpers: exception texts, paths, the log, saving and
// the shown date.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "desktop/store/app_paths.h"
#include "desktop/store/log_file.h"
#include "desktop/store/orx_exception.h"
#include "desktop/store/safe_file.h"
#include "desktop/store/shown_time.h"
#include "store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

TEST(OrxExceptionTest, MessageIsCutTo255AndThePrefixedFormTo511) {
    const ORX_Exception e(std::u16string(300, u'm'));
    EXPECT_EQ(e.message().size(), 255u);
    const std::u16string prefixed = e.with_prefix(std::u16string(400, u'p'));
    EXPECT_EQ(prefixed.size(), 511u);
    EXPECT_EQ(prefixed.substr(0, 400), std::u16string(400, u'p'));
    const ORX_Exception short_one("Could not connect");
    EXPECT_EQ(short_one.with_prefix(u"Details:\n"), u"Details:\nCould not connect");
    EXPECT_STREQ(short_one.what(), "Could not connect");
}

TEST(AppPathsTest, NamesResolveInTheDataFolderWithBackslashesAsSeparators) {
    TempFolder program, data;
    set_app_folders_for_testing(program.path(), data.path());
    EXPECT_EQ(app_file_path(u"templates\\tmp.html"), data.path() / "templates/tmp.html");
    EXPECT_EQ(app_relative_path("options.cfg"), data.path() / "options.cfg");
    EXPECT_EQ(resource_path(u"ondevice\\phonelet.exe"), program.path() / "ondevice/phonelet.exe");
    EXPECT_EQ(app_file_path(u"/abs/file"), fs::path("/abs/file"));
}

TEST(LogFileTest, SwitchedOffItCreatesNoFileAndOpenSucceeds) {
    TempFolder program, data;
    set_app_folders_for_testing(program.path(), data.path());
    LogFile log;
    EXPECT_TRUE(log.open("logfile.txt"));
    log.log_line("===\nQuillet! started");
    log.close();
    EXPECT_FALSE(fs::exists(data.path() / "logfile.txt"));
}

TEST(LogFileTest, TwoRunsAppendTwoBlocksWithCrLf) {
    TempFolder program, data;
    set_app_folders_for_testing(program.path(), data.path());
    for (int run = 0; run < 2; ++run) {
        LogFile log;
        log.set_enabled(true);
        ASSERT_TRUE(log.open("logfile.txt"));
        log.log_line("===\nQuillet! started");
        log.log_line("Quillet Ended\n===");
        log.close();
    }
    const std::string block = "===\r\nQuillet! started\r\nQuillet Ended\r\n===\r\n";
    EXPECT_EQ(file_contents(data.path() / "logfile.txt"), block + block);
}

TEST(LogFileTest, UnopenableFileDropsEntries) {
    TempFolder program, data;
    set_app_folders_for_testing(program.path(), data.path() / "missing");
    LogFile log;
    log.set_enabled(true);
    EXPECT_FALSE(log.open("logfile.txt"));
    log.log_line("dropped");  // must not crash
}

TEST(SafeFileTest, SaveReplacesTheFileWhole) {
    TempFolder dir;
    const fs::path p = dir.path() / "box.sms";
    ASSERT_TRUE(save_file_atomically(p, std::string_view("old contents")));
    ASSERT_TRUE(save_file_atomically(p, std::string_view("new")));
    EXPECT_EQ(file_contents(p), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SafeFileTest, FailedSaveLeavesTheOldFileAndSaysWhy) {
    TempFolder dir;
    // A folder in the way of the rename: the save cannot finish.
    const fs::path p = dir.path() / "blocked";
    fs::create_directory(p);
    fs::path inside = p / "keep";
    std::ofstream(inside) << "kept";
    const Outcome r = save_file_atomically(p, std::string_view("new"));
    EXPECT_FALSE(r);
    EXPECT_NE(r.what().find("blocked"), std::string::npos);
    EXPECT_EQ(file_contents(inside), "kept");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    const Outcome missing =
        save_file_atomically(dir.path() / "no/such/folder/x", std::string_view("x"));
    EXPECT_FALSE(missing);
}

TEST(ShownTimeTest, LocalDayAndLocalClock) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    const struct {
        const char* zone;
        const char16_t* shown;
    } cases[] = {{"CET-1", u"03/15/26 00:30"},
                 {"UTC0", u"03/14/26 23:30"},
                 {"JST-9", u"03/15/26 08:30"},
                 {"EST5", u"03/14/26 18:30"}};
    // 2026-03-14 23:30:00 UTC
    const FileTime t = filetime_from_unix(1'773'531'000);
    for (const auto& c : cases) {
        setenv("TZ", c.zone, 1);
        tzset();
        EXPECT_EQ(shown_date_time(t), c.shown) << c.zone;
    }
    if (old) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

// Regression: a folder where a settings file belongs made the reader ask for
// an absurd allocation.
TEST(SafeFileTest, WholeFileReaderRefusesFoldersAndOversizedFiles) {
    TempFolder dir;
    std::string out;
    EXPECT_FALSE(read_whole_file(dir.path(), out));
    EXPECT_FALSE(read_whole_file(dir.path() / "missing", out));
    const fs::path file = dir.path() / "small";
    std::ofstream(file, std::ios::binary) << "0123456789";
    EXPECT_FALSE(read_whole_file(file, out, 9));
    ASSERT_TRUE(read_whole_file(file, out, 10));
    EXPECT_EQ(out, "0123456789");
}

}  // namespace
}  // namespace quillet
