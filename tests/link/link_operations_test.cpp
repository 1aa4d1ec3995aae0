// The device operations against the real agent on an emulated phone.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/orx_exception.h"
#include "protocol/text_codec.h"
#include "tests/link/link_test_support.h"

namespace quillet {
namespace {

using test::LinkWorld;
using test::thrown_text;

// What a window would show, in order.
class RecordingSink : public StatusSink {
  public:
    void set_status_text(std::u16string_view text) override {
        texts.push_back(to_utf8(text));
        std::this_thread::sleep_for(pause);
    }
    void set_progress(int percent) override { progress.push_back(percent); }
    std::vector<std::string> texts;
    std::vector<int> progress;
    std::chrono::milliseconds pause{0};
};

std::vector<std::string> texts_of(const std::vector<SmsWireRecord>& records) {
    std::vector<std::string> out;
    for (const SmsWireRecord& r : records)
        out.push_back(to_utf8(r.text));
    return out;
}

// 2026-01-02T03:04:0Ns as FILETIME.
FileTime at_second(int s) {
    return filetime_from_unix(1767323040 + s);
}
std::string iso_second(int s) {
    return "2026-01-02T03:04:0" + std::to_string(s) + "Z";
}

class LinkOperations : public ::testing::Test {
  protected:
    void SetUp() override {
        world_.phone_ok({"init"});
        ASSERT_EQ(link_.init(), 0);
    }

