// Damaged and foreign files by fault class: wrong record counts in box and
// contacts files, FIFOs in a data file's place, a box too large for the
// memory at hand, and a settings file that cannot be read. Every case checks
// that nothing the file held is lost: read, kept aside, or left untouched.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <thread>

#include "desktop/store/box_file.h"
#include "desktop/store/config_list.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/log_file.h"
#include "desktop/store/options.h"
#include "desktop/store/sms_box.h"
#include "fifo_watchdog.h"
#include "store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

constexpr FileTime kTime = 133'000'000'001'234'567ULL;

std::string preamble(std::string_view header, int32_t count) {
    return std::string(header) + le32(3) + le32(1) + le32(static_cast<uint32_t>(count));
}

std::string record110(int n) {
    const std::u16string text = u"message " + std::u16string(1, static_cast<char16_t>(u'A' + n));
    return le32(static_cast<uint32_t>(2 * (text.size() + 1))) + utf16le(text) +
           std::string(2, '\0') + field32("+4915" + std::to_string(n)) + le64(kTime + n) + '\1' +
           '\1' + '\0' + std::string(16, static_cast<char>(n));
}

std::span<const uint8_t> as_bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

std::string records110(int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += record110(i);
    return out;
}

std::string record100(int n) {
    std::string block = "old " + std::to_string(n);
    block.resize(kBox100TextBlock, '\0');
    return std::string("\x07") + "ab" + '\0' + block + "xy " + field32("0171") + le64(kTime) +
           '\1' + '\0';
}

