// The contacts' vCard read back by a strict reader written against RFC 2426:
// CR LF lines of at most 75 octets, each valid UTF-8 on its own, unfolded
// before parsing; BEGIN, VERSION 3.0, a UUID as UID, N and FN in every card;
// no UID twice in a file; only the
// escapes the RFC defines, and no bare "," or ";" inside a text value.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "desktop/formats/vcard.h"
#include "store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

struct Card {
    std::vector<std::string> n;  // the N components, unescaped
    std::string fn;
    std::string uid;
    std::vector<std::string> tel_params;
    std::vector<std::string> tels;
};

bool valid_utf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t len = c < 0x80         ? 1
                           : (c >> 5) == 6  ? 2
                           : (c >> 4) == 14 ? 3
                           : (c >> 3) == 30 ? 4
                                            : 0;
        if (len == 0 || i + len > s.size())
            return false;
        for (size_t k = 1; k < len; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += len;
    }
    return true;
}

// Unescapes one text value; `separator` (';' for N, 0 for none) splits it.
// Nullopt on an escape the RFC does not define or a bare "," or ";".
std::optional<std::vector<std::string>> text_values(std::string_view v, char separator) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < v.size(); ++i) {
        const char c = v[i];
        if (c == '\\') {
            if (++i == v.size())
                return std::nullopt;
            const char e = v[i];
            if (e == 'n' || e == 'N') {
                parts.back() += '\n';
            } else if (e == '\\' || e == ',' || e == ';') {
                parts.back() += e;
            } else {
                return std::nullopt;
            }
        } else if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) {
            return std::nullopt;  // no control characters in a text value
        } else if (c == separator) {
            parts.emplace_back();
        } else if (c == ',' || c == ';') {
            return std::nullopt;
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// Every card, or a failure that names the offending line.
std::vector<Card> read_vcards(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < bytes.size()) {
        const size_t end = bytes.find("\r\n", from);
        EXPECT_NE(end, std::string::npos) << "last line without CR LF";
        if (end == std::string::npos)
            return {};
        const std::string physical = bytes.substr(from, end - from);
        EXPECT_LE(physical.size(), 75u) << physical;
        EXPECT_TRUE(valid_utf8(physical)) << "a UTF-8 sequence cut by folding: " << physical;
        EXPECT_EQ(physical.find_first_of("\r\n"), std::string::npos) << physical;
        if (!physical.empty() && (physical[0] == ' ' || physical[0] == '\t')) {
            EXPECT_FALSE(lines.empty());
            if (!lines.empty())
                lines.back() += physical.substr(1);
        } else {
            lines.push_back(physical);
        }
        from = end + 2;
    }
    std::vector<Card> cards;
    std::optional<Card> open;
    bool versioned = false;
    for (const std::string& line : lines) {
        const size_t colon = line.find(':');
        EXPECT_NE(colon, std::string::npos) << line;
        if (colon == std::string::npos)
            continue;
        const std::string head = line.substr(0, colon);
        const std::string value = line.substr(colon + 1);
        const std::string name = head.substr(0, head.find(';'));
        for (char c : name)
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '-') << line;
        if (name == "BEGIN") {
            EXPECT_FALSE(open) << "BEGIN inside a card";
            EXPECT_EQ(value, "VCARD");
            open.emplace();
            versioned = false;
        } else if (name == "END") {
            EXPECT_TRUE(open && versioned) << "END without BEGIN or VERSION";
            EXPECT_EQ(value, "VCARD");
            if (open) {
                EXPECT_EQ(open->n.size(), 5u) << "N missing or not of five components";
                EXPECT_FALSE(open->fn.empty()) << "FN missing";
                EXPECT_FALSE(open->uid.empty()) << "UID missing";
                for (const Card& earlier : cards)
                    EXPECT_NE(earlier.uid, open->uid) << "UID of two cards";
                cards.push_back(*open);
            }
            open.reset();
        } else if (!open) {
            ADD_FAILURE() << "outside a card: " << line;
        } else if (name == "VERSION") {
            EXPECT_EQ(value, "3.0");
            versioned = true;
        } else if (name == "N") {
            const auto parts = text_values(value, ';');
            EXPECT_TRUE(parts) << line;
            if (parts)
                open->n = *parts;
        } else if (name == "UID") {
            // urn:uuid: then 8-4-4-4-12 hexadecimal digits.
            const std::string hex = value.substr(std::min<size_t>(9, value.size()));
            EXPECT_TRUE(value.starts_with("urn:uuid:") && hex.size() == 36) << line;
            for (size_t i = 0; i < hex.size(); ++i) {
                const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
                EXPECT_TRUE(dash ? hex[i] == '-'
                                 : std::isxdigit(static_cast<unsigned char>(hex[i])))
                    << line;
            }
            open->uid = value;
        } else if (name == "FN") {
            const auto parts = text_values(value, 0);
            EXPECT_TRUE(parts) << line;
            if (parts)
                open->fn = parts->front();
        } else if (name == "TEL") {
            EXPECT_EQ(value.find_first_not_of("+0123456789*#-() ."), std::string::npos) << line;
            open->tel_params.push_back(head.substr(name.size()));
            open->tels.push_back(value);
        } else {
            ADD_FAILURE() << "unexpected type: " << line;
        }
    }
    EXPECT_FALSE(open) << "card not ended";
    return cards;
}

