// Restore onto a phone against the real agent: phone A's messages got and
// moved to the PC, everything put onto an empty phone B, got again, and
// exactly one copy of each is on B and in the boxes; and an agent from
// before restoring is never asked to write.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>

#include "desktop/library/move_to_pc.h"
#include "desktop/library/restore_to_phone.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "tests/link/link_test_support.h"
#include "tests/store/store_test_support.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;

size_t lines_with(const std::string& listing, const std::string& text) {
    size_t n = 0;
    for (size_t at = listing.find(text); at != std::string::npos; at = listing.find(text, at + 1))
        ++n;
    return n;
}

class RestoreToPhone : public ::testing::Test {
  protected:
    test::LinkWorld world_;
    fs::path folder_ = world_.folder() / "library";
    MessageLibrary library_{folder_};
    // One per phone: a new phone is a new session.
    std::optional<SmartphoneSmsConnect> link_{std::in_place, test::quick_settings()};

    void SetUp() override {
        fs::create_directories(folder_);
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
            library_.load_box(kind);
    }
    void plug_in_new_phone() {
        link_.reset();
        world_.phone_ok({"init", "--force"});
        link_.emplace(test::quick_settings());
        ASSERT_EQ(link_->init(), 0);
    }
    size_t on_phone_in(BoxKind kind) const {
        size_t n = 0;
        for (size_t i = 0; i < library_.box(kind).count(); ++i)
            n += library_.box(kind).message_ref(i).on_phone() != 0;
        return n;
    }
};

TEST_F(RestoreToPhone, PhoneAMovedToThePcThenRestoredOntoPhoneBHoldsOneCopyOfEach) {
    world_.phone_ok({"init"});
    world_.phone_ok({"deliver", "--from", "+491701234567", "--text", "first", "--time",
                     "2026-01-01T10:00:00Z"});
    world_.phone_ok({"deliver", "--from", "+491701234567", "--text", "first", "--time",
                     "2026-01-01T10:00:01Z"});  // the same text twice: two messages
    world_.phone_ok({"deliver", "--from", "Bank", "--text", "code 1234"});
    world_.phone_ok({"add", "sent", "--body", "reply", "--to", "+491701234567", "--time",
                     "2026-01-02T10:00:00Z", "--read"});
    world_.phone_ok(
        {"contact", "add", "--first", "Anna", "--last", "Berg", "--number", "+491701234567"});
    ASSERT_EQ(link_->init(), 0);

    // Phone A: got, and its older messages moved to the PC.
    MoveChoice older;
    older.older_than_days = 30;
    PhoneMove move(library_, *link_, older);
    const MoveReport moved = move.run(Options{}, nullptr);
    ASSERT_TRUE(moved.outcome.ok()) << moved.outcome.what();
    EXPECT_EQ(moved.moved, 3u);
    EXPECT_EQ(on_phone_in(BoxKind::Inbox), 1u);  // "code 1234", today's

    // Phone B, empty but for the contact, which must not be doubled.
    plug_in_new_phone();
    world_.phone_ok(
        {"contact", "add", "--first", "Anna", "--last", "Berg", "--number", "+49 (170) 123-4567"});
    RestoreChoice everything;
    everything.contacts = {make_contact("Anna,Berg", "+49 170 1234567"),
                           make_contact("New,One", "+33612345678")};
    // Cut short after the Inbox's batch, then run again: nothing twice.
    PhoneRestore first(library_, *link_, everything);
    ASSERT_TRUE(first.supported());
    int asked = 0;
    const RestoreReport cut =
        first.write(first.plan(nullptr), nullptr, [&](size_t) { return ++asked > 1; });
    EXPECT_TRUE(cut.cancelled());
    EXPECT_EQ(cut.written, 3u);

    PhoneRestore again(library_, *link_, everything);
    const RestoreReport rest = again.run(nullptr);
    ASSERT_TRUE(rest.outcome.ok()) << rest.outcome.what();
    EXPECT_EQ(rest.written, 1u);
    EXPECT_EQ(rest.already_on_phone, 3u);
    EXPECT_EQ(rest.contacts_written, 1u);
    EXPECT_EQ(rest.contacts_on_phone, 1u);

    const std::string inbox = world_.phone_ok({"list", "inbox"});
    EXPECT_EQ(lines_with(inbox, "body: first"), 2u);
    EXPECT_EQ(lines_with(inbox, "body: code 1234"), 1u);
    EXPECT_EQ(lines_with(inbox, "2026-01-01T10:00:01Z  read"), 0u);  // unread kept unread
    EXPECT_EQ(lines_with(world_.phone_ok({"list", "sent"}), "2026-01-02T10:00:00Z  read"), 1u);
    EXPECT_EQ(lines_with(world_.phone_ok({"contact", "list"}), "Berg"), 1u);

    // Got again: the boxes' messages take B's entries; no copies.
    const GetSmsReport got = library_.get_sms(*link_, Options{}, nullptr);
    ASSERT_TRUE(got.ok());
    EXPECT_EQ(got.new_messages, 0u);
    EXPECT_EQ(library_.box(BoxKind::Inbox).count(), 3u);
    EXPECT_EQ(library_.box(BoxKind::SentItems).count(), 1u);
    EXPECT_EQ(on_phone_in(BoxKind::Inbox), 3u);
    EXPECT_EQ(on_phone_in(BoxKind::SentItems), 1u);
}

