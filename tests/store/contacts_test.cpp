// The contact list: its file, its defined sort order, and the number-to-name
// lookup, checked against the per-call scan after every kind of change.
#include <gtest/gtest.h>

#include <random>

#include "desktop/store/contact_list.h"
#include "desktop/store/contacts_file.h"
#include "protocol/text_codec.h"
#include "store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

std::string contacts_file(std::string_view header, int32_t count, std::string_view records) {
    std::string h(header);
    h.resize(20, '\0');
    return h + le32(static_cast<uint32_t>(count)) + std::string(records);
}

std::string record(std::string_view name, std::string_view number) {
    return field32(name) + field32(number);
}

// The sort as first described: selection sort, first smallest name kept.
void selection_sort(std::vector<Contact>& list) {
    for (size_t p = 0; p < list.size(); ++p) {
        size_t m = p;
        for (size_t q = p; q < list.size(); ++q) {
            if (text_field(list[m].name) > text_field(list[q].name))
                m = q;
        }
        std::swap(list[p], list[m]);
    }
}

// The lookup as described, scanning on every call: the first contact that is
// the same number; else, among the contacts that comparison cannot decide, the
// older rule's matches when they are one contact (one name or one cleaned
// number, the first in list order).
std::u16string scan_name(const ContactList& list, std::string_view q) {
    const PhoneNumbers& numbers = list.phone_numbers();
    const std::vector<Contact>& contacts = list.contacts();
    const auto shown = [&](const Contact& c) {
        return shown_contact_name(from_ansi(text_field(c.name)), list.name_order());
    };
    const std::optional<ParsedNumber> query = numbers.parse(q);
    for (const Contact& c : contacts) {
        if (query && numbers.e164(text_field(c.number)) == query->e164)
            return shown(c);
    }
    const Contact* first = nullptr;
    for (const Contact& c : contacts) {
        const std::optional<ParsedNumber> contact = numbers.parse(text_field(c.number));
        if (query && contact)
            continue;
        const std::string cleaned = clean_contact_number(text_field(c.number));
        if ((contact && !plausibly_same_number(*contact, digits_of(q))) ||
            (query && !plausibly_same_number(*query, digits_of(cleaned))))
            continue;
        const bool tails = q.size() > 7 && cleaned.size() > 7;
        const bool equal =
            tails ? q.substr(q.size() - 7) == std::string_view(cleaned).substr(cleaned.size() - 7)
                  : q == cleaned;
        if (!equal)
            continue;
        if (first == nullptr) {
            first = &c;
        } else if (text_field(first->name) != text_field(c.name) &&
                   clean_contact_number(text_field(first->number)) != cleaned) {
            return from_ansi(q);
        }
    }
    return first != nullptr ? shown(*first) : from_ansi(q);
}

ContactList list_of(std::initializer_list<Contact> contacts, std::string_view region = "ZZ") {
    ContactList list{PhoneNumbers(region)};
    for (const Contact& c : contacts)
        list.append(c);
    list.sort_contacts();
    return list;
}

TEST(ContactSortTest, CapitalsSortBeforeLowerCase) {
    const ContactList list = list_of({make_contact("anna", "1"), make_contact("Bob", "2")});
    EXPECT_EQ(text_field(list.contact_at(0).name), "Bob");
    EXPECT_EQ(text_field(list.contact_at(1).name), "anna");
}

TEST(ContactSortTest, BytesAboveAsciiSortAfterIt) {
    const ContactList list = list_of({make_contact("\xc9mile", "1"), make_contact("zoe", "2")});
    EXPECT_EQ(text_field(list.contact_at(0).name), "zoe");
}

TEST(ContactSortTest, OrderIsExactlyTheSelectionSortsWithEqualNames) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        std::vector<Contact> contacts;
        const size_t n = rng() % 30;
        for (size_t i = 0; i < n; ++i) {
            const std::string name(1 + rng() % 2, static_cast<char>('A' + rng() % 3));
            contacts.push_back(make_contact(name, std::to_string(i)));
        }
        ContactList list;
        for (const Contact& c : contacts)
            list.append(c);
        list.sort_contacts();
        selection_sort(contacts);
        ASSERT_EQ(list.count(), contacts.size());
        for (size_t i = 0; i < contacts.size(); ++i) {
            ASSERT_EQ(list.contact_at(i).encode(), contacts[i].encode())
                << "round " << round << " at " << i;
        }
    }
}