ContactList list_of(std::initializer_list<std::pair<std::string_view, std::string_view>> entries) {
    ContactList contacts;
    for (const auto& [name, number] : entries)
        contacts.append(make_contact(name, number));
    contacts.sort_contacts();
    return contacts;
}

TEST(VCardTest, SimAndPhoneEntriesOfOnePersonMakeOneCard) {
    // "Chlo\xe9" is "Chloé" in the phone's 8-bit text.
    const ContactList contacts = list_of({{"Chlo\xe9 Martin", "06 12 34 56 78"},
                                          {"Chlo\xe9,Martin", "+33 6 12 34 56 78"},
                                          {"Max,Mustermann", "+49 170 1234567"},
                                          {"Max,Mustermann", "+49 30 9876543"},
                                          {"Bank", "7788"}});
    size_t count = 0;
    const std::vector<Card> cards = read_vcards(vcard_bytes(contacts, &count));
    ASSERT_EQ(cards.size(), 3u);
    EXPECT_EQ(count, 3u);

    EXPECT_EQ(cards[0].fn, "Bank");
    EXPECT_EQ(cards[0].n, (std::vector<std::string>{"", "Bank", "", "", ""}));
    EXPECT_EQ(cards[0].tels, std::vector<std::string>{"7788"});
    EXPECT_EQ(cards[0].tel_params, std::vector<std::string>{";TYPE=CELL"});

    EXPECT_EQ(cards[1].fn, "Chlo\xC3\xA9 Martin");
    EXPECT_EQ(cards[1].n, (std::vector<std::string>{"Martin", "Chlo\xC3\xA9", "", "", ""}));
    EXPECT_EQ(cards[1].tels, std::vector<std::string>{"+33 6 12 34 56 78"});

    EXPECT_EQ(cards[2].fn, "Max Mustermann");
    EXPECT_EQ(cards[2].n, (std::vector<std::string>{"Mustermann", "Max", "", "", ""}));
    // Entries of equal names have no defined order in the list.
    std::vector<std::string> tels = cards[2].tels;
    std::sort(tels.begin(), tels.end());
    EXPECT_EQ(tels, (std::vector<std::string>{"+49 170 1234567", "+49 30 9876543"}));
}

