// The use cases below the window: the save rule with another writer of the
// data folder, and Get SMS and deletion against the real agent.
#include <gtest/gtest.h>

#include <atomic>

#include "desktop/library/background_save.h"
#include "desktop/library/importer.h"
#include "desktop/library/message_library.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/box_file.h"
#include "protocol/text_codec.h"
#include "tests/link/link_test_support.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;

SmsMessage message(int i) {
    SmsMessage m;
    m.set_text(from_utf8("message " + std::to_string(i)));
    m.set_number("+4917012345" + std::to_string(i % 10));
    m.set_time(133'000'000'000'000'000ULL + static_cast<FileTime>(i) * 10'000'000ULL);
    return m;
}

std::vector<SmsMessage> read_back(const fs::path& path) {
    std::string error;
    std::optional<DecodedBox> box = read_box_file(path, error);
    EXPECT_TRUE(box) << error;
    return box ? box->messages : std::vector<SmsMessage>{};
}

// A library over its own folder with `count` Inbox messages saved there.
MessageLibrary saved_library(const fs::path& folder, int count) {
    MessageLibrary library(folder);
    library.load_box(BoxKind::Inbox);
    for (int i = 0; i < count; ++i)
        library.box(BoxKind::Inbox).append(message(i));
    EXPECT_TRUE(library.save_changed().ok());
    return library;
}

class LibraryFolder : public ::testing::Test {
  protected:
    test::LinkWorld world_;
    fs::path folder_ = world_.folder() / "library";
    void SetUp() override { fs::create_directories(folder_); }
};

// The window runs with 10 messages; another writer (quillet-cli get, an
// import) replaces the file with 15; a command of the window that saves
// keeps all 15 and its own change.
TEST_F(LibraryFolder, AnotherWritersMessagesAreTakenInBeforeASave) {
    MessageLibrary window = saved_library(folder_, 10);
    {
        MessageLibrary other(folder_);
        other.load_box(BoxKind::Inbox);
        for (int i = 10; i < 15; ++i)
            other.box(BoxKind::Inbox).append(message(i));
        other.box(BoxKind::Inbox).set_read(1, 3);
        ASSERT_TRUE(other.save_changed().ok());
    }
    window.box(BoxKind::Inbox).set_read(1, 0);
    const BoxSaveReport report = window.save_changed();
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(report.taken_in, 5u);

    const std::vector<SmsMessage> kept = read_back(window.box_path(BoxKind::Inbox));
    ASSERT_EQ(kept.size(), 15u);
    EXPECT_EQ(kept[0].read(), 1);  // the window's change
    EXPECT_EQ(kept[3].read(), 1);  // the other writer's
    EXPECT_EQ(kept[14].text_view(), u"message 14");
    EXPECT_EQ(window.box(BoxKind::Inbox).count(), 15u);
}

TEST_F(LibraryFolder, OnlyBoxesThatChangedAreWrittenAndUnloadedOnesNever) {
    MessageLibrary library = saved_library(folder_, 2);
    const auto written = fs::last_write_time(library.box_path(BoxKind::Inbox));
    EXPECT_TRUE(library.save_changed().ok());
    EXPECT_EQ(fs::last_write_time(library.box_path(BoxKind::Inbox)), written);
    EXPECT_FALSE(fs::exists(library.box_path(BoxKind::SentItems)));
    library.box(BoxKind::SentItems).append(message(1));  // never loaded
    EXPECT_TRUE(library.save_changed().ok());
    EXPECT_FALSE(fs::exists(library.box_path(BoxKind::SentItems)));
}

// Get SMS and the three deletions against the real agent on a phone image.
// A large box is written on a thread of its own. The library is told when
// it ended; a change made meanwhile stays behind for the next save, and
// another writer's file found at the start is taken in first.
TEST_F(LibraryFolder, LargeBoxesAreSavedInTheBackgroundByTheSameRule) {
    MessageLibrary window = saved_library(folder_, 10);
    window.set_background_from(5);
    {
        MessageLibrary other(folder_);
        other.load_box(BoxKind::Inbox);
        other.box(BoxKind::Inbox).append(message(10));
        ASSERT_TRUE(other.save_changed().ok());
    }
    std::atomic<int> ended{0};
    const auto save = [&] { return window.save_changed_in_background([&] { ++ended; }); };
    window.box(BoxKind::Inbox).set_read(1, 0);
    const BoxSaveReport started = save();
    EXPECT_TRUE(started.ok());
    EXPECT_EQ(started.taken_in, 1u);
    window.box(BoxKind::Inbox).set_read(1, 1);  // while it writes
    EXPECT_TRUE(save().ok());                   // no second save meanwhile
    EXPECT_TRUE(window.finish_background_save().ok());
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(window.file_behind(BoxKind::Inbox));
    std::vector<SmsMessage> kept = read_back(window.box_path(BoxKind::Inbox));
    ASSERT_EQ(kept.size(), 11u);
    EXPECT_EQ(kept[0].read(), 1);
    EXPECT_EQ(kept[1].read(), 0);

    EXPECT_TRUE(save().ok());
    EXPECT_TRUE(window.save_changed().ok());  // waits for it
    EXPECT_EQ(ended, 2);
    EXPECT_FALSE(window.file_behind(BoxKind::Inbox));
    kept = read_back(window.box_path(BoxKind::Inbox));
    EXPECT_EQ(kept[1].read(), 1);
}

// The file another writer saved after the copy was made is not written
// over: the save says so, and the next one takes its messages in.
TEST_F(LibraryFolder, ABackgroundSaveLeavesAFileChangedMeanwhileAlone) {
    MessageLibrary window = saved_library(folder_, 3);
    const fs::path inbox = window.box_path(BoxKind::Inbox);
    const std::optional<BoxFileIdentity> as_read = box_file_identity(inbox);
    {
        MessageLibrary other(folder_);
        other.load_box(BoxKind::Inbox);
        other.box(BoxKind::Inbox).append(message(3));
        ASSERT_TRUE(other.save_changed().ok());
    }
    window.box(BoxKind::Inbox).set_read(1, 2);
    BackgroundSave save;
    save.start(folder_, {{&window.box(BoxKind::Inbox), inbox, as_read}}, nullptr);
    const std::vector<BackgroundSave::Written> written = save.wait();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_TRUE(written[0].changed_meanwhile);
    EXPECT_FALSE(written[0].written);
    EXPECT_TRUE(written[0].outcome.ok());
    EXPECT_EQ(read_back(inbox).size(), 4u);
    EXPECT_EQ(read_back(inbox)[2].read(), 0);
}

TEST_F(LibraryFolder, GetSmsThenDeleteHereOnThePhoneOrBoth) {
    world_.phone_ok({"init"});
    for (int i = 1; i <= 4; ++i)
        world_.phone_ok({"deliver", "--from", "+4915100" + std::to_string(i), "--text",
                         "text " + std::to_string(i), "--time",
                         "2026-01-02T03:04:0" + std::to_string(i) + "Z"});
    SmartphoneSmsConnect link(test::quick_settings());
    ASSERT_EQ(link.init(), 0);
    MessageLibrary library(folder_);
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
        library.load_box(kind);

    const GetSmsReport got = library.get_sms(link, Options{}, nullptr);
    ASSERT_TRUE(got.ok());
    EXPECT_EQ(got.new_messages, 4u);
    EXPECT_EQ(got.arrived, 4u);
    ASSERT_TRUE(got.newest_arrived);
    EXPECT_EQ(got.newest_arrived->text_view(), u"text 4");
    EXPECT_EQ(library.get_sms(link, Options{}, nullptr).new_messages, 0u);

    const DeletionReport on_phone =
        library.delete_messages({{BoxKind::Inbox, 0}}, DeleteWhere::OnPhoneOnly, link);
    EXPECT_EQ(on_phone.deleted, 1u);
    EXPECT_EQ(library.box(BoxKind::Inbox).count(), 4u);
    EXPECT_EQ(library.box(BoxKind::Inbox).message_ref(0).on_phone(), 0);

    // Out of order and twice: each once, from the end.
    const DeletionReport both =
        library.delete_messages({{BoxKind::Inbox, 1}, {BoxKind::Inbox, 3}, {BoxKind::Inbox, 1}},
                                DeleteWhere::HereAndOnPhone, link);
    EXPECT_EQ(both.asked, 2u);
    EXPECT_EQ(both.deleted, 2u);
    ASSERT_EQ(library.box(BoxKind::Inbox).count(), 2u);
    EXPECT_EQ(library.box(BoxKind::Inbox).message_ref(1).text_view(), u"text 3");

    const std::string listed = world_.phone_ok({"list", "inbox"});
    EXPECT_EQ(listed.find("text 1"), std::string::npos);
    EXPECT_EQ(listed.find("text 2"), std::string::npos);
    EXPECT_NE(listed.find("text 3"), std::string::npos);
    EXPECT_EQ(listed.find("text 4"), std::string::npos);
    EXPECT_TRUE(library.save_changed().ok());
    EXPECT_EQ(read_back(library.box_path(BoxKind::Inbox)).size(), 2u);
}

// A backup imported before holds a phone message a second off (another
// clock): the next Get SMS gives it the phone's entry; no second copy.
TEST_F(LibraryFolder, GetSmsAfterAnImportKeepsOneCopy) {
    world_.phone_ok({"init"});
    world_.phone_ok({"deliver", "--from", "+49151001", "--text", "from the phone", "--time",
                     "2026-01-02T03:04:05Z"});
    const fs::path backup = world_.folder() / "backup";
    fs::create_directories(backup);
    SmsBox old(BoxKind::Inbox);
    SmsMessage m;
    m.set_text(u"from the phone");
    m.set_number("+49151001");
    m.set_time(filetime_from_unix(1'767'323'045) + 15'000'000);  // 1.5 s later
    old.append(m);
    ASSERT_TRUE(old.save_box_file(backup / "inbox1.sms"));

    MessageLibrary library(folder_);
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
        library.load_box(kind);
    Importer importer(library, nullptr);
    ASSERT_EQ(importer.run({backup}, false).added(), 1u);
    SmartphoneSmsConnect link(test::quick_settings());
    ASSERT_EQ(link.init(), 0);
    const GetSmsReport got = library.get_sms(link, Options{}, nullptr);
    EXPECT_EQ(got.new_messages, 0u);
    ASSERT_EQ(library.box(BoxKind::Inbox).count(), 1u);
    EXPECT_EQ(library.box(BoxKind::Inbox).message_ref(0).on_phone(), 1);
    EXPECT_NE(library.box(BoxKind::Inbox).message_ref(0).entry_id(), EntryId{});
    EXPECT_EQ(library.get_sms(link, Options{}, nullptr).new_messages, 0u);
    EXPECT_EQ(library.box(BoxKind::Inbox).count(), 1u);
}

}  // namespace
}  // namespace quillet