TEST(ContactLookupTest, NumbersMatchAsTheNetworkSeesThem) {
    // Ending alike is not enough: +1 555 123 4567 is not Anna.
    const ContactList both =
        list_of({make_contact("Anna", "+491701234567"), make_contact("Daniel", "+15551234567")});
    EXPECT_EQ(both.find_name_by_number("+15551234567"), u"Daniel");
    EXPECT_EQ(both.find_name_by_number("+491701234567"), u"Anna");
    const ContactList anna = list_of({make_contact("Anna", "+49 170 1234567")});
    EXPECT_EQ(anna.find_name_by_number("+15551234567"), u"+15551234567");
    EXPECT_EQ(anna.find_name_by_number("+491701234567"), u"Anna");
    // In the home region a national spelling is the same number.
    const ContactList home = list_of({make_contact("Anna", "0170 1234567")}, "DE");
    EXPECT_EQ(home.find_name_by_number("+491701234567"), u"Anna");
    EXPECT_EQ(home.find_name_by_number("+15551234567"), u"+15551234567");
    EXPECT_EQ(home.find_name_by_number("0049 170 1234567"), u"Anna");
}

TEST(ContactLookupTest, TheLastSevenDigitsDecideOnlyWhatParsingCannot) {
    // Without a region the national spelling is no full number: the older
    // rule still finds her, as the only contact ending so.
    const ContactList list = list_of({make_contact("Nora", "0151 1234 5678")});
    EXPECT_EQ(list.find_name_by_number("+4915112345678"), u"Nora");
    const ContactList eight = list_of({make_contact("Ed", "12345678")});
    EXPECT_EQ(eight.find_name_by_number("9912345678"), u"Ed");
    // Two people either of whom it may be: no guess. One whose number it
    // cannot be (0160...) does not count.
    const ContactList two =
        list_of({make_contact("Nora", "0151 1234 5678"), make_contact("Olaf", "151 1234 5678")});
    EXPECT_EQ(two.find_name_by_number("+4915112345678"), u"+4915112345678");
    const ContactList other =
        list_of({make_contact("Nora", "0151 1234 5678"), make_contact("Olaf", "0160 1234 5678")});
    EXPECT_EQ(other.find_name_by_number("+4915112345678"), u"Nora");
    // One person under two spellings is one contact.
    const ContactList twice =
        list_of({make_contact("Nora", "0151 1234 5678"), make_contact("Nora", "0160 1234 5678")});
    EXPECT_EQ(twice.find_name_by_number("+4915112345678"), u"Nora");
    // A full number of another country never falls back onto a full number.
    const ContactList full = list_of({make_contact("Anna", "+491701234567")});
    EXPECT_EQ(full.find_name_by_number("+15551234567"), u"+15551234567");
    // But a number that is no full number still may.
    EXPECT_EQ(full.find_name_by_number("01701234567"), u"Anna");
}

