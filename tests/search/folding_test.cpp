// Folding as search compares texts, and the query's rules for numbers.
#include <gtest/gtest.h>

#include "desktop/search/search_query.h"
#include "desktop/search/text_folding.h"

namespace quillet {
namespace {

bool finds(std::u16string_view typed, std::u16string_view text) {
    return SearchQuery(typed, PhoneNumbers("ZZ")).matches_folded(fold_for_search(text));
}

TEST(FoldingTest, GermanSharpSFoldsToSs) {
    EXPECT_TRUE(finds(u"STRASSE", u"Hauptstraße 5"));
    EXPECT_TRUE(finds(u"straße", u"HAUPTSTRASSE"));
    EXPECT_TRUE(finds(u"Grüße", u"viele GRÜSSE"));
    EXPECT_TRUE(finds(u"grusse", u"Viele Grüße"));
    EXPECT_EQ(fold_for_search(u"\u1E9E"), "ss");  // capital sharp s
}

TEST(FoldingTest, FrenchAccentsAreDropped) {
    EXPECT_TRUE(finds(u"cafe", u"Café demain ?"));
    EXPECT_TRUE(finds(u"CAFÉ", u"cafe"));
    EXPECT_TRUE(finds(u"a bientot, ca va", u"À bientôt, ça va ?"));
    EXPECT_TRUE(finds(u"noel", u"Joyeux Noël"));
    // A decomposed accent (e + combining acute) too.
    EXPECT_TRUE(finds(u"cafe", u"Cafe\u0301"));
    EXPECT_FALSE(finds(u"cafes", u"Café demain"));
}

TEST(FoldingTest, TurkishDottedAndDotlessIAreI) {
    EXPECT_EQ(fold_for_search(u"\u0130stanbul"), "istanbul");  // İ
    EXPECT_EQ(fold_for_search(u"kap\u0131"), "kapi");          // ı
    EXPECT_TRUE(finds(u"ISTANBUL", u"\u0130stanbul'da"));
    EXPECT_TRUE(finds(u"kapı", u"KAPI"));
    EXPECT_TRUE(finds(u"KAPI", u"kapı açık"));
    EXPECT_TRUE(finds(u"acik", u"kapı AÇIK"));
}

TEST(FoldingTest, GreekFinalSigmaIsSigma) {
    EXPECT_EQ(fold_for_search(u"ΟΔΟΣ"), fold_for_search(u"οδος"));
    EXPECT_TRUE(finds(u"οδος", u"ΣΤΗΝ ΟΔΟΣ"));
    EXPECT_TRUE(finds(u"ΟΔΟΣ", u"στην οδός"));  // with tonos
    EXPECT_TRUE(finds(u"σ", u"λόγος"));
}

TEST(FoldingTest, OddUnitsFoldSafely) {
    EXPECT_EQ(fold_for_search(std::u16string(u"a\0b", 3)), "a b");
    EXPECT_EQ(fold_for_search(u"\xD800x"), "\xEF\xBF\xBDx");  // a lone surrogate
    EXPECT_EQ(fold_for_search(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(fold_for_search(u""), "");
}

TEST(FoldedTextTest, HitsMapBackToWholeCharactersOfTheOriginal) {
    const std::u16string text = u"Viele Grüße aus der Straße";
    const FoldedText folded(text);
    const auto hits = folded.find_all(fold_for_search(u"STRASSE"));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(text.substr(hits[0].first, hits[0].second), u"Straße");
    // Half of a folded ß still marks the whole ß.
    const auto half = folded.find_all("gruss");
    ASSERT_EQ(half.size(), 1u);
    EXPECT_EQ(text.substr(half[0].first, half[0].second), u"Grüß");
    // A decomposed accent belongs to its letter.
    const std::u16string decomposed = u"x Cafe\u0301 y";
    const auto cafe = FoldedText(decomposed).find_all("cafe");
    ASSERT_EQ(cafe.size(), 1u);
    EXPECT_EQ(decomposed.substr(cafe[0].first, cafe[0].second), u"Cafe\u0301");
    // Every occurrence, and none for an empty query.
    EXPECT_EQ(FoldedText(u"aAaA").find_all("aa").size(), 2u);
    EXPECT_TRUE(FoldedText(u"abc").find_all("").empty());
    const auto emoji = FoldedText(u"\U0001F600 ok").find_all("ok");
    ASSERT_EQ(emoji.size(), 1u);
    EXPECT_EQ(emoji[0], (std::pair<size_t, size_t>{3, 2}));
}

TEST(SearchQueryTest, DigitsMatchNumbersHoweverTheyAreWritten) {
    const PhoneNumbers de("DE");
    const auto matches = [&](std::u16string_view typed, std::string_view number) {
        return SearchQuery(typed, de).matches_number(number, de.parse(number));
    };
    // The digits as typed, with blanks and dashes.
    EXPECT_TRUE(matches(u"170 123", "+491701234567"));
    EXPECT_TRUE(matches(u"170-1234", "+491701234567"));
    EXPECT_TRUE(matches(u"+49 170", "+491701234567"));
    // With the national prefix: the national number's start.
    EXPECT_TRUE(matches(u"0170 123", "+491701234567"));
    EXPECT_TRUE(matches(u"0170 123", "01701234567"));
    EXPECT_FALSE(matches(u"0170 123", "+331701234567"));  // another country
    EXPECT_FALSE(matches(u"0171", "+491701234567"));
    // Letters are no number; short codes by their digits.
    EXPECT_FALSE(matches(u"abc", "+491701234567"));
    EXPECT_TRUE(matches(u"222", "22222"));
    // Without a region only the digits as typed count.
    const PhoneNumbers none("ZZ");
    EXPECT_FALSE(SearchQuery(u"0170 123", none)
                     .matches_number("+491701234567", none.parse("+491701234567")));
    EXPECT_TRUE(SearchQuery(u" ", none).empty());
}

}  // namespace
}  // namespace quillet