// One conversation is what the conversation list shows: every spelling of
// the number, and a message to several people with the rest.
TEST_F(RestoreToPhone, OneConversationTakesEverySpellingAndTheGroupMessages) {
    world_.phone_ok({"init"});
    ASSERT_EQ(link_->init(), 0);
    const FileTime t = filetime_from_unix(1'767'261'600);
    SmsBox& box = library_.box(BoxKind::SentItems);
    box.append(test::raw_message(u"alone", "+491701234567", t));
    box.append(test::raw_message(u"to both", "+15551234567;+49 170 1234567", t));
    box.append(test::raw_message(u"someone else", "+15551234567", t));
    RestoreChoice one;
    one.conversation = "+49 (170) 1234567";
    PhoneRestore restore(library_, *link_, one);
    const RestorePlan plan = restore.plan(nullptr);
    ASSERT_EQ(plan.messages[1].size(), 2u);
    EXPECT_EQ(plan.messages[1][0].text, u"alone");
    EXPECT_EQ(plan.messages[1][1].text, u"to both");
}

// A message to two people goes to Sent Items as one message with both as
// its recipients, as the phone keeps one it sent to several, and the next
// Get SMS takes it as the kept message: no copy, on the phone.
TEST_F(RestoreToPhone, AGroupMessageGoesBackAsOneMessageToBoth) {
    world_.phone_ok({"init"});
    ASSERT_EQ(link_->init(), 0);
    const char* both = "+447700900123;+33612345678";
    library_.box(BoxKind::SentItems)
        .append(test::raw_message(u"see you both", both, filetime_from_unix(1'767'261'600)));
    const RestoreReport report = PhoneRestore(library_, *link_, RestoreChoice{}).run(nullptr);
    ASSERT_TRUE(report.outcome.ok()) << report.outcome.what();
    EXPECT_EQ(report.written, 1u);
    const std::string sent = world_.phone_ok({"list", "sent"});
    EXPECT_EQ(lines_with(sent, "to: +447700900123\n    to: +33612345678\n"), 1u) << sent;
    EXPECT_EQ(lines_with(sent, "1 rows"), 1u) << sent;

    const GetSmsReport got = library_.get_sms(*link_, Options{}, nullptr);
    EXPECT_EQ(got.new_messages, 0u);
    ASSERT_EQ(library_.box(BoxKind::SentItems).count(), 1u);
    EXPECT_EQ(library_.box(BoxKind::SentItems).message_ref(0).number(), both);
    EXPECT_EQ(on_phone_in(BoxKind::SentItems), 1u);
}

// Quillet's list holds a person twice (the SIM's short name and the phone's
// contact): onto an empty phone nothing is "there already", and the person
// goes once, with the full name, into the contacts or onto the SIM.
TEST_F(RestoreToPhone, EachPersonGoesOnceWithTheFullestName) {
    const struct {
        bool sim;
        const char* listing;
        const char* shows;
    } cases[] = {{false, "contact", "Anna Schmidt  +49 170 1234567"},
                 {true, "sim", "1  Anna Schmidt  +49 170 1234567"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.listing);
        plug_in_new_phone();
        RestoreChoice contacts;
        contacts.messages = false;
        contacts.sim = c.sim;
        contacts.contacts = {make_contact("Anna", "+491701234567"),
                             make_contact("Anna,Schmidt", "+49 170 1234567")};
        const RestoreReport report = PhoneRestore(library_, *link_, contacts).run(nullptr);
        EXPECT_EQ(report.contacts_written, 1u);
        EXPECT_EQ(report.contacts_on_phone, 0u);
        const std::string listed = world_.phone_ok({c.listing, "list"});
        EXPECT_EQ(lines_with(listed, c.shows), 1u) << listed;
        EXPECT_EQ(lines_with(listed, "Anna"), 1u) << listed;
    }
}

// The agent plays one from before restoring: READCOMMANDS gets no reply,
// the next command its answer; no write may ever reach it.
TEST(RestoreToOlderAgent, SaysItCannotAndSendsNoWrite) {
    test::LinkWorld world(test::Agent::Played);
    world.phone_ok({"init"});
    std::atomic<bool> write_seen{false};
    test::FakeAgent agent(world, [&](LinkSocket& s) {
        for (int code; (code = test::read_command(s)) >= 0;) {
            if (code == static_cast<int>(CommandCode::READNCON))
                test::send_int32(s, 7);
            if (code == static_cast<int>(CommandCode::WRITEMESSAGES) ||
                code == static_cast<int>(CommandCode::WRITECONTACTS))
                write_seen = true;
        }
    });
    SmartphoneSmsConnect link(test::quick_settings());
    ASSERT_EQ(link.init(), 0);
    MessageLibrary library(world.folder());
    SmsMessage kept;
    kept.set_text(u"kept");
    kept.set_number("+4917");
    library.box(BoxKind::Inbox).append(kept);

    PhoneRestore restore(library, link, RestoreChoice{});
    const RestoreReport report = restore.run(nullptr);
    EXPECT_EQ(report.outcome.kind(), Outcome::Kind::Refused);
    EXPECT_EQ(report.written, 0u);
    // The link is still in step: a later exchange works.
    EXPECT_EQ(link.known_commands(), kCommandsBeforeRestore);
    EXPECT_FALSE(write_seen);
}

}  // namespace
}  // namespace quillet