// A count that is wrong never costs a record: all complete records are read,
// the load says the file is damaged, the file as found is kept aside, and the
// next save and load give every record back.
TEST(WrongCountTest, EveryCompleteRecordOfABoxIsReadAndSaved) {
    struct Case {
        const char* name;
        std::string bytes;
        size_t records;
    };
    const std::vector<Case> cases = {
        {"count -1", preamble(kBoxHeader110, -1) + records110(10), 10},
        {"count 0", preamble(kBoxHeader110, 0) + records110(10), 10},
        {"count smallest int", preamble(kBoxHeader110, INT32_MIN) + records110(2), 2},
        {"count 3 of 10", preamble(kBoxHeader110, 3) + records110(10), 10},
        {"count 9 of 10", preamble(kBoxHeader110, 9) + records110(10), 10},
        {"count 0, then a torn record", preamble(kBoxHeader110, 0) + records110(4) + "\x10\0", 4},
        {"right count, then stray bytes", preamble(kBoxHeader110, 5) + records110(5) + "zz", 5},
        {"1.00, count 0", preamble(kBoxHeader100, 0) + record100(1) + record100(2), 2},
        {"1.00, count 1 of 3",
         preamble(kBoxHeader100, 1) + record100(1) + record100(2) + record100(3), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppFolders folders;
        write_file(folders.data() / "sent1.sms", c.bytes);
        SmsBox box(BoxKind::SentItems);
        const LoadBoxResult r = box.load_box(u"sent1.sms");
        EXPECT_EQ(r.status, LoadBoxResult::Status::Damaged);
        EXPECT_FALSE(r.outcome.what().empty());
        EXPECT_EQ(r.records, c.records);
        ASSERT_EQ(r.kept_aside, folders.data() / "sent1.sms.damaged-1");
        EXPECT_EQ(file_contents(r.kept_aside), c.bytes);
        EXPECT_EQ(box.sort_column(), 3);

        ASSERT_TRUE(box.save_box(u"sent1.sms"));
        SmsBox again(BoxKind::SentItems);
        EXPECT_EQ(again.load_box(u"sent1.sms").status, LoadBoxResult::Status::Loaded);
        ASSERT_EQ(again.count(), c.records);
        for (size_t i = 0; i < again.count(); ++i)
            EXPECT_EQ(again.message_at(i).text_view(), box.message_at(i).text_view());
    }
}

TEST(WrongCountTest, AnEmptyBoxWithCountZeroIsWholeAndAnyOtherCountIsNot) {
    const std::string zero = preamble(kBoxHeader110, 0);
    const std::string negative = preamble(kBoxHeader110, -1);
    const std::string one = preamble(kBoxHeader110, 1);
    EXPECT_TRUE(decode_box_file(as_bytes(zero)).damage.empty());
    EXPECT_FALSE(decode_box_file(as_bytes(negative)).damage.empty());
    EXPECT_FALSE(decode_box_file(as_bytes(one)).damage.empty());
}

TEST(WrongCountTest, EveryCompleteContactIsReadAndTheFileKeptAside) {
    const auto contacts_file = [](int32_t count, int records, std::string_view tail = {}) {
        std::string out = "quillet version 1.00" + le32(static_cast<uint32_t>(count));
        for (int i = 0; i < records; ++i)
            out += field32("Name " + std::to_string(i)) + field32(std::to_string(1000 + i));
        return out + std::string(tail);
    };
    struct Case {
        const char* name;
        std::string bytes;
        size_t records;
    };
    const std::vector<Case> cases = {
        {"count -4", contacts_file(-4, 1), 1},
        {"count 0", contacts_file(0, 3), 3},
        {"count 1 of 3", contacts_file(1, 3), 3},
        {"right count, then half a record", contacts_file(3, 3, std::string(40, 'x')), 3},
        {"count beyond the records", contacts_file(7, 2), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppFolders folders;
        write_file(folders.data() / "contacts.sql", c.bytes);
        ContactList list;
        const LoadContactsResult r = list.load_contacts(u"contacts.sql");
        EXPECT_EQ(r.status, LoadContactsResult::Status::Damaged);
        EXPECT_FALSE(r.outcome.what().empty());
        EXPECT_EQ(list.count(), c.records);
        ASSERT_EQ(r.kept_aside, folders.data() / "contacts.sql.damaged-1");
        EXPECT_EQ(file_contents(r.kept_aside), c.bytes);
    }
}

// A FIFO in a data file's place is let go after 3 s, then held open 200 ms.
constexpr std::chrono::milliseconds kFifoPatience(3000);
constexpr std::chrono::milliseconds kFifoHold(200);

TEST(FifoTest, AFifoInADataFilesPlaceNeverBlocksAndIsReported) {
    AppFolders folders;
    {
        FifoWatchdog fifo(folders.data() / "inbox1.sms", kFifoPatience, kFifoHold);
        SmsBox box(BoxKind::Inbox);
        const LoadBoxResult r = box.load_box(u"inbox1.sms");
        EXPECT_TRUE(fifo.finish()) << "loading the box blocked";
        EXPECT_EQ(r.status, LoadBoxResult::Status::Unreadable);
        EXPECT_EQ(r.kept_aside, folders.data() / "inbox1.sms.unknown-1");
        EXPECT_TRUE(fs::is_fifo(r.kept_aside));
    }
    {
        FifoWatchdog fifo(folders.data() / "contacts.sql", kFifoPatience, kFifoHold);
        ContactList list;
        const LoadContactsResult r = list.load_contacts(u"contacts.sql");
        EXPECT_TRUE(fifo.finish()) << "loading the contacts blocked";
        EXPECT_EQ(r.status, LoadContactsResult::Status::Unreadable);
    }
    {
        FifoWatchdog fifo(folders.data() / "options.cfg", kFifoPatience, kFifoHold);
        Options options;
        EXPECT_FALSE(load_options(options));
        EXPECT_FALSE(save_options(options));  // a file it could not read is not replaced
        EXPECT_TRUE(fifo.finish()) << "the settings blocked";
        EXPECT_TRUE(fs::is_fifo(folders.data() / "options.cfg"));
    }
    {
        FifoWatchdog fifo(folders.data() / "logfile.txt", kFifoPatience, kFifoHold);
        LogFile log;
        log.set_enabled(true);
        EXPECT_FALSE(log.open("logfile.txt"));
        EXPECT_TRUE(fifo.finish()) << "opening the log blocked";
    }
}

// A settings file that is there but cannot be read is never rewritten with
// only the keys of the one who saves: its other keys would be lost.
TEST(SettingsFileTest, AnUnreadableFileKeepsAllItsKeys) {
    AppFolders folders;
    const fs::path file = folders.data() / "options.cfg";
    const std::string keys = "contacts_sort = 1\r\nimport_inbox = 0\r\nmy_own_key = 7\r\n";
    write_file(file, keys);
    fs::resize_file(file, kMaxWholeFile + 1);  // sparse: too large to be read
    Options options;
    EXPECT_FALSE(load_options(options));
    const OptionsSaveResult saved = save_options(options);
    EXPECT_FALSE(saved);
    EXPECT_NE(saved.file.what().find("could not be read"), std::string::npos);
    const Outcome sort = update_config(
        "options.cfg", [](ConfigList& list) { list.set_bool("contacts_sort", false); });
    EXPECT_FALSE(sort);
    EXPECT_EQ(fs::file_size(file), kMaxWholeFile + 1);
    std::ifstream in(file, std::ios::binary);
    std::string head(keys.size(), '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    EXPECT_EQ(head, keys);

    // Missing is no reason to refuse.
    fs::remove(file);
    EXPECT_TRUE(save_options(options));
}

// Out of memory while a large box is read: the load says so, the file stays
// where it is, whole, and the box is not saved over it. Played in a child
// process whose address space is too small for the file.
TEST(OutOfMemoryTest, ABoxTooLargeForMemoryIsReportedAndKept) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator ends the process where memory runs out "
                    "instead of throwing std::bad_alloc";
#endif
    AppFolders folders;
    const fs::path file = folders.data() / "inbox1.sms";
    const std::string start = preamble(kBoxHeader110, 2) + records110(2);
    write_file(file, start);
    constexpr uintmax_t kSize = uintmax_t{1} << 30;
    fs::resize_file(file, kSize);  // sparse

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = rlim_t{512} << 20;
        ::setrlimit(RLIMIT_AS, &limit);
        SmsBox box(BoxKind::Inbox);
        const LoadBoxResult r = box.load_box(u"inbox1.sms");
        const bool reported = r.status == LoadBoxResult::Status::Unreadable &&
                              r.outcome.what().find("memory") != std::string::npos &&
                              r.kept_aside.empty() && box.count() == 0;
        const bool refused = !box.save_box(u"inbox1.sms").ok();
        ::_exit(reported && refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(fs::file_size(file), kSize);
    std::ifstream in(file, std::ios::binary);
    std::string head(start.size(), '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    EXPECT_EQ(head, start);
    EXPECT_FALSE(fs::exists(folders.data() / "inbox1.sms.unknown-1"));
}

}  // namespace
}  // namespace quillet
