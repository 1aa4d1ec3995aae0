#include "desktop/store/sms_message.h"
#include "desktop/store/phone_number.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace quillet {
namespace {

// Sets TZ for one test and puts the old one back.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (old_.empty()) {
            unsetenv("TZ");
        } else {
            setenv("TZ", old_.c_str(), 1);
        }
        tzset();
    }

  private:
    std::string old_;
};

TEST(NormaliseNumberTest, KeepsOneLeadingPlusAndTheDigits) {
    EXPECT_EQ(normalise_number("+1 (2) 3"), "+123");
    EXPECT_EQ(normalise_number("0+3"), "03");
    EXPECT_EQ(normalise_number("++3"), "+3");
    EXPECT_EQ(normalise_number("+44 (0)20-7946 0958"), "+4402079460958");
    EXPECT_EQ(normalise_number(""), "");
    // A sender name is its own correspondent, kept as written.
    for (const auto& [raw, kept] : std::initializer_list<std::pair<std::string_view, std::string>>{
             {"abc", "abc"},
             {" DHL Express ", "DHL Express"},
             {"info24@example.com", "info24@example.com"},
             {"Bank", "Bank"},
             {"\"Chlo\xe9 Martin\" <chloe@example.org>", "chloe@example.org"},
             {"\"Chlo\xe9 Martin\" <chloe@example.o", "chloe@example.o"}}) {
        EXPECT_EQ(normalise_number(raw), kept) << raw;
        EXPECT_EQ(former_normalised_number(raw), normalise_number(digits_of(raw))) << raw;
    }
    EXPECT_EQ(normalise_number("+"), "+");
    EXPECT_EQ(normalise_number("12+34"), "1234");
    // The stored field is the same number, cut to 31 bytes, zeros after.
    for (std::string_view raw :
         {"+1 (2) 3", "0+3", "", "abc", "+49 (151) 123-456-789-012-345-678-901-234"}) {
        TextField expected{};
        set_text_field(expected, normalise_number(raw));
        EXPECT_EQ(normalised_number_field(raw), expected) << raw;
    }
}

TEST(SmsMessageTest, FreshRecordHasNoTextAndZeroFields) {
    SmsMessage m;
    EXPECT_FALSE(m.text());
    EXPECT_EQ(m.number(), "");
    EXPECT_EQ(m.time(), 0u);
    EXPECT_EQ(m.read(), 0);
    EXPECT_EQ(m.on_phone(), 0);
    EXPECT_EQ(m.entry_id(), EntryId{});
}

TEST(SmsMessageTest, CopiesAreDeep) {
    SmsMessage a;
    a.set_text(u"one");
    SmsMessage b = a;
    b.set_text(u"two");
    EXPECT_EQ(*a.text(), u"one");
    SmsMessage absent;
    SmsMessage copy = absent;
    EXPECT_FALSE(copy.text());
}

TEST(SmsMessageTest, FromWireTakesEveryFieldAndReadFromFlags) {
    SmsWireRecord w;
    set_text_field(w.address, "+49 (170) 123-45");
    w.text = u"hello";
    w.time = 123456789;
    w.entry_id[0] = 7;
    for (uint32_t flags : {1u, 1024u}) {
        w.flags = flags;
        const SmsMessage m = SmsMessage::from_wire(w);
        EXPECT_EQ(m.read(), 1) << flags;
        EXPECT_EQ(m.number(), "+4917012345");
        EXPECT_EQ(*m.text(), u"hello");
        EXPECT_EQ(m.time(), 123456789u);
        EXPECT_EQ(m.entry_id()[0], 7);
        EXPECT_EQ(m.on_phone(), 0);
    }
    w.flags = 0;
    EXPECT_EQ(SmsMessage::from_wire(w).read(), 0);
}

TEST(SmsMessageTest, ToWireOfEmptyTextIs70BytesEndingInZeros) {
    SmsMessage m;
    m.set_text(u"");
    m.set_number("+12");
    m.set_message_class(1);
    const std::vector<uint8_t> bytes = m.to_wire().encode();
    ASSERT_EQ(bytes.size(), 70u);
    EXPECT_EQ(bytes[68], 0);
    EXPECT_EQ(bytes[69], 0);
    EXPECT_EQ(bytes[4], '+');
    EXPECT_EQ(bytes[44], 1);
}

SmsMessage message_at(FileTime t, std::u16string_view text = u"same",
                      std::string_view number = "+1") {
    SmsMessage m;
    m.set_text(text);
    m.set_number(number);
    m.set_time(t);
    return m;
}

TEST(SameMessageTest, WholeSecondBoundaryInTheLocalZone) {
    ScopedTimeZone tz("Europe/Berlin");
    const FileTime noon = filetime_from_unix(1'700'000'000);
    const FileTime half = kTicksPerSecond / 2;
    EXPECT_TRUE(message_at(noon).same_message(message_at(noon + half)));
    EXPECT_TRUE(message_at(noon).same_message(message_at(noon + kTicksPerSecond - 1)));
    // 12:00:00.9 and 12:00:01.0
    EXPECT_FALSE(message_at(noon + 9 * kTicksPerSecond / 10)
                     .same_message(message_at(noon + kTicksPerSecond)));
}

TEST(SameMessageTest, OnlyTextNumberAndSecondCount) {
    SmsMessage a = message_at(5 * kTicksPerSecond);
    SmsMessage b = a;
    b.set_read(1);
    b.set_on_phone(1);
    b.set_message_class(3);
    b.set_entry_id(EntryId{1, 2, 3});
    EXPECT_TRUE(a.same_message(b));
    EXPECT_FALSE(a.same_message(message_at(5 * kTicksPerSecond, u"Same")));
    EXPECT_FALSE(a.same_message(message_at(5 * kTicksPerSecond, u"same", "+2")));
}

TEST(SameMessageTest, TimesBefore1970CompareByWholeSeconds) {
    ScopedTimeZone tz("UTC");
    const FileTime t = kUnixEpochTicks - kTicksPerSecond / 2;  // 1969-12-31 23:59:59.5
    EXPECT_TRUE(message_at(t).same_message(message_at(t - kTicksPerSecond / 4)));
    EXPECT_FALSE(message_at(t).same_message(message_at(kUnixEpochTicks)));
}

TEST(SmsMessageTest, StripCrAndExpandLf) {
    SmsMessage m;
    m.set_text(u"a\r\nb\r\n");
    m.strip_cr();
    EXPECT_EQ(*m.text(), u"a\nb\n");
    m.set_text(u"a\nb");
    m.expand_lf();
    EXPECT_EQ(*m.text(), u"a\r\nb");
    m.set_text(u"no breaks");
    m.strip_cr();
    EXPECT_EQ(*m.text(), u"no breaks");
}

// Regression: a text whose expansion passes 1023 units kept only what fit.
TEST(SmsMessageTest, ExpandLfKeepsALongTextWhole) {
    std::u16string text;
    for (int i = 0; i < 900; ++i)
        text += u"x\n";
    SmsMessage m;
    m.set_text(text);
    m.expand_lf();
    ASSERT_EQ(m.text()->size(), 2700u);
    EXPECT_EQ(m.text()->substr(2697), u"x\r\n");
}

TEST(SmsMessageTest, NumberIsCutTo31Bytes) {
    SmsMessage m;
    m.set_number(std::string(40, '5'));
    EXPECT_EQ(m.number().size(), 31u);
}

}  // namespace
}  // namespace quillet
