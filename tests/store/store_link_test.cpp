// The boxes and the contact list against the real device link, the real
// agent and a phone image made with the phone tool.
#include <gtest/gtest.h>

#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/orx_exception.h"
#include "desktop/store/sms_box.h"
#include "protocol/text_codec.h"
#include "tests/link/link_test_support.h"

namespace quillet {
namespace {

using test::LinkWorld;

std::string iso_second(int s) {
    return "2026-01-02T03:04:" + std::string(s < 10 ? "0" : "") + std::to_string(s) + "Z";
}

// A link that gives up after a few seconds when the phone is away.
LinkSettings impatient() {
    LinkSettings s = test::quick_settings();
    s.connect_polls = 30;
    return s;
}

std::vector<std::u16string> texts(const SmsBox& box) {
    std::vector<std::u16string> out;
    for (const SmsMessage& m : box.messages())
        out.emplace_back(m.text_view());
    return out;
}

class StoreOverLink : public ::testing::Test {
  protected:
    void SetUp() override {
        world_.phone_ok({"init"});
        ASSERT_EQ(link_.init(), 0);
    }

    // The phone goes away: its agent ends and it is unplugged.
    void unplug() {
        world_.kill_agents();
        world_.phone_ok({"unplug"});
    }

    void deliver(const std::string& from, const std::string& text, int second) {
        world_.phone_ok({"deliver", "--from", from, "--text", text, "--time", iso_second(second)});
    }