    LinkWorld world_;
    SmartphoneSmsConnect link_{test::quick_settings()};
};

TEST_F(LinkOperations, EachFolderArrivesOldestFirstWithItsAddresses) {
    world_.phone_ok(
        {"deliver", "--from", "+4915100002", "--text", "second", "--time", iso_second(2)});
    world_.phone_ok(
        {"deliver", "--from", "+4915100001", "--text", "first", "--time", iso_second(1)});
    world_.phone_ok(
        {"add", "sent", "--body", "Sent body", "--to", "+4930111", "--time", iso_second(3)});
    world_.phone_ok({"add", "deleted", "--subject", "Gone", "--sender", "+4940222", "--time",
                     iso_second(4), "--read"});

    std::vector<SmsWireRecord> inbox, sent, deleted;
    ASSERT_EQ(link_.fetch_inbox(inbox), 2);
    EXPECT_EQ(texts_of(inbox), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(text_field(inbox[0].address), "+4915100001");
    EXPECT_EQ(inbox[0].time, at_second(1));
    EXPECT_EQ(inbox[1].time, at_second(2));
    EXPECT_NE(inbox[0].entry_id, inbox[1].entry_id);

    ASSERT_EQ(link_.fetch_folder(BoxKind::SentItems, sent, nullptr), 1);
    EXPECT_EQ(texts_of(sent), std::vector<std::string>{"Sent body"});
    EXPECT_EQ(text_field(sent[0].address), "+4930111");

    ASSERT_EQ(link_.fetch_folder(BoxKind::DeletedItems, deleted, nullptr), 1);
    EXPECT_EQ(texts_of(deleted), std::vector<std::string>{"Gone"});
    EXPECT_EQ(text_field(deleted[0].address), "+4940222");
    EXPECT_NE(deleted[0].flags, 0u);
    EXPECT_EQ(deleted[0].time, at_second(4));
}

TEST_F(LinkOperations, LongConcatenatedBodyArrivesWhole) {
    std::string body;
    for (int part = 0; body.size() < 40'000; ++part)
        body += "Part " + std::to_string(part) + " of a long text from the phone. ";
    body += "The end.";
    world_.phone_ok({"add", "inbox", "--body", body, "--to", "+4930999", "--time", iso_second(1)});
    std::vector<SmsWireRecord> records;
    ASSERT_EQ(link_.fetch_inbox(records), 1);
    EXPECT_EQ(records[0].text.size(), body.size());
    EXPECT_TRUE(to_utf8(records[0].text).ends_with("The end."));
    EXPECT_EQ(to_utf8(records[0].text), body);
    EXPECT_EQ(text_field(records[0].address), "+4930999");
}

TEST_F(LinkOperations, FetchAppendsToWhatTheCallerHolds) {
    world_.phone_ok({"deliver", "--from", "+491", "--text", "new"});
    std::vector<SmsWireRecord> records(1);
    records[0].text = u"already here";
    EXPECT_EQ(link_.fetch_inbox(records), 1);
    EXPECT_EQ(texts_of(records), (std::vector<std::string>{"already here", "new"}));
}

TEST_F(LinkOperations, TextTravelsAsUtf16) {
    world_.phone_ok({"deliver", "--from", "+491", "--text", "Grüße aus Köln € 😀"});
    std::vector<SmsWireRecord> records;
    ASSERT_EQ(link_.fetch_inbox(records), 1);
    EXPECT_EQ(records[0].text, u"Grüße aus Köln € 😀");
}

TEST_F(LinkOperations, FourMessagesShowZeroToSeventyFivePercent) {
    for (int i = 1; i <= 4; ++i) {
        world_.phone_ok({"deliver", "--from", "+491", "--text", "m" + std::to_string(i), "--time",
                         iso_second(i)});
    }
    // A sink as slow as a repaint: every change is due when it comes.
    RecordingSink sink;
    sink.pause = std::chrono::milliseconds(40);
    std::vector<SmsWireRecord> records;
    EXPECT_EQ(link_.fetch_inbox(records, &sink), 4);
    EXPECT_EQ(sink.texts, (std::vector<std::string>{"importing inbox...", "importing inbox: 0%",
                                                    "importing inbox: 25%", "importing inbox: 50%",
                                                    "importing inbox: 75%"}));
    EXPECT_EQ(sink.progress, (std::vector<int>{0, 25, 50, 75, -1}));

    sink = RecordingSink();
    EXPECT_EQ(link_.fetch_sent(records, &sink), 0);
    EXPECT_EQ(sink.texts, std::vector<std::string>{"importing sent sms..."});
    EXPECT_EQ(sink.progress, std::vector<int>{-1});

    EXPECT_EQ(link_.fetch_deleted(records), 0);
    EXPECT_TRUE(sink.texts.size() == 1 && sink.progress.size() == 1);
}

TEST_F(LinkOperations, ProgressComesAtMostThirtyTimesASecond) {
    world_.phone_ok({"bulk", "inbox", "--count", "3000"});
    RecordingSink sink;
    std::vector<SmsWireRecord> records;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link_.fetch_inbox(records, &sink), 3000);
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    ASSERT_GE(sink.progress.size(), 2u);
    EXPECT_EQ(sink.progress.front(), 0);
    EXPECT_EQ(sink.progress.back(), -1);
    EXPECT_LE(static_cast<double>(sink.progress.size() - 2), seconds * 30 + 1);
    EXPECT_TRUE(std::is_sorted(sink.progress.begin(), sink.progress.end() - 1));
    EXPECT_EQ(std::adjacent_find(sink.progress.begin(), sink.progress.end()), sink.progress.end());
    EXPECT_EQ(sink.texts.size(), sink.progress.size());  // one text per percentage
}

TEST_F(LinkOperations, SentMessageReachesTheOutbox) {
    SmsWireRecord r;
    set_text_field(r.address, "+4917612345");
    r.text = u"Hello from the desk";
    r.message_class = 1;
    r.time = filetime_now();
    EXPECT_TRUE(link_.send_sms(r));
    const std::string outbox = world_.phone_ok({"outbox", "--json"});
    EXPECT_NE(outbox.find("+4917612345"), std::string::npos) << outbox;
    EXPECT_NE(outbox.find("Hello from the desk"), std::string::npos) << outbox;
}

TEST_F(LinkOperations, RefusedMessageThrowsWithTheNumber) {
    world_.phone_ok({"refuse", "on"});
    SmsWireRecord r;
    set_text_field(r.address, "+4917699999");
    r.text = u"Will not go";
    EXPECT_EQ(thrown_text([&] { link_.send_sms(r); }),
              "OnDeviceError: could not send sms to +4917699999");
    EXPECT_EQ(world_.phone_ok({"outbox", "--json"}).find("Will not go"), std::string::npos);

    // The link stays usable and the phone sends again once it works.
    world_.phone_ok({"refuse", "off"});
    EXPECT_TRUE(link_.send_sms(r));
}

TEST_F(LinkOperations, DeleteRemovesTheMessageOnThePhone) {
    world_.phone_ok({"deliver", "--from", "+491", "--text", "keep me", "--time", iso_second(2)});
    world_.phone_ok({"deliver", "--from", "+491", "--text", "delete me", "--time", iso_second(1)});
    world_.phone_ok({"add", "sent", "--body", "sent one", "--to", "+492"});
    std::vector<SmsWireRecord> inbox, sent;
    ASSERT_EQ(link_.fetch_inbox(inbox), 2);
    ASSERT_EQ(link_.fetch_sent(sent), 1);

    EXPECT_TRUE(link_.delete_on_device(BoxKind::Inbox, inbox[0]));
    EXPECT_EQ(world_.phone_ok({"list", "inbox", "--json"}).find("delete me"), std::string::npos);
    std::vector<SmsWireRecord> left;
    ASSERT_EQ(link_.fetch_inbox(left), 1);
    EXPECT_EQ(texts_of(left), std::vector<std::string>{"keep me"});

    // A message of another folder is not found in the Inbox.
    link_.delete_on_device(BoxKind::Inbox, sent[0]);
    EXPECT_TRUE(link_.delete_on_device(BoxKind::SentItems, sent[0]));
    EXPECT_EQ(link_.fetch_sent(left), 0);
}

TEST_F(LinkOperations, ContactsArriveSimFirst) {
    world_.phone_ok(
        {"contact", "add", "--first", "Anna", "--last", "Phone", "--number", "+493333"});
    world_.phone_ok({"sim", "add", "--slot", "1", "--name", "Sim Adam", "--number", "+492222"});
    world_.phone_ok({"sim", "add", "--slot", "2", "--name", "Sim Zoe", "--number", "+491111"});
    RecordingSink sink;
    std::vector<Contact> contacts;
    ASSERT_EQ(link_.fetch_contacts(contacts, &sink), 3);
    EXPECT_EQ(text_field(contacts[0].name).substr(0, 3), "Sim");
    EXPECT_EQ(text_field(contacts[1].name).substr(0, 3), "Sim");
    EXPECT_EQ(text_field(contacts[2].number), "+493333");
    ASSERT_EQ(sink.texts.size(), 3u);
    EXPECT_EQ(sink.texts[0], "retrieving contact 0: " + std::string(text_field(contacts[0].name)));
    EXPECT_EQ(sink.texts[2], "retrieving contact 2: " + std::string(text_field(contacts[2].name)));
    EXPECT_TRUE(sink.progress.empty());
}

TEST_F(LinkOperations, PhoneWithoutContactsGivesAnEmptyList) {
    std::vector<Contact> contacts;
    EXPECT_EQ(link_.fetch_contacts(contacts, nullptr), 0);
    EXPECT_TRUE(contacts.empty());
}

}  // namespace
}  // namespace quillet
