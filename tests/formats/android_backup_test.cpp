// The Android SMS backup read back by libxml2, a conforming XML parser: every
// attribute of known messages, line breaks, emoji, characters XML cannot
// carry, sorting, recipients and the atomic save.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "desktop/formats/android_backup.h"
#include "store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

using Attributes = std::vector<std::pair<std::string, std::string>>;

struct ParsedBackup {
    bool well_formed = false;
    std::string root;
    std::string count;
    std::vector<Attributes> messages;  // each <sms>'s attributes in file order
};

std::string text_of(const xmlChar* s) {
    return s ? std::string(reinterpret_cast<const char*>(s)) : std::string();
}

ParsedBackup parse(const std::string& bytes) {
    ParsedBackup out;
    using Doc = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;
    Doc doc(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "backup.xml", nullptr,
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
            &xmlFreeDoc);
    if (!doc)
        return out;
    out.well_formed = true;
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    out.root = text_of(root->name);
    for (const xmlAttr* a = root->properties; a; a = a->next) {
        if (text_of(a->name) == "count")
            out.count = text_of(a->children ? a->children->content : nullptr);
    }
    for (const xmlNode* n = root->children; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        EXPECT_EQ(text_of(n->name), "sms");
        Attributes attributes;
        for (const xmlAttr* a = n->properties; a; a = a->next) {
            std::unique_ptr<xmlChar, decltype(xmlFree)> value(
                xmlNodeListGetString(doc.get(), a->children, 1), xmlFree);
            attributes.emplace_back(text_of(a->name), text_of(value.get()));
        }
        out.messages.push_back(std::move(attributes));
    }
    return out;
}

// 2026-03-14 23:30:00 UTC
constexpr int64_t kLateEvening = 1'773'531'000;

SmsMessage message(std::u16string_view text, std::string_view number, int64_t unix_time,
                   uint8_t read = 0) {
    SmsMessage m;
    m.set_text(text);
    m.set_number(number);
    m.set_time(filetime_from_unix(unix_time, 250'000'000));
    m.set_read(read);
    return m;
}

Attributes expected(std::string address, std::string date, char type, std::string body, char read,
                    std::string readable, std::string name) {
    return {{"protocol", "0"},
            {"address", std::move(address)},
            {"date", std::move(date)},
            {"type", std::string(1, type)},
            {"subject", "null"},
            {"body", std::move(body)},
            {"toa", "null"},
            {"sc_toa", "null"},
            {"service_center", "null"},
            {"read", std::string(1, read)},
            {"status", "-1"},
            {"locked", "0"},
            {"date_sent", "0"},
            {"readable_date", std::move(readable)},
            {"contact_name", std::move(name)}};
}

struct Boxes {
    SmsBox inbox{BoxKind::Inbox};
    SmsBox sent{BoxKind::SentItems};
    SmsBox deleted{BoxKind::DeletedItems};
    ContactList contacts;
};

Boxes known_boxes() {
    Boxes b;
    b.inbox.append(message(u"See you\r\nat 8\tsharp", "+4915112345678", kLateEvening + 120, 1));
    b.inbox.append(message(u"Party \U0001F389 <tonight> & \"more\"", "+15550001111", kLateEvening));
    b.sent.append(message(u"On my way", "+4915112345678", kLateEvening + 60));
    b.deleted.append(message(u"old", "12", kLateEvening - 3600));
    b.contacts.append(make_contact("Nora,Weiss", "0151 12345678"));
    b.contacts.append(make_contact("Tom & \"Jerry\"", "555 0001111"));
    b.contacts.sort_contacts();
    return b;
}

TEST(AndroidBackupTest, EveryAttributeOfKnownMessagesSortedByDate) {
    ScopedTimeZone tz("UTC0");
    const Boxes b = known_boxes();
    AndroidBackupCounts counts;
    const std::string bytes = android_backup_bytes({b.inbox, b.sent}, b.contacts, &counts);
    EXPECT_EQ(bytes.substr(0, bytes.find('\n', bytes.find('\n') + 1) + 1),
              "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\"3\">\n");
    EXPECT_EQ(bytes.substr(bytes.size() - 9), "</smses>\n");
    const ParsedBackup parsed = parse(bytes);
    ASSERT_TRUE(parsed.well_formed) << bytes;
    EXPECT_EQ(parsed.root, "smses");
    EXPECT_EQ(parsed.count, "3");
    EXPECT_EQ(counts.messages, 3u);
    EXPECT_EQ(counts.replaced, 0u);
    ASSERT_EQ(parsed.messages.size(), 3u);
    const std::string ms = std::to_string(kLateEvening) + "250";
    EXPECT_EQ(parsed.messages[0],
              expected("+15550001111", ms, '1', "Party \xF0\x9F\x8E\x89 <tonight> & \"more\"", '0',
                       "Mar 14, 2026 11:30:00 PM", "Tom & \"Jerry\""));
    EXPECT_EQ(parsed.messages[1],
              expected("+4915112345678", std::to_string(kLateEvening + 60) + "250", '2',
                       "On my way", '1', "Mar 14, 2026 11:31:00 PM", "Nora Weiss"));
    EXPECT_EQ(parsed.messages[2],
              expected("+4915112345678", std::to_string(kLateEvening + 120) + "250", '1',
                       "See you\r\nat 8\tsharp", '1', "Mar 14, 2026 11:32:00 PM", "Nora Weiss"));
}

