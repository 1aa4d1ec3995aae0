// Move to PC against the real agent: only messages the box file on disk
// proves kept leave the phone, and every fault leaves them there.
#include <gtest/gtest.h>

#include <algorithm>

#include "desktop/library/move_to_pc.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/box_file.h"
#include "tests/link/link_test_support.h"
#include "tests/store/store_test_support.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;

// 2026-03-01T00:00:00Z; the phone's messages are January's.
const FileTime kNow = filetime_from_unix(1'772'323'200);

// Unplugs the phone right before its `after`th deletion, as a pulled cable
// would.
class UnplugDuringDeletions : public DeviceOperations {
  public:
    UnplugDuringDeletions(DeviceOperations& link, const test::LinkWorld& world, int after)
        : link_(link), world_(world), left_(after) {}
    int fetch_folder(BoxKind kind, std::vector<SmsWireRecord>& records, StatusSink* s) override {
        return link_.fetch_folder(kind, records, s);
    }
    bool delete_on_device(BoxKind kind, const SmsWireRecord& record) override {
        if (left_-- == 0)
            world_.phone_ok({"unplug"});
        return link_.delete_on_device(kind, record);
    }
    int fetch_contacts(std::vector<Contact>& c, StatusSink* s) override {
        return link_.fetch_contacts(c, s);
    }
    bool send_sms(const SmsWireRecord& record) override { return link_.send_sms(record); }

  private:
    DeviceOperations& link_;
    const test::LinkWorld& world_;
    int left_;
};

// From the second Inbox fetch on, the entry of "text 3" names a message
// with another text, as when the phone reused it.
class EditedOnPhone : public UnplugDuringDeletions {
  public:
    using UnplugDuringDeletions::UnplugDuringDeletions;
    int fetch_folder(BoxKind kind, std::vector<SmsWireRecord>& records, StatusSink* s) override {
        const int n = UnplugDuringDeletions::fetch_folder(kind, records, s);
        if (kind == BoxKind::Inbox && ++inbox_fetches_ > 1) {
            for (SmsWireRecord& r : records)
                if (r.text == u"text 3")
                    r.text = u"another text";
        }
        return n;
    }

  private:
    int inbox_fetches_ = 0;
};

class MoveToPc : public ::testing::Test {
  protected:
    test::LinkWorld world_;
    fs::path folder_ = world_.folder() / "library";
    MessageLibrary library_{folder_};
    SmartphoneSmsConnect link_{test::quick_settings()};

    // Five Inbox messages, "text 1" (Jan 1) to "text 5" (Jan 5), and one
    // sent on Jan 6.
    void SetUp() override {
        fs::create_directories(folder_);
        world_.phone_ok({"init"});
        for (int i = 1; i <= 5; ++i)
            deliver("text " + std::to_string(i), i);
        world_.phone_ok({"add", "sent", "--body", "sent 6", "--to", "+49151006", "--time",
                         "2026-01-06T00:00:00Z"});
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
            library_.load_box(kind);
        ASSERT_EQ(link_.init(), 0);
    }
    void deliver(const std::string& text, int day) {
        world_.phone_ok({"deliver", "--from", "+4915100" + std::to_string(day), "--text", text,
                         "--time", "2026-01-0" + std::to_string(day) + "T00:00:00Z"});
    }
    // Which of "text 1".."text 5" the phone's Inbox still holds, as "12345".
    std::string on_phone() const {
        const std::string listed = world_.phone_ok({"list", "inbox"});
        std::string out;
        for (char i = '1'; i <= '5'; ++i)
            if (listed.find(std::string("text ") + i) != std::string::npos)
                out += i;
        return out;
    }
    // How many of the box file's Inbox messages are no longer on the phone.
    size_t off_phone_in_file() const {
        std::string error;
        const std::optional<DecodedBox> box =
            read_box_file(library_.box_path(BoxKind::Inbox), error);
        EXPECT_TRUE(box) << error;
        EXPECT_EQ(box ? box->messages.size() : 0, 5u);
        return box ? static_cast<size_t>(std::ranges::count_if(
                         box->messages, [](const SmsMessage& m) { return !m.on_phone(); }))
                   : 0;
    }
};

// Inbox, older than 30 days, the newest one kept; "text 0" arrives (dated
// Jan 1 by its sender) after the Get SMS and is never proven, so it stays.
TEST_F(MoveToPc, DeletesOnlyProvenChosenMessagesAndReportsTheRest) {
    MoveChoice choice;
    choice.boxes = {true, false, false};
    choice.older_than_days = 30;
    choice.keep_newest = 1;
    PhoneMove move(library_, link_, choice, kNow);
    ASSERT_TRUE(move.get(Options{}, nullptr).ok());
    const MovePlan plan = move.plan();
    EXPECT_EQ(plan.by_box, (std::array<size_t, 3>{4, 0, 0}));
    EXPECT_EQ(plan.oldest, filetime_from_unix(1'767'225'600));               // Jan 1
    EXPECT_EQ(plan.newest, filetime_from_unix(1'767'225'600 + 3 * 86'400));  // Jan 4

    MoveReport report;
    ASSERT_TRUE(move.prove(report));
    deliver("text 0", 1);
    move.delete_proven(report, nullptr);
    EXPECT_TRUE(report.outcome.ok()) << report.outcome.what();
    EXPECT_FALSE(report.unchecked);
    EXPECT_EQ(report.moved, 4u);
    EXPECT_EQ(report.kept_for(KeptReason::NotProvenKept), 1u);
    EXPECT_EQ(report.kept_for(KeptReason::OutsideChoice), 2u);  // text 5, sent 6
    EXPECT_EQ(report.kept_total(), 3u);
    EXPECT_EQ(on_phone(), "5");
    EXPECT_NE(world_.phone_ok({"list", "inbox"}).find("text 0"), std::string::npos);
    EXPECT_NE(world_.phone_ok({"list", "sent"}).find("sent 6"), std::string::npos);
    EXPECT_EQ(off_phone_in_file(), 4u);

    // Again: "text 0" is kept now, and goes.
    PhoneMove again(library_, link_, choice, kNow);
    ASSERT_TRUE(again.get(Options{}, nullptr).ok());
    EXPECT_EQ(again.plan().total(), 1u);
    MoveReport second;
    ASSERT_TRUE(again.prove(second));
    again.delete_proven(second, nullptr);
    EXPECT_EQ(second.moved, 1u);
    EXPECT_EQ(world_.phone_ok({"list", "inbox"}).find("text 0"), std::string::npos);
}

// Faults before any deletion: a disk too full for the boxes, and a box file
// another writer changed after it was read back. Nothing leaves the phone.
TEST_F(MoveToPc, AFaultBeforeTheDeletionsDeletesNothing) {
    const struct {
        const char* name;
        bool full_disk;
    } cases[] = {{"full disk", true}, {"file changed", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PhoneMove move(library_, link_, MoveChoice{}, kNow);
        ASSERT_TRUE(move.get(Options{}, nullptr).ok());
        MoveReport report;
        if (c.full_disk) {
            const test::FileSizeLimit limit(64);
            EXPECT_FALSE(move.prove(report));
        } else {
            ASSERT_TRUE(move.prove(report));
            MessageLibrary other(folder_);
            other.load_box(BoxKind::Inbox);
            other.box(BoxKind::Inbox).set_read(1, 0);
            ASSERT_TRUE(other.save_changed().ok());
            move.delete_proven(report, nullptr);
        }
        ASSERT_FALSE(report.outcome.ok());
        EXPECT_NE(report.outcome.what().find("nothing was deleted"), std::string::npos)
            << report.outcome.what();
        EXPECT_EQ(report.moved, 0u);
        EXPECT_EQ(on_phone(), "12345");
    }
}

// The cable is pulled before the third deletion: two went, the rest stays
// on the phone and in the box file, and the report says why.
TEST_F(MoveToPc, UnpluggedDuringTheDeletionsTheRestStays) {
    UnplugDuringDeletions device(link_, world_, 2);
    MoveChoice choice;
    choice.boxes = {true, false, false};
    PhoneMove move(library_, device, choice, kNow);
    const MoveReport report = move.run(Options{}, nullptr);
    ASSERT_FALSE(report.outcome.ok());
    EXPECT_NE(report.outcome.what().find("went away"), std::string::npos) << report.outcome.what();
    EXPECT_TRUE(report.unchecked);
    EXPECT_EQ(report.moved, 2u);
    EXPECT_EQ(report.kept_for(KeptReason::LinkLost), 3u);
    EXPECT_EQ(on_phone(), "345");
    EXPECT_GE(off_phone_in_file(), 2u);
}

// Stopped by the user after two deletions, or a message changed on the
// phone since it was proven: those stay there, and the report says why.
TEST_F(MoveToPc, StoppedOrChangedMessagesStayOnThePhone) {
    MoveChoice choice;
    choice.boxes = {true, false, false};
    {
        PhoneMove move(library_, link_, choice, kNow);
        ASSERT_TRUE(move.get(Options{}, nullptr).ok());
        MoveReport report;
        ASSERT_TRUE(move.prove(report));
        move.delete_proven(report, nullptr, [](size_t done) { return done == 2; });
        EXPECT_EQ(report.moved, 2u);
        EXPECT_EQ(report.kept_for(KeptReason::Cancelled), 3u);
        EXPECT_EQ(on_phone(), "345");
    }
    EditedOnPhone edited(link_, world_, -1);
    PhoneMove move(library_, edited, choice, kNow);
    const MoveReport report = move.run(Options{}, nullptr);
    EXPECT_TRUE(report.outcome.ok());
    EXPECT_EQ(report.moved, 2u);
    EXPECT_EQ(report.kept_for(KeptReason::ChangedOnPhone), 1u);
    EXPECT_EQ(on_phone(), "3");
}

}  // namespace
}  // namespace quillet