// With no home region (LANG=C) a national spelling is no full number; a
// full number is named after it only when its digits may be that number.
TEST(ContactLookupTest, AFullNumberIsNeverNamedAfterAnotherNumbersTail) {
    const ContactList list = list_of({make_contact("Pizza", "0301234567")});
    const struct {
        const char* number;
        const char16_t* shown;
    } cases[] = {
        {"+971501234567", u"+971501234567"},
        {"+972501234567", u"+972501234567"},
        {"+49301234567", u"Pizza"},
        {"0301234567", u"Pizza"},
        {"00971501234567", u"00971501234567"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(list.find_name_by_number(c.number), c.shown) << c.number;
    // The other way round: a contact with its country code and numbers that
    // do not parse.
    const ContactList full = list_of({make_contact("Anna", "+491701234567")});
    EXPECT_EQ(full.find_name_by_number("004917 01234567"), u"Anna");
    EXPECT_EQ(full.find_name_by_number("0551701234567"), u"0551701234567");
}

TEST(ContactLookupTest, ShortNumbersMatchOnlyWhole) {
    const ContactList list = list_of({make_contact("Service", "12")});
    EXPECT_EQ(list.find_name_by_number("12"), u"Service");
    EXPECT_EQ(list.find_name_by_number("012"), u"012");
    const ContactList de = list_of({make_contact("Service", "22222")}, "DE");
    EXPECT_EQ(de.find_name_by_number("22222"), u"Service");
    EXPECT_EQ(de.find_name_by_number("+4922222"), u"+4922222");
}

TEST(ContactLookupTest, WithoutContactsEveryNumberIsShownAsItself) {
    const ContactList list;
    EXPECT_EQ(list.find_name_by_number("+4915112345678"), u"+4915112345678");
    EXPECT_FALSE(list.name_for_number("+4915112345678"));
}

TEST(ContactLookupTest, OfTwoContactsWithOneNumberTheFirstSortedNameWins) {
    const ContactList list =
        list_of({make_contact("Zed", "555 1234"), make_contact("Amy", "5551234")});
    EXPECT_EQ(list.find_name_by_number("5551234"), u"Amy");
    const ContactList de =
        list_of({make_contact("Zed", "0170 1234567"), make_contact("Amy", "+491701234567")}, "DE");
    EXPECT_EQ(de.find_name_by_number("+491701234567"), u"Amy");
}

TEST(ContactLookupTest, NamesAreShownAsTheContactsWindowShowsThem) {
    ContactList list = list_of({make_contact("Chlo\xe9,Martin", "+33612345678")});
    EXPECT_EQ(list.find_name_by_number("+33612345678"), u"Chlo\u00e9 Martin");
    list.set_name_order(NameOrder::AfterCommaFirst);
    EXPECT_EQ(list.find_name_by_number("+33612345678"), u"Martin Chlo\u00e9");
    EXPECT_EQ(list.name_for_number("+33612345678"), u"Martin Chlo\u00e9");
    // Files that always held the stored name keep it.
    EXPECT_EQ(list.find_stored_name_by_number("+33612345678"), u"Chlo\u00e9,Martin");
    EXPECT_EQ(list.find_stored_name_by_number("+4930999"), u"+4930999");
}

TEST(ContactLookupTest, AMessageToSeveralPeopleNamesEachOfThem) {
    const ContactList list = list_of(
        {make_contact("Ben", "+447700900123"), make_contact("Chlo\xe9,Martin", "+33612345678")});
    EXPECT_EQ(list.find_name_by_number("+447700900123;+33612345678"), u"Ben; Chlo\u00e9 Martin");
    EXPECT_EQ(list.find_name_by_number("+4930999;+447700900123;"), u"+4930999; Ben");
    EXPECT_EQ(list.find_name_by_number(";;+33612345678"), u"Chlo\u00e9 Martin");
}

TEST(ContactLookupTest, APlusInsideAContactNumberIsKept) {
    const ContactList list = list_of({make_contact("Odd", "12+34")});
    EXPECT_EQ(list.find_name_by_number("12+34"), u"Odd");
    EXPECT_EQ(list.find_name_by_number("1234"), u"1234");
}

// The index must give the scan's answer for every query, after loads,
// appends, sorts and clears alike, with and without a home region.
TEST(ContactLookupTest, AnswersEqualThePerCallScanAfterEveryChange) {
    for (const char* region : {"ZZ", "DE"}) {
        AppFolders folders;
        std::mt19937 rng(11);
        const auto random_number = [&] {
            static constexpr std::string_view kStarts[] = {"", "+49", "0", "0049", "+1", "+"};
            std::string s(kStarts[rng() % 6]);
            const size_t len = rng() % 12;
            for (size_t i = 0; i < len; ++i)
                s += "0123+ -7"[rng() % 8];
            return s;
        };
        ContactList list{PhoneNumbers(region)};
        const auto check = [&](const ContactList& l, const char* step) {
            for (int q = 0; q < 200; ++q) {
                const std::string query = random_number();
                ASSERT_EQ(l.find_name_by_number(query), scan_name(l, query))
                    << region << " " << step << ": " << query;
            }
        };
        for (int round = 0; round < 12; ++round) {
            for (int i = 0; i < 10; ++i)
                list.append(make_contact("n" + std::to_string(rng() % 5), random_number()));
            check(list, "append");
            list.sort_contacts();
            check(list, "sort");
            ASSERT_TRUE(list.save_contacts(u"contacts.sql"));
            ContactList loaded{PhoneNumbers(region)};
            loaded.load_contacts(u"contacts.sql");
            check(loaded, "load");
            if (round % 5 == 4) {
                list.clear();
                check(list, "clear");
            }
        }
    }
}

TEST(ContactsFileTest, AnyHeaderWithCountZeroLoadsEmpty) {
    AppFolders folders;
    write_file(folders.data() / "contacts.sql", contacts_file("whatever it says", 0, ""));
    ContactList list;
    const LoadContactsResult r = list.load_contacts(u"contacts.sql");
    EXPECT_EQ(r.status, LoadContactsResult::Status::Loaded);
    EXPECT_EQ(list.count(), 0u);
}

TEST(ContactsFileTest, MissingFileLeavesTheListAsItWas) {
    AppFolders folders;
    ContactList list;
    list.append(make_contact("b", "1"));
    list.append(make_contact("a", "2"));
    EXPECT_EQ(list.load_contacts(u"contacts.sql").status, LoadContactsResult::Status::Missing);
    EXPECT_EQ(text_field(list.contact_at(0).name), "b");  // not sorted either
}

TEST(ContactsFileTest, LoadSortsAndSaveWritesTheWholeRecords) {
    AppFolders folders;
    std::string zed = record("Zed", "1");
    zed[5] = 'J';  // after the name's terminator: kept as part of the record
    write_file(folders.data() / "contacts.sql",
               contacts_file("anything", 2, zed + record("Amy", "+49 151")));
    ContactList list;
    ASSERT_EQ(list.load_contacts(u"contacts.sql").records, 2u);
    ASSERT_TRUE(list.save_contacts(u"contacts.sql"));
    EXPECT_EQ(file_contents(folders.data() / "contacts.sql"),
              contacts_file("quillet version 1.00", 2, record("Amy", "+49 151") + zed));
}

TEST(ContactsFileTest, DamagedFilesKeepTheCompleteRecords) {
    struct Case {
        const char* name;
        std::string bytes;
        size_t kept;
    };
    const std::string one = record("A", "1");
    const std::vector<Case> cases = {
        {"ends inside a record", contacts_file("h", 3, one + one + one.substr(0, 40)), 2},
        {"count far beyond the file", contacts_file("h", 2'000'000'000, one), 1},
        {"shorter than the header", "quillet", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppFolders folders;
        write_file(folders.data() / "contacts.sql", c.bytes);
        ContactList list;
        const LoadContactsResult r = list.load_contacts(u"contacts.sql");
        EXPECT_EQ(r.status, LoadContactsResult::Status::Damaged);
        EXPECT_FALSE(r.outcome.what().empty());
        EXPECT_EQ(list.count(), c.kept);
    }
    AppFolders folders;
    write_file(folders.data() / "contacts.sql", contacts_file("h", -4, record("A", "1")));
    ContactList negative;  // a count below zero loses no record
    EXPECT_EQ(negative.load_contacts(u"contacts.sql").status, LoadContactsResult::Status::Damaged);
    EXPECT_EQ(negative.count(), 1u);
}

TEST(ContactsFileTest, SaveThatCannotWriteLeavesTheOldFileWhole) {
    AppFolders folders;
    ContactList list = list_of({make_contact("Amy", "1")});
    ASSERT_TRUE(list.save_contacts(u"contacts.sql"));
    const std::string old = file_contents(folders.data() / "contacts.sql");
    for (int i = 0; i < 40; ++i)
        list.append(make_contact("more", std::to_string(i)));
    Outcome r;
    {
        FileSizeLimit limit(256);
        r = list.save_contacts(u"contacts.sql");
    }
    EXPECT_FALSE(r);
    EXPECT_EQ(file_contents(folders.data() / "contacts.sql"), old);
}

TEST(ContactImportResultTest, MessagesForTheUser) {
    ImportContactsResult r;
    EXPECT_EQ(r.message(), u"");
    r.status = ImportContactsResult::Status::NoContacts;
    EXPECT_EQ(r.message(), u"No contacts available. Please Check your ActiveSync connection.");
    r.status = ImportContactsResult::Status::LinkFailed;
    r.link_failure = ORX_Exception("receive_data socket error");
    EXPECT_EQ(r.message(),
              u"No contacts available. Please Check your ActiveSync connection.\ndetails:\n"
              u"receive_data socket error");
}

}  // namespace
}  // namespace quillet
