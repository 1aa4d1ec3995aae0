// Conversations across the three boxes, kept current through appends,
// deletions and read marks, and searched by text, number and name.
#include <gtest/gtest.h>

#include <random>

#include "desktop/search/conversation_index.h"

namespace quillet {
namespace {

// Stands in for the phone in deletions: the box asks, the phone agrees.
class AgreeingPhone : public DeviceOperations {
  public:
    int fetch_folder(BoxKind, std::vector<SmsWireRecord>&, StatusSink*) override { return 0; }
    bool delete_on_device(BoxKind, const SmsWireRecord&) override { return true; }
    int fetch_contacts(std::vector<Contact>&, StatusSink*) override { return 0; }
    bool send_sms(const SmsWireRecord&) override { return true; }
};

constexpr FileTime kMinute = 60 * kTicksPerSecond;

SmsMessage message(std::u16string_view text, std::string_view number, int minute,
                   uint8_t read = 1) {
    SmsMessage m;
    m.set_text(text);
    m.set_number_raw(number);
    m.set_time(static_cast<FileTime>(minute) * kMinute + 1'000 * kMinute);
    m.set_read(read);
    return m;
}

struct Boxes {
    SmsBox inbox{BoxKind::Inbox};
    SmsBox sent{BoxKind::SentItems};
    SmsBox deleted{BoxKind::DeletedItems};
    const SmsBox& of(BoxKind k) const {
        return k == BoxKind::Inbox ? inbox : k == BoxKind::SentItems ? sent : deleted;
    }
};

std::vector<std::u16string> texts_of(const ConversationIndex& index, size_t c, const Boxes& b) {
    std::vector<std::u16string> out;
    for (const MessageRef& r : index.messages_of(c))
        out.emplace_back(b.of(r.box).message_ref(r.index).text_view());
    return out;
}

TEST(ConversationIndexTest, OneConversationSpansTheThreeBoxesAndEverySpelling) {
    Boxes b;
    b.inbox.append(message(u"hello from Anna", "+491701234567", 1, 0));
    b.sent.append(message(u"hi Anna", "0170 1234567", 2));
    b.deleted.append(message(u"old one", "+49 170 1234567", 0, 0));
    b.inbox.append(message(u"Daniel here", "+15551234567", 3, 0));
    // Sent to two people: one copy per recipient, as the composer stores it.
    b.sent.append(message(u"party at 8", "+491701234567", 4));
    b.sent.append(message(u"party at 8", "+15551234567", 4));
    b.inbox.append(message(u"Your code 1234", "Bank", 5, 0));
    b.inbox.append(message(u"Offer", "22222", 6));

    ConversationIndex index(PhoneNumbers("DE"));
    index.update(b.inbox, b.sent, b.deleted);
    ASSERT_EQ(index.count(), 4u);

    const std::optional<size_t> anna = index.find("01701234567");
    ASSERT_TRUE(anna);
    EXPECT_EQ(index.find("+49 170 1234567"), anna);
    EXPECT_EQ(
        texts_of(index, *anna, b),
        (std::vector<std::u16string>{u"old one", u"hello from Anna", u"hi Anna", u"party at 8"}));
    const ConversationSummary s = index.summary(*anna);
    EXPECT_EQ(s.messages, 4u);
    EXPECT_EQ(s.unread, 2u);
    EXPECT_EQ(s.number, "+491701234567");
    EXPECT_EQ(s.numbers,
              (std::vector<std::string>{"+491701234567", "0170 1234567", "+49 170 1234567"}));
    EXPECT_EQ(s.last, (MessageRef{BoxKind::SentItems, 1}));

    const std::optional<size_t> daniel = index.find("+1 555 123 4567");
    ASSERT_TRUE(daniel);
    EXPECT_EQ(texts_of(index, *daniel, b),
              (std::vector<std::u16string>{u"Daniel here", u"party at 8"}));
    EXPECT_TRUE(index.find("Bank"));
    EXPECT_EQ(index.find("BANK"), index.find("Bank"));  // a sender name, whatever its case
    EXPECT_TRUE(index.find("22222"));
    EXPECT_FALSE(index.find("+4922222"));
}

TEST(ConversationIndexTest, ANumberFieldNamingSeveralNumbersBelongsToEach) {
    Boxes b;
    b.sent.append(message(u"to both", "+491701234567; +15551234567", 1));
    b.inbox.append(message(u"reply", "+15551234567", 2));
    ConversationIndex index(PhoneNumbers("ZZ"));
    index.update(b.inbox, b.sent, b.deleted);
    ASSERT_EQ(index.count(), 2u);
    EXPECT_EQ(index.summary(*index.find("+491701234567")).messages, 1u);
    EXPECT_EQ(texts_of(index, *index.find("+15551234567"), b),
              (std::vector<std::u16string>{u"to both", u"reply"}));
}

// What a fresh index says, to compare an updated one with.
std::vector<std::string> picture(const ConversationIndex& index, const Boxes& b) {
    std::vector<std::string> out;
    for (size_t c = 0; c < index.count(); ++c) {
        const ConversationSummary s = index.summary(c);
        std::string line = s.number + " n=" + std::to_string(s.messages) +
                           " u=" + std::to_string(s.unread) + " t=" + std::to_string(s.last_time);
        for (const MessageRef& r : index.messages_of(c)) {
            const SmsMessage& m = b.of(r.box).message_ref(r.index);
            line += " " + std::to_string(static_cast<int>(r.box)) + ":" + std::to_string(m.time()) +
                    std::string(m.number());
        }
        out.push_back(line);
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(ConversationIndexTest, UpdatesEqualAFreshIndexAfterEveryKindOfChange) {
    std::mt19937 rng(3);
    AgreeingPhone phone;
    Boxes b;
    ConversationIndex kept(PhoneNumbers("DE"));
    // Indexed a slice at a time, the boxes changing between two slices.
    ConversationIndex sliced(PhoneNumbers("DE"));
    const auto slice = [&] { return sliced.update_some(b.inbox, b.sent, b.deleted, rng() % 30); };
    const char* numbers[] = {"+491701234567", "0170 1234567", "+15551234567",   "Bank",
                             "22222",         "+33612345678", "06 12 34 56 78", "a;b"};
    for (int round = 0; round < 60; ++round) {
        slice();
        for (SmsBox* box : {&b.inbox, &b.sent, &b.deleted}) {
            const int step = static_cast<int>(rng() % 4);
            if (step == 0 || box->count() == 0) {
                for (int i = static_cast<int>(rng() % 20); i >= 0; --i)
                    box->append(message(
                        u"text " + std::u16string(1, static_cast<char16_t>(u'a' + rng() % 26)),
                        numbers[rng() % 8], static_cast<int>(rng() % 50),
                        static_cast<uint8_t>(rng() % 2)));
            } else if (step == 1) {
                box->delete_message(rng() % box->count(), phone);
            } else if (step == 2) {
                box->set_read(static_cast<uint8_t>(rng() % 2), rng() % box->count());
            }
        }
        kept.update(b.inbox, b.sent, b.deleted);
        ConversationIndex fresh(PhoneNumbers("DE"));
        fresh.update(b.inbox, b.sent, b.deleted);
        ASSERT_EQ(picture(kept, b), picture(fresh, b)) << "round " << round;
        while (!slice()) {
        }
        ASSERT_EQ(picture(sliced, b), picture(fresh, b)) << "round " << round;
        const SearchQuery query(u"TEXT A", PhoneNumbers("DE"));
        for (BoxKind k : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
            ASSERT_EQ(kept.search(k, query, nullptr), fresh.search(k, query, nullptr));
    }
    // Everything deleted: no conversation is left.
    for (SmsBox* box : {&b.inbox, &b.sent, &b.deleted}) {
        while (box->count() > 0)
            box->delete_message(0, phone);
    }
    kept.update(b.inbox, b.sent, b.deleted);
    EXPECT_EQ(kept.count(), 0u);
}

TEST(ConversationIndexTest, SearchFindsTextNumberAndName) {
    Boxes b;
    b.inbox.append(message(u"Café demain ?", "+33612345678", 1));
    b.inbox.append(message(u"Meeting moved", "+15551234567", 2));
    b.inbox.append(message(u"Your code", "Bank", 3));
    b.inbox.append(message(u"In der Straße", "+491701234567", 4));
    b.sent.append(message(u"see you", "+491701234567", 5));
    ContactList contacts(PhoneNumbers("DE"));
    contacts.append(make_contact("Chlo\xe9,Martin", "+33612345678"));
    ConversationIndex index(PhoneNumbers("DE"));
    index.update(b.inbox, b.sent, b.deleted);
    const auto search = [&](std::u16string_view typed, BoxKind box = BoxKind::Inbox) {
        return index.search(box, SearchQuery(typed, PhoneNumbers("DE")), &contacts);
    };
    EXPECT_EQ(search(u"cafe"), (std::vector<size_t>{0}));
    EXPECT_EQ(search(u"STRASSE"), (std::vector<size_t>{3}));
    EXPECT_EQ(search(u"chloe"), (std::vector<size_t>{0}));     // the contact's name
    EXPECT_EQ(search(u"bank"), (std::vector<size_t>{2}));      // a sender's name
    EXPECT_EQ(search(u"0170 123"), (std::vector<size_t>{3}));  // national prefix
    EXPECT_EQ(search(u"555-123"), (std::vector<size_t>{1}));
    EXPECT_EQ(search(u"0170 123", BoxKind::SentItems), (std::vector<size_t>{0}));
    EXPECT_EQ(search(u"nothing like it"), (std::vector<size_t>{}));
    EXPECT_EQ(search(u"").size(), 4u);
    // A query spanning two texts finds neither.
    EXPECT_EQ(search(u"moved your"), (std::vector<size_t>{}));

    const auto conversations =
        index.search_conversations(SearchQuery(u"see", PhoneNumbers("DE")), &contacts);
    ASSERT_EQ(conversations.size(), 1u);
    EXPECT_EQ(conversations[0], index.find("+491701234567"));

    // New names are found once the index hears of them.
    contacts.append(make_contact("Daniel,Okafor", "+15551234567"));
    index.names_changed();
    EXPECT_EQ(search(u"okafor"), (std::vector<size_t>{1}));
}

// Texts of a small alphabet, so that most places nearly match, over enough
// messages that the box is searched in two halves side by side: the index
// finds exactly the texts a plain find finds, at every length of query.
TEST(ConversationIndexTest, TextSearchEqualsAPlainFindOverManyMessages) {
    std::mt19937 rng(11);
    Boxes b;
    std::vector<std::u16string> texts;
    for (int i = 0; i < 60'000; ++i) {
        std::u16string text(rng() % 40, u'a');
        for (char16_t& c : text)
            c = u"abc"[rng() % 3];
        texts.push_back(text);
        b.inbox.append(message(text, "+491701234567", i));
    }
    ConversationIndex index(PhoneNumbers("DE"));
    index.update(b.inbox, b.sent, b.deleted);
    for (const std::u16string q : {u"a", u"cb", u"abc", u"ccccc", u"abcabcabcabcabcabcab"}) {
        std::vector<size_t> expected;
        for (size_t i = 0; i < texts.size(); ++i) {
            if (texts[i].find(q) != std::u16string::npos)
                expected.push_back(i);
        }
        EXPECT_EQ(index.search(BoxKind::Inbox, SearchQuery(q, PhoneNumbers("DE")), nullptr),
                  expected)
            << "query of " << q.size();
    }
}

// With no home region (LANG=C): a number typed as people write it finds
// the conversation it may be, when only one fits.
TEST(ConversationIndexTest, NumbersTypedAnyWayFindTheirConversation) {
    Boxes b;
    b.inbox.append(message(u"Hallo", "+491701234567", 1));
    b.inbox.append(message(u"Hello", "+442079460958", 2));
    b.inbox.append(message(u"Hej", "+46731234567", 3));
    b.inbox.append(message(u"Local", "0301234", 4));
    b.inbox.append(message(u"Salut", "+33731234567", 5));
    const PhoneNumbers none("ZZ");
    ConversationIndex index(none);
    index.update(b.inbox, b.sent, b.deleted);
    const auto shown = [&](std::string_view typed) -> std::u16string {
        const std::optional<size_t> c = index.find_typed(typed);
        return c ? texts_of(index, *c, b).front() : u"(none)";
    };
    EXPECT_EQ(shown("0170-1234567"), u"Hallo");
    EXPECT_EQ(shown("0049 170 1234567"), u"Hallo");
    EXPECT_EQ(shown("030-1234"), u"Local");
    EXPECT_EQ(shown("073 1234567"), u"(none)");  // Sweden's or France's
    EXPECT_EQ(shown("0180-1234567"), u"(none)");
    for (const char16_t* typed : {u"0044 20 79", u"+44 20", u"004420"}) {
        EXPECT_EQ(index.search(BoxKind::Inbox, SearchQuery(typed, none), nullptr),
                  (std::vector<size_t>{1}));
    }
}

}  // namespace
}  // namespace quillet