TEST(AndroidBackupTest, BreaksAsCharacterReferencesAndEmojiAsUtf8) {
    ScopedTimeZone tz("UTC0");
    const Boxes b = known_boxes();
    const std::string bytes = android_backup_bytes({b.inbox, b.sent}, b.contacts);
    EXPECT_NE(bytes.find("body=\"See you&#13;&#10;at 8&#9;sharp\""), std::string::npos);
    EXPECT_NE(bytes.find("Party \xF0\x9F\x8E\x89 &lt;tonight&gt;"), std::string::npos);
    EXPECT_EQ(bytes.find("&#55"), std::string::npos);  // no surrogate references
    // One line per element: no raw line break inside an attribute.
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 3 + 3);
}

TEST(AndroidBackupTest, CharactersXmlCannotCarryAreReplacedAndCounted) {
    ScopedTimeZone tz("UTC0");
    Boxes b;
    const char16_t lone_high[] = {u'a', 0xD83D, u'b', 0};
    b.inbox.append(message(u"bell\u0007 and \uFFFF", "1", kLateEvening));
    b.inbox.append(message(lone_high, "2", kLateEvening + 1));
    AndroidBackupCounts counts;
    const ParsedBackup parsed = parse(android_backup_bytes({b.inbox, b.sent}, b.contacts, &counts));
    ASSERT_TRUE(parsed.well_formed);
    EXPECT_EQ(counts.replaced, 3u);
    ASSERT_EQ(parsed.messages.size(), 2u);
    EXPECT_EQ(parsed.messages[0][5].second, "bell\xEF\xBF\xBD and \xEF\xBF\xBD");
    EXPECT_EQ(parsed.messages[1][5].second,
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(parsed.messages[1][14].second, "(Unknown)");
}

TEST(AndroidBackupTest, OneElementPerGroupMessageAndDeletedOnlyWhenAsked) {
    ScopedTimeZone tz("UTC0");
    Boxes b = known_boxes();
    SmsMessage group = message(u"to both", "", kLateEvening + 600);
    group.set_number_raw("+111; +222");
    b.sent.append(group);

    const ParsedBackup without = parse(android_backup_bytes({b.inbox, b.sent}, b.contacts));
    ASSERT_EQ(without.messages.size(), 4u);
    EXPECT_EQ(without.count, "4");
    EXPECT_EQ(without.messages[3][1].second, "+111~+222");
    EXPECT_EQ(without.messages[3][5].second, "to both");
    EXPECT_EQ(without.messages[3][14].second, "+111, +222");

    const ParsedBackup with =
        parse(android_backup_bytes({b.inbox, b.sent, &b.deleted}, b.contacts));
    ASSERT_EQ(with.messages.size(), 5u);
    EXPECT_EQ(with.messages[0][1].second, "12");  // the oldest comes first
    EXPECT_EQ(with.messages[0][3].second, "1");   // as received
    EXPECT_EQ(with.messages[0][5].second, "old");
}

TEST(AndroidBackupTest, WritesTheFileInPiecesAndKeepsTheOldOneOnFailure) {
    ScopedTimeZone tz("UTC0");
    AppFolders folders;
    Boxes b;
    // Over 1 MiB, so the file is written in several pieces.
    const std::u16string long_text(2000, u'x');
    for (int i = 0; i < 1000; ++i)
        b.inbox.append(message(long_text, "5550100", kLateEvening + i));
    const fs::path path = folders.data() / "backup.xml";
    const AndroidBackupReport result = export_android_backup(path, {b.inbox, b.sent}, b.contacts);
    ASSERT_TRUE(result.outcome) << result.outcome.what();
    EXPECT_EQ(result.counts.messages, 1000u);
    const std::string written = file_contents(path);
    EXPECT_GT(written.size(), 2'000'000u);
    EXPECT_EQ(written, android_backup_bytes({b.inbox, b.sent}, b.contacts));
    EXPECT_EQ(parse(written).messages.size(), 1000u);

    {
        FileSizeLimit limit(100'000);  // a disk that fills up
        const AndroidBackupReport failed =
            export_android_backup(path, {b.inbox, b.sent}, b.contacts);
        EXPECT_FALSE(failed.outcome);
        EXPECT_FALSE(failed.outcome.what().empty());
    }
    EXPECT_EQ(file_contents(path), written);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folders.data()))
        ++files;
    EXPECT_EQ(files, 1u);  // no temporary file left behind
}

}  // namespace
}  // namespace quillet
