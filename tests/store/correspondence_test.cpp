// Conversations gathered across the boxes: spellings of one number together,
// short numbers, sender names and numbers that only end alike apart, a
// message to several recipients in each one's conversation, oldest first.
#include <gtest/gtest.h>

#include "desktop/store/correspondence.h"
#include "store_test_support.h"

namespace quillet {
namespace {

SmsMessage message(std::u16string_view text, std::string_view raw_number, int64_t unix_time) {
    return test::raw_message(text, raw_number, filetime_from_unix(unix_time));
}

std::vector<std::u16string> texts(const Correspondence& c) {
    std::vector<std::u16string> out;
    for (const ExchangedMessage& e : c.messages)
        out.emplace_back(e.message->text_view());
    return out;
}

TEST(CorrespondenceTest, GroupsSpellingsAndSplitsRecipients) {
    SmsBox inbox(BoxKind::Inbox);
    SmsBox sent(BoxKind::SentItems);
    SmsBox deleted(BoxKind::DeletedItems);
    inbox.append(message(u"c", "+4915112345678", 300));
    inbox.append(message(u"short", "12", 50));
    inbox.append(message(u"other short", "012", 60));
    inbox.append(message(u"code", "Bank", 70));
    // Another person whose number ends in the same seven digits.
    inbox.append(message(u"stranger", "+4930 12345678", 80));
    sent.append(message(u"a", "015112345678", 100));
    sent.append(message(u"both", "12; +4915112345678", 200));
    deleted.append(message(u"gone", "+49 151 12345678", 250));

    const PhoneNumbers de("DE");
    const Correspondence nora = correspondence_with("0151 12345678", {inbox, sent, &deleted}, de);
    EXPECT_EQ(texts(nora), (std::vector<std::u16string>{u"a", u"both", u"gone", u"c"}));
    EXPECT_EQ(nora.number, "+4915112345678");  // the first spelling met
    EXPECT_TRUE(nora.messages[0].sent);
    EXPECT_TRUE(nora.messages[2].deleted);
    EXPECT_FALSE(nora.messages[3].sent || nora.messages[3].deleted);

    const Correspondence without_deleted = correspondence_with("+4915112345678", {inbox, sent}, de);
    EXPECT_EQ(texts(without_deleted), (std::vector<std::u16string>{u"a", u"both", u"c"}));

    EXPECT_EQ(texts(correspondence_with("12", {inbox, sent}, de)),
              (std::vector<std::u16string>{u"short", u"both"}));
    EXPECT_TRUE(correspondence_with("5550000", {inbox, sent}, de).messages.empty());
    EXPECT_EQ(texts(correspondence_with("030 12345678", {inbox, sent}, de)),
              std::vector<std::u16string>{u"stranger"});

    const std::vector<Correspondence> all = all_correspondences({inbox, sent, &deleted}, de);
    std::vector<std::string> numbers;
    for (const Correspondence& c : all)
        numbers.push_back(c.number);
    EXPECT_EQ(numbers,
              (std::vector<std::string>{"+4915112345678", "12", "012", "Bank", "+4930 12345678"}));
    EXPECT_EQ(all[0].messages.size(), 4u);
    EXPECT_EQ(texts(all[3]), std::vector<std::u16string>{u"code"});
}

}  // namespace
}  // namespace quillet
