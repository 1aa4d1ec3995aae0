// Numbers as the network sees them: which spellings are one correspondent in
// which home region, and the region a locale gives.
#include <gtest/gtest.h>

#include "desktop/store/phone_number.h"

namespace quillet {
namespace {

TEST(PhoneNumberGroupingTest, SpellingsOfOneNumberGroupInTheirHomeRegion) {
    const PhoneNumbers de("DE");
    const std::string key = de.group_key("+491701234567");
    EXPECT_EQ(key, "+491701234567");
    for (const char* spelling : {"+49 170 1234567", "01701234567", "0170/123 45 67",
                                 "0049 170 1234567", "+49 (0)170 1234567"})
        EXPECT_EQ(de.group_key(spelling), key) << spelling;

    const PhoneNumbers fr("FR");
    EXPECT_EQ(fr.group_key("06 12 34 56 78"), "+33612345678");
    EXPECT_EQ(fr.group_key("+33 6 12 34 56 78"), "+33612345678");
    EXPECT_EQ(fr.group_key("0033612345678"), "+33612345678");

    const PhoneNumbers us("US");
    EXPECT_EQ(us.group_key("(555) 123-4567"), "+15551234567");
    EXPECT_EQ(us.group_key("1-555-123-4567"), "+15551234567");
    const PhoneNumbers tr("TR");
    EXPECT_EQ(tr.group_key("0532 123 45 67"), "+905321234567");
}

TEST(PhoneNumberGroupingTest, ANationalSpellingBelongsToTheHomeRegionOnly) {
    // The same digits are another number in France, and no full number
    // without a region.
    EXPECT_NE(PhoneNumbers("FR").group_key("01701234567"), "+491701234567");
    EXPECT_EQ(PhoneNumbers("ZZ").group_key("01701234567"), "=01701234567");
    // Written with the country code, a number is the same everywhere.
    EXPECT_EQ(PhoneNumbers("ZZ").group_key("+49 170 1234567"), "+491701234567");
    // With no region, "00" is the international prefix.
    EXPECT_EQ(PhoneNumbers("ZZ").group_key(" 0044 20 7946 0958"), "+442079460958");
    EXPECT_EQ(PhoneNumbers("ZZ").group_key("   "), "=   ");
    EXPECT_EQ(PhoneNumbers("US").group_key("+49 170 1234567"), "+491701234567");
    // Numbers that end alike are different numbers.
    EXPECT_FALSE(PhoneNumbers("DE").same_number("+15551234567", "+491701234567"));
}

TEST(PhoneNumberGroupingTest, ShortCodesGroupByTheirExactTextSenderNamesIgnoringCase) {
    const PhoneNumbers de("DE");
    EXPECT_EQ(de.group_key("22222"), "=22222");
    EXPECT_EQ(de.group_key("112"), "=112");
    EXPECT_NE(de.group_key("22222"), de.group_key("2222 2"));
    EXPECT_EQ(de.group_key("Bank"), "=bank");
    EXPECT_EQ(de.group_key("Bank"), de.group_key("BANK"));
    EXPECT_EQ(de.group_key("DHL Express"), "=dhl express");
    EXPECT_NE(de.group_key("Bank1"), de.group_key("BANK1"));  // has digits: exact
    EXPECT_EQ(de.group_key(""), "=");
    // A country code that does not exist, and an impossible length.
    EXPECT_EQ(de.group_key("+999123456789"), "=+999123456789");
    EXPECT_EQ(de.group_key("+4912345678901234567"), "=+4912345678901234567");
    // A hostile length is refused, not parsed.
    const std::string long_text(100'000, '1');
    EXPECT_EQ(de.group_key(long_text), "=" + long_text);
}

TEST(PhoneNumberGroupingTest, ANumberFieldNamesEachOfItsCorrespondentsOnce) {
    const PhoneNumbers de("DE");
    const struct {
        const char* field;
        std::vector<std::string> keys;
    } cases[] = {
        {"+491701234567", {"+491701234567"}},
        {"0170 1234567; +15551234567", {"+15551234567", "+491701234567"}},
        {"+491701234567,01701234567", {"+491701234567"}},
        {"Bank;BANK", {"=bank"}},
        {"", {"="}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(de.correspondent_keys(c.field), c.keys) << c.field;
}

TEST(PhoneNumberGroupingTest, OnlyAPrefixMayStandBeforeTheNationalNumber) {
    const ParsedNumber berlin = *PhoneNumbers("ZZ").parse("+49301234567");
    const struct {
        const char* digits;
        bool same;
    } cases[] = {{"0301234567", true},  {"301234567", true},     {"0049301234567", true},
                 {"06301234567", true}, {"0501234567", false},   {"555301234567", false},
                 {"01234567", false},   {"0044301234567", false}};
    for (const auto& c : cases)
        EXPECT_EQ(plausibly_same_number(berlin, c.digits), c.same) << c.digits;
}

TEST(PhoneNumberGroupingTest, ParsedNumbersKnowTheirCountryAndNationalNumber) {
    const PhoneNumbers de("DE");
    EXPECT_EQ(de.country_code(), 49);
    EXPECT_EQ(de.national_prefix(), "0");
    const std::optional<ParsedNumber> n = de.parse("0170 1234567");
    ASSERT_TRUE(n);
    EXPECT_EQ(n->country_code, 49);
    EXPECT_EQ(n->national, "1701234567");
    EXPECT_FALSE(de.parse("Bank"));
    const PhoneNumbers none("ZZ");
    EXPECT_EQ(none.country_code(), 0);
    EXPECT_EQ(none.national_prefix(), "");
}

TEST(PhoneNumberGroupingTest, CopiesShareTheMemoAndGiveTheSameAnswers) {
    const PhoneNumbers de("DE");
    const PhoneNumbers copy = de;
    EXPECT_EQ(de.group_key("0170 1234567"), copy.group_key("0170 1234567"));
    de.forget();
    EXPECT_EQ(copy.group_key("0170 1234567"), "+491701234567");
}

TEST(PhoneRegionTest, TheRegionComesFromTheLocaleOrIsNone) {
    EXPECT_EQ(region_of_locale("de_DE.UTF-8"), "DE");
    EXPECT_EQ(region_of_locale("pt_BR@latin"), "BR");
    EXPECT_EQ(region_of_locale("fr_ch"), "CH");
    EXPECT_EQ(region_of_locale("C"), "ZZ");
    EXPECT_EQ(region_of_locale("C.UTF-8"), "ZZ");
    EXPECT_EQ(region_of_locale("POSIX"), "ZZ");
    EXPECT_EQ(region_of_locale("en"), "ZZ");
    EXPECT_EQ(region_of_locale("xx_QQ.UTF-8"), "ZZ");
    EXPECT_EQ(region_of_locale(""), "ZZ");
    EXPECT_EQ(PhoneNumbers("QQ").region(), "ZZ");
}

TEST(PhoneRegionTest, TheFirstSetLocaleVariableDecides) {
    const auto keep = [](const char* name) {
        const char* v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    };
    const auto all = keep("LC_ALL"), tel = keep("LC_TELEPHONE"), lang = keep("LANG");
    ::unsetenv("LC_ALL");
    ::setenv("LC_TELEPHONE", "fr_FR.UTF-8", 1);
    ::setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(default_phone_region(), "FR");
    ::setenv("LC_ALL", "it_IT", 1);
    EXPECT_EQ(default_phone_region(), "IT");
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_TELEPHONE");
    ::unsetenv("LANG");
    EXPECT_EQ(default_phone_region(), "ZZ");
    const auto put = [](const char* name, const std::optional<std::string>& v) {
        if (v)
            ::setenv(name, v->c_str(), 1);
        else
            ::unsetenv(name);
    };
    put("LC_ALL", all);
    put("LC_TELEPHONE", tel);
    put("LANG", lang);
}

}  // namespace
}  // namespace quillet
