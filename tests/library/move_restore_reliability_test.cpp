// What makes room on the phone and puts a history back may lose nothing:
// alike messages stay apart, each kept message stands for one phone
// message, and one text too long for the phone stops no other. Against the
// real agent and phone images made by the phone tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "desktop/library/move_to_pc.h"
#include "desktop/library/restore_to_phone.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "tests/link/link_test_support.h"
#include "tests/store/store_test_support.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;

constexpr const char* kFrom = "+491701234567";

class MoveRestoreReliability : public ::testing::Test {
  protected:
    test::LinkWorld world_;
    fs::path folder_;
    std::optional<MessageLibrary> library_;
    std::optional<SmartphoneSmsConnect> link_;

    void SetUp() override { start("library"); }
    // An empty data folder of that name and an empty phone.
    void start(const std::string& name) {
        folder_ = world_.folder() / name;
        fs::create_directories(folder_);
        library_.emplace(folder_);
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
            library_->load_box(kind);
        link_.reset();
        world_.phone_ok({"init", "--force"});
        link_.emplace(test::quick_settings());
        ASSERT_EQ(link_->init(), 0);
    }
    void deliver_ok(const std::string& second) {
        world_.phone_ok({"deliver", "--from", kFrom, "--text", "ok", "--time",
                         "2026-01-02T03:04:" + second + "Z"});
    }
    MoveReport move_all() {
        return PhoneMove(*library_, *link_, MoveChoice{}).run(Options{}, nullptr);
    }
    size_t phone_inbox() const {
        const std::string listed = world_.phone_ok({"list", "inbox"});
        size_t n = 0;
        for (size_t at = listed.find("from: "); at != std::string::npos;
             at = listed.find("from: ", at + 1))
            ++n;
        return n;
    }
    // The Inbox's kept messages: how many, and how many the phone holds.
    std::pair<size_t, size_t> inbox_kept() const {
        const SmsBox& box = library_->box(BoxKind::Inbox);
        return {box.count(),
                static_cast<size_t>(std::ranges::count_if(
                    box.messages(), [](const SmsMessage& m) { return m.on_phone(); }))};
    }
};

// Two alike messages on the phone (the same second, or "ok" moved and then
// "ok" a second later within the matcher's window): each is kept on its own
// before its move, so after the moves the boxes hold both and the phone none.
TEST_F(MoveRestoreReliability, AlikeMessagesAreKeptApartBeforeTheyLeaveThePhone) {
    const struct {
        const char* name;
        std::vector<std::string> before_first_move, before_second_move;
    } cases[] = {{"twins in one second", {"05", "05"}, {}},
                 {"a second apart, moved in between", {"05"}, {"06"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start(c.name);
        for (const std::string& s : c.before_first_move)
            deliver_ok(s);
        const MoveReport first = move_all();
        EXPECT_TRUE(first.outcome.ok()) << first.outcome.what();
        EXPECT_EQ(first.kept_for(KeptReason::NotProvenKept), 0u);
        for (const std::string& s : c.before_second_move)
            deliver_ok(s);
        const MoveReport second = move_all();
        EXPECT_TRUE(second.outcome.ok()) << second.outcome.what();
        EXPECT_EQ(first.moved + second.moved, 2u);
        EXPECT_EQ(phone_inbox(), 0u);
        EXPECT_EQ(inbox_kept(), (std::pair<size_t, size_t>(2, 0)));
    }
}

// Twins kept here and restored onto a new phone come back both on the
// phone, and the next move takes both, saying nothing arrived meanwhile.
TEST_F(MoveRestoreReliability, RestoredTwinsStandForTheirOwnPhoneMessages) {
    const FileTime t = filetime_from_unix(1'767'323'045);
    for (int i = 0; i < 2; ++i)
        library_->box(BoxKind::Inbox).append(test::raw_message(u"ok", kFrom, t));
    const RestoreReport restored = PhoneRestore(*library_, *link_, RestoreChoice{}).run(nullptr);
    ASSERT_TRUE(restored.outcome.ok()) << restored.outcome.what();
    EXPECT_EQ(restored.written, 2u);
    EXPECT_EQ(inbox_kept(), (std::pair<size_t, size_t>(2, 2)));

    // Ended before the boxes were saved again: the copies saved before the
    // writes still take the phone's two messages.
    MessageLibrary reopened(folder_);
    reopened.load_box(BoxKind::Inbox);
    const GetSmsReport got = reopened.get_sms(*link_, Options{}, nullptr);
    EXPECT_EQ(got.new_messages, 0u);
    EXPECT_EQ(reopened.box(BoxKind::Inbox).count(), 2u);

    const MoveReport moved = move_all();
    EXPECT_TRUE(moved.outcome.ok()) << moved.outcome.what();
    EXPECT_EQ(moved.moved, 2u);
    EXPECT_EQ(moved.kept_total(), 0u);
    EXPECT_EQ(phone_inbox(), 0u);
    EXPECT_EQ(inbox_kept(), (std::pair<size_t, size_t>(2, 0)));
}

// One kept text longer than a record to the phone carries is left out and
// named; the ten others of its batch are written.
TEST_F(MoveRestoreReliability, ATextTooLongForThePhoneStopsNoOther) {
    SmsBox& box = library_->box(BoxKind::Inbox);
    const FileTime t = filetime_from_unix(1'767'323'045);
    for (int i = 0; i < 10; ++i)
        box.append(test::raw_message(u"short " + std::u16string(1, static_cast<char16_t>(u'0' + i)),
                                     kFrom, t + i * kTicksPerSecond * 60));
    box.append(test::raw_message(std::u16string(kMaxSmsTextUnits + 1, u'x'), kFrom, t + 30));
    const RestoreReport report = PhoneRestore(*library_, *link_, RestoreChoice{}).run(nullptr);
    EXPECT_TRUE(report.outcome.ok()) << report.outcome.what();
    EXPECT_EQ(report.written, 10u);
    EXPECT_EQ(report.refused, 0u);
    EXPECT_EQ(report.too_long, (std::vector<MessageRef>{{BoxKind::Inbox, 10}}));
    EXPECT_EQ(phone_inbox(), 10u);
}

}  // namespace
}  // namespace quillet