    LinkWorld world_;
    SmartphoneSmsConnect link_{impatient()};
};

TEST_F(StoreOverLink, ImportAppendsNewMessagesOnceAndQueuesTheNewestLast) {
    deliver("+49 151 0001", "first", 1);
    SmsBox inbox(BoxKind::Inbox);
    EXPECT_EQ(inbox.import_new_smses(link_), 1u);
    deliver("+49 151 0002", "second", 2);
    EXPECT_EQ(inbox.import_new_smses(link_), 1u);
    EXPECT_EQ(inbox.import_new_smses(link_), 0u);  // the unchanged folder again

    ASSERT_EQ(texts(inbox), (std::vector<std::u16string>{u"first", u"second"}));
    EXPECT_EQ(inbox.message_ref(0).number(), "+491510001");
    for (const SmsMessage& m : inbox.messages()) {
        EXPECT_EQ(m.on_phone(), 1);
        EXPECT_EQ(m.read(), 0);  // delivered unread
    }
    SmsMessage popped;
    ASSERT_TRUE(inbox.pop_new(popped));
    EXPECT_EQ(popped.text_view(), u"second");
    ASSERT_TRUE(inbox.pop_new(popped));
    EXPECT_EQ(popped.text_view(), u"first");
    EXPECT_FALSE(inbox.has_new());
}

TEST_F(StoreOverLink, EachBoxImportsItsOwnFolder) {
    deliver("+4930111", "to inbox", 1);
    world_.phone_ok({"add", "sent", "--body", "to sent", "--to", "+4930222", "--time",
                     iso_second(2), "--read"});
    world_.phone_ok({"add", "deleted", "--body", "to deleted", "--sender", "+4930333", "--time",
                     iso_second(3), "--read"});
    SmsBox sent(BoxKind::SentItems), deleted(BoxKind::DeletedItems);
    sent.import_new_smses(link_);
    deleted.import_new_smses(link_);
    EXPECT_EQ(texts(sent), std::vector<std::u16string>{u"to sent"});
    EXPECT_EQ(sent.message_ref(0).number(), "+4930222");
    EXPECT_EQ(texts(deleted), std::vector<std::u16string>{u"to deleted"});
    EXPECT_EQ(deleted.message_ref(0).read(), 1);
}

TEST_F(StoreOverLink, DeleteOnThePhoneOnlyKeepsTheMessageThroughTheNextImport) {
    deliver("+4930111", "keep me", 1);
    deliver("+4930111", "other", 2);
    SmsBox inbox(BoxKind::Inbox);
    inbox.import_new_smses(link_);
    inbox.delete_message_on_phone(0, link_);
    EXPECT_EQ(inbox.message_ref(0).on_phone(), 0);
    const std::string listing = world_.phone_ok({"list", "inbox", "--json"});
    EXPECT_EQ(listing.find("\"body\": \"keep me\""), std::string::npos);
    EXPECT_NE(listing.find("\"body\": \"other\""), std::string::npos);

    EXPECT_EQ(inbox.import_new_smses(link_), 0u);
    ASSERT_EQ(texts(inbox), (std::vector<std::u16string>{u"keep me", u"other"}));
    EXPECT_EQ(inbox.message_ref(0).on_phone(), 0);
    EXPECT_EQ(inbox.message_ref(1).on_phone(), 1);
}

TEST_F(StoreOverLink, DeleteRemovesTheMessageFromBoxAndPhone) {
    deliver("+4930111", "a", 1);
    deliver("+4930111", "b", 2);
    deliver("+4930111", "c", 3);
    SmsBox inbox(BoxKind::Inbox);
    inbox.import_new_smses(link_);
    inbox.delete_message(0, link_);
    EXPECT_EQ(texts(inbox), (std::vector<std::u16string>{u"b", u"c"}));
    const std::string listing = world_.phone_ok({"list", "inbox", "--json"});
    EXPECT_EQ(listing.find("\"body\": \"a\""), std::string::npos);
    EXPECT_NE(listing.find("\"body\": \"b\""), std::string::npos);
}

TEST_F(StoreOverLink, LinkFailuresLeaveTheBoxAsItWas) {
    deliver("+4930111", "known", 1);
    SmsBox inbox(BoxKind::Inbox);
    inbox.import_new_smses(link_);
    SmsBox away(BoxKind::Inbox);
    away.append(inbox.message_at(0));

    unplug();
    deliver("+4930111", "unseen", 2);
    EXPECT_THROW(away.import_new_smses(link_), ORX_Exception);
    ASSERT_EQ(away.count(), 1u);
    EXPECT_EQ(away.message_ref(0).on_phone(), 1);  // not reset by a failed import
    EXPECT_FALSE(away.has_new());

    // A delete that cannot reach the phone keeps the message as it was.
    EXPECT_THROW(away.delete_message(0, link_), ORX_Exception);
    ASSERT_EQ(away.count(), 1u);
    EXPECT_EQ(away.message_ref(0).on_phone(), 1);
}

// The phone's side of the box's changes: an import that changes the box (not
// one that finds everything as it was), a delete on the phone, a delete; a
// failed import or delete leaves the revision as it was.
TEST_F(StoreOverLink, ImportsAndDeletionsAdvanceTheRevision) {
    deliver("+4930111", "a", 1);
    deliver("+4930111", "b", 2);
    SmsBox inbox(BoxKind::Inbox);
    uint64_t seen = inbox.revision();
    auto advanced = [&] {
        const bool moved = inbox.revision() > seen;
        seen = inbox.revision();
        return moved;
    };
    EXPECT_EQ(inbox.import_new_smses(link_), 2u);
    EXPECT_TRUE(advanced());
    EXPECT_EQ(inbox.import_new_smses(link_), 0u);
    EXPECT_FALSE(advanced());  // nothing to save
    SmsMessage popped;
    EXPECT_TRUE(inbox.pop_new(popped));
    EXPECT_FALSE(advanced());

    inbox.delete_message_on_phone(1, link_);
    EXPECT_TRUE(advanced());
    inbox.delete_message(0, link_);
    EXPECT_TRUE(advanced());

    unplug();
    EXPECT_THROW(inbox.import_new_smses(link_), ORX_Exception);
    EXPECT_FALSE(advanced());
    ASSERT_EQ(inbox.count(), 1u);
    // Cleared only once the phone was told: nothing to save when it was not.
    SmsMessage on_phone = inbox.message_at(0);
    on_phone.set_on_phone(1);
    inbox.append(on_phone);
    EXPECT_TRUE(advanced());
    EXPECT_THROW(inbox.delete_message_on_phone(1, link_), ORX_Exception);
    EXPECT_FALSE(advanced());
    EXPECT_EQ(inbox.message_ref(1).on_phone(), 1);
}

TEST_F(StoreOverLink, ContactsImportReplacesTheListSorted) {
    world_.phone_ok({"sim", "add", "--slot", "1", "--name", "zoe", "--number", "0151 1234567"});
    world_.phone_ok(
        {"contact", "add", "--first", "Bob", "--last", "Builder", "--number", "+49 30 1234 5678"});
    ContactList contacts;
    Contact old{};
    set_text_field(old.name, "Old Entry");
    set_text_field(old.number, "1");
    contacts.append(old);

    const ImportContactsResult r = contacts.import_contacts(link_);
    EXPECT_EQ(r.status, ImportContactsResult::Status::Imported);
    EXPECT_EQ(r.message(), u"");
    ASSERT_EQ(contacts.count(), 2u);
    EXPECT_EQ(text_field(contacts.contact_at(1).name), "zoe");  // capitals first
    EXPECT_EQ(contacts.find_name_by_number("+491511234567"), u"zoe");
    EXPECT_EQ(contacts.find_name_by_number("1"), u"1");  // the old entry is gone
}

TEST_F(StoreOverLink, APhoneWithoutContactsEmptiesTheList) {
    ContactList contacts;
    Contact old{};
    set_text_field(old.name, "Old");
    contacts.append(old);
    const ImportContactsResult r = contacts.import_contacts(link_);
    EXPECT_EQ(r.status, ImportContactsResult::Status::NoContacts);
    EXPECT_EQ(r.message(), u"No contacts available. Please Check your ActiveSync connection.");
    EXPECT_EQ(contacts.count(), 0u);
}

TEST_F(StoreOverLink, AFailedContactsImportKeepsTheListAndItsFile) {
    ContactList contacts;
    Contact kept{};
    set_text_field(kept.name, "Kept");
    set_text_field(kept.number, "5551234");
    contacts.append(kept);
    ASSERT_TRUE(contacts.save_contacts(kContactsFileName));

    unplug();
    const ImportContactsResult r = contacts.import_contacts(link_);
    EXPECT_EQ(r.status, ImportContactsResult::Status::LinkFailed);
    EXPECT_EQ(r.message().rfind(u"No contacts available. Please Check your ActiveSync "
                                u"connection.\ndetails:\n",
                                0),
              0u);
    EXPECT_GT(r.message().size(), 80u);  // the link's own text follows
    ASSERT_EQ(contacts.count(), 1u);
    EXPECT_EQ(contacts.find_name_by_number("5551234"), u"Kept");
    ASSERT_TRUE(contacts.save_contacts(kContactsFileName));
    ContactList reread;
    reread.load_contacts(kContactsFileName);
    EXPECT_EQ(reread.count(), 1u);
}

}  // namespace
}  // namespace quillet