// Address books file cards by UID: a card keeps its UID from export to
// export, whatever else in the list changed. A SIM name is kept as written.
TEST(VCardTest, EveryCardKeepsItsUidAndTheSimsNameAsWritten) {
    const std::vector<Card> before =
        read_vcards(vcard_bytes(list_of({{"Doe, John", "+1 555 0100"}, {"Max,Muster", "1"}})));
    const std::vector<Card> after = read_vcards(vcard_bytes(
        list_of({{"Anna", "2"}, {"Max,Muster", "1"}, {"Max,Muster", "3"}, {"Doe, John", "4"}})));
    ASSERT_EQ(before.size(), 2u);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(before[0].fn, "Doe, John");
    EXPECT_EQ(before[0].n, (std::vector<std::string>{"", "Doe, John", "", "", ""}));
    EXPECT_EQ(after[1].fn, "Doe, John");
    EXPECT_EQ(before[0].uid, after[1].uid);
    EXPECT_EQ(before[1].uid, after[2].uid);
}

TEST(VCardTest, SeparatorsBackslashesAndLineBreaksAreEscaped) {
    const ContactList contacts = list_of({{"A;B\\C", "1"},
                                          {"two\r\nlines", "2"},
                                          {"", "+44 20 7946 0000"},
                                          {"Odd\x01number", "12,34;56"}});
    const std::string bytes = vcard_bytes(contacts);
    EXPECT_NE(bytes.find("FN:A\\;B\\\\C\r\n"), std::string::npos);
    const std::vector<Card> cards = read_vcards(bytes);
    ASSERT_EQ(cards.size(), 4u);
    EXPECT_EQ(cards[0].fn, "+44 20 7946 0000");  // a nameless entry is shown by its number
    EXPECT_EQ(cards[1].fn, "A;B\\C");
    EXPECT_EQ(cards[1].n[1], "A;B\\C");
    EXPECT_EQ(cards[2].fn, "Odd\xEF\xBF\xBDnumber");  // a control shown replaced
    EXPECT_EQ(cards[2].tels, std::vector<std::string>{"123456"});
    EXPECT_EQ(cards[3].fn, "two\nlines");
}

TEST(VCardTest, LongLinesAreFoldedBetweenCharactersAndUnfoldBack) {
    // Euro signs ("\x80", three octets in UTF-8) behind none, one or two
    // two-octet characters, so folds fall at every offset of a sequence.
    const auto repeated = [](std::string_view piece, size_t n) {
        std::string out;
        for (size_t k = 0; k < n; ++k)
            out += piece;
        return out;
    };
    ContactList contacts;
    for (size_t lead = 0; lead < 3; ++lead)
        contacts.append(make_contact(
            repeated("\xe9", lead) + repeated("\x80", 16) + "," + repeated("\x80", 12), "5550100"));
    const std::string bytes = vcard_bytes(contacts);
    EXPECT_NE(bytes.find("\r\n "), std::string::npos) << "nothing was folded";
    const std::vector<Card> cards = read_vcards(bytes);
    ASSERT_EQ(cards.size(), 3u);
    for (size_t lead = 0; lead < 3; ++lead) {
        const std::string given = repeated("\xC3\xA9", lead) + repeated("\xE2\x82\xAC", 16);
        const std::string family = repeated("\xE2\x82\xAC", 12);
        EXPECT_EQ(cards[lead].fn, given + " " + family);
        EXPECT_EQ(cards[lead].n, (std::vector<std::string>{family, given, "", "", ""}));
    }
}

TEST(VCardTest, ExportWritesTheCardsAtomically) {
    AppFolders folders;
    const ContactList contacts = list_of({{"Nora,Weiss", "0151 12345678"}});
    const fs::path path = folders.data() / "contacts.vcf";
    write_file(path, "old");
    size_t count = 0;
    ASSERT_TRUE(export_vcard(path, contacts, &count));
    EXPECT_EQ(count, 1u);
    const std::vector<Card> cards = read_vcards(file_contents(path));
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(file_contents(path),
              "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + cards[0].uid +
                  "\r\nN:Weiss;Nora;;;\r\n"
                  "FN:Nora Weiss\r\nTEL;TYPE=CELL:0151 12345678\r\nEND:VCARD\r\n");
    EXPECT_FALSE(export_vcard(folders.data() / "missing" / "x.vcf", contacts));
    EXPECT_TRUE(read_vcards(vcard_bytes(ContactList())).empty());
}

}  // namespace
}  // namespace quillet
