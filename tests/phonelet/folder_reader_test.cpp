// The agent's folder reader on a real phone image, called directly: a read
// that finds nothing must never hand on the record of an earlier read.
#include <gtest/gtest.h>

#include <cstdlib>

#include "phonelet/message_folder_reader.h"
#include "platform/phone/phone_image.h"
#include "tests/phonelet/agent_harness.h"

namespace quillet::testing {
namespace {

constexpr FileTime kT0 = 133'000'000'000'000'000ULL;

class FolderReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        image_ = temp_.path() / "phone";
        phone::PhoneStore::create(image_, false);
        phone::PhoneStore store(image_);
        store.add_message(*store.folder(phone::FolderRole::Inbox),
                          text_message(u"newest", kT0 + 2, u"+4917"));
        store.add_message(*store.folder(phone::FolderRole::Inbox),
                          text_message(u"older", kT0 + 1, u"+4917"));
        setenv(phone::kPhoneImageEnv, image_.c_str(), 1);
    }
    void TearDown() override { unsetenv(phone::kPhoneImageEnv); }

    TempDir temp_;
    std::filesystem::path image_;
    DesktopConnection nowhere_{0};  // no socket: sends go nowhere
};

TEST_F(FolderReaderTest, PositionNotThereLeavesNoRecordFromAnEarlierRead) {
    MessageFolderReader reader;
    ASSERT_EQ(reader.open(FolderKind::Inbox, SortOrder::NewestFirst), 0);
    EXPECT_EQ(reader.find(-1), 2);
    ASSERT_EQ(reader.find(0), 0);
    EXPECT_TRUE(reader.send_current_record(nowhere_));

    // The same reader, an empty folder (as the keep-alive command sees an
    // Inbox that was emptied): position 0 is not there, and there is no
    // current record to send.
    ASSERT_EQ(reader.open(FolderKind::SentItems, SortOrder::NewestFirst), 0);
    EXPECT_EQ(reader.find(-1), 0);
    EXPECT_EQ(reader.find(0), -1);
    EXPECT_FALSE(reader.send_current_record(nowhere_));

    // Past the end of a folder that has rows.
    ASSERT_EQ(reader.open(FolderKind::Inbox, SortOrder::NewestFirst), 0);
    ASSERT_EQ(reader.find(1), 0);
    EXPECT_EQ(reader.find(2), -1);
    EXPECT_FALSE(reader.send_current_record(nowhere_));
    reader.close();
    EXPECT_FALSE(reader.send_current_record(nowhere_));
}

}  // namespace
}  // namespace quillet::testing
