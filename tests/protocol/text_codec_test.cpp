#include "protocol/text_codec.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(TextCodecTest, CodePageHoldsTheEuroSignAndAccents) {
    EXPECT_EQ(to_ansi(u"\u20AC caf\u00E9"), "\x80 caf\xE9");
    EXPECT_EQ(from_ansi("\x80 caf\xE9"), u"\u20AC caf\u00E9");
    EXPECT_EQ(to_ansi(u"plain"), "plain");
}

TEST(TextCodecTest, UnrepresentableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(to_ansi(u"a\u4E2Db"), "a?b");
    EXPECT_EQ(to_ansi(u"x\U0001F600y"), "x?y");  // a surrogate pair is one character
    EXPECT_EQ(to_ansi(std::u16string(u"z") + char16_t(0xD800)), "z?");  // a lone surrogate
    // A byte the code page leaves undefined is the C1 control of its code,
    // and goes back to the same byte.
    EXPECT_EQ(from_ansi("a\x81"
                        "b"),
              u"a\u0081b");
    EXPECT_EQ(to_ansi(u"a\u0081b"),
              "a\x81"
              "b");
}

TEST(TextCodecTest, Utf8RoundTripAndInvalidInput) {
    EXPECT_EQ(from_utf8("\xE2\x82\xAC"), u"\u20AC");
    EXPECT_EQ(to_utf8(u"\u20AC\U0001F600"), "\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(from_utf8("a\xFF"
                        "b"),
              u"a\uFFFDb");
}

TEST(TextCodecTest, FieldTextIsCutTo31Bytes) {
    EXPECT_EQ(to_ansi_field(std::u16string(40, u'9')).size(), 31u);
    EXPECT_EQ(to_ansi_field(u"short"), "short");
}

}  // namespace
}  // namespace quillet
