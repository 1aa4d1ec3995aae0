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

// The lookup as first described: clean each number on every call.
std::u16string scan_name(const std::vector<Contact>& list, std::string_view q) {
    for (const Contact& c : list) {
        const std::string cleaned = clean_contact_number(text_field(c.number));
        const bool tails = q.size() > 7 && cleaned.size() > 7;
        const bool equal =
            tails ? q.substr(q.size() - 7) == std::string_view(cleaned).substr(cleaned.size() - 7)
                  : q == cleaned;
        if (equal)
            return from_ansi(text_field(c.name));
    }
    return from_ansi(q);
}

ContactList list_of(std::initializer_list<Contact> contacts) {
    ContactList list;
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

TEST(ContactLookupTest, NationalAndInternationalFormsMatchOnTheLastSevenDigits) {
    const ContactList list = list_of({make_contact("Nora", "0151 1234 5678")});
    EXPECT_EQ(list.find_name_by_number("+4915112345678"), u"Nora");
    // An eight-digit number against a ten-digit one ending alike.
    const ContactList eight = list_of({make_contact("Ed", "12345678")});
    EXPECT_EQ(eight.find_name_by_number("9912345678"), u"Ed");
}

TEST(ContactLookupTest, ShortNumbersMatchOnlyWhole) {
    const ContactList list = list_of({make_contact("Service", "12")});
    EXPECT_EQ(list.find_name_by_number("12"), u"Service");
    EXPECT_EQ(list.find_name_by_number("012"), u"012");
}

TEST(ContactLookupTest, WithoutContactsEveryNumberIsShownAsItself) {
    const ContactList list;
    EXPECT_EQ(list.find_name_by_number("+4915112345678"), u"+4915112345678");
}

TEST(ContactLookupTest, OfTwoContactsWithOneNumberTheFirstSortedNameWins) {
    const ContactList list =
        list_of({make_contact("Zed", "555 1234"), make_contact("Amy", "5551234")});
    EXPECT_EQ(list.find_name_by_number("5551234"), u"Amy");
}

TEST(ContactLookupTest, APlusInsideAContactNumberIsKept) {
    const ContactList list = list_of({make_contact("Odd", "12+34")});
    EXPECT_EQ(list.find_name_by_number("12+34"), u"Odd");
    EXPECT_EQ(list.find_name_by_number("1234"), u"1234");
}

// The index must give the scan's answer for every query, after loads,
// appends, sorts and clears alike.
TEST(ContactLookupTest, AnswersEqualThePerCallScanAfterEveryChange) {
    AppFolders folders;
    std::mt19937 rng(11);
    const auto random_number = [&] {
        std::string s;
        const size_t len = rng() % 12;
        for (size_t i = 0; i < len; ++i)
            s += "0123+ -7"[rng() % 8];
        return s;
    };
    ContactList list;
    const auto check = [&](const char* step) {
        for (int q = 0; q < 300; ++q) {
            const std::string query = random_number();
            ASSERT_EQ(list.find_name_by_number(query), scan_name(list.contacts(), query))
                << step << ": " << query;
        }
    };
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 10; ++i)
            list.append(make_contact("n" + std::to_string(rng() % 5), random_number()));
        check("append");
        list.sort_contacts();
        check("sort");
        ASSERT_TRUE(list.save_contacts(u"contacts.sql"));
        ContactList loaded;
        loaded.load_contacts(u"contacts.sql");
        for (int q = 0; q < 100; ++q) {
            const std::string query = random_number();
            ASSERT_EQ(loaded.find_name_by_number(query), scan_name(loaded.contacts(), query));
        }
        if (round % 7 == 6) {
            list.clear();
            check("clear");
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
        EXPECT_FALSE(r.detail.empty());
        EXPECT_EQ(list.count(), c.kept);
    }
    AppFolders folders;
    write_file(folders.data() / "contacts.sql", contacts_file("h", -4, record("A", "1")));
    ContactList negative;
    EXPECT_EQ(negative.load_contacts(u"contacts.sql").status, LoadContactsResult::Status::Loaded);
    EXPECT_EQ(negative.count(), 0u);
}

TEST(ContactsFileTest, SaveThatCannotWriteLeavesTheOldFileWhole) {
    AppFolders folders;
    ContactList list = list_of({make_contact("Amy", "1")});
    ASSERT_TRUE(list.save_contacts(u"contacts.sql"));
    const std::string old = file_contents(folders.data() / "contacts.sql");
    for (int i = 0; i < 40; ++i)
        list.append(make_contact("more", std::to_string(i)));
    SaveResult r;
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
    r.error = u"receive_data socket error";
    EXPECT_EQ(r.message(),
              u"No contacts available. Please Check your ActiveSync connection.\ndetails:\n"
              u"receive_data socket error");
}

}  // namespace
}  // namespace quillet
