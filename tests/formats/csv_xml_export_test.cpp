// CSV and XML exports compared byte for byte, and the CSV read back by
// Python's csv module.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "desktop/formats/csv_xml_export.h"
#include "store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

// 2026-03-14 23:30:00 UTC
const FileTime kLateEvening = filetime_from_unix(1'773'531'000);

std::string xml(std::u16string_view text) {
    return utf16le(u"\uFEFF") + utf16le(text);
}

// The rows of a CSV file as Python's csv module reads it (UTF-8, ", "
// between items): each row's items joined by "|".
std::vector<std::string> python_rows(const fs::path& csv) {
    const std::string command =
        "python3 -c 'import csv, sys\n"
        "for row in csv.reader(open(sys.argv[1], encoding=\"utf-8\", newline=\"\"),"
        " skipinitialspace=True): print(\"|\".join(row).replace(\"\\r\\n\", \"/\"))' '" +
        csv.string() + "'";
    std::vector<std::string> rows;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return rows;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string row(line);
        if (!row.empty() && row.back() == '\n')
            row.pop_back();
        rows.push_back(row);
    }
    EXPECT_EQ(::pclose(pipe), 0);
    return rows;
}

constexpr std::u16string_view kXmlStart =
    u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n\n<smsbox>\n";

TEST(ExportTest, EmptyBoxGivesAnEmptyCsvAndTheBareXml) {
    AppFolders folders;
    const SmsBox box(BoxKind::Inbox);
    const ContactList contacts;
    ASSERT_TRUE(export_csv(folders.data() / "out.csv", box, contacts));
    ASSERT_TRUE(export_xml(folders.data() / "out.xml", box, contacts));
    EXPECT_EQ(file_contents(folders.data() / "out.csv"), "");
    EXPECT_EQ(file_contents(folders.data() / "out.xml"),
              xml(std::u16string(kXmlStart) + u"</smsbox>\n"));
}

TEST(ExportTest, MessagesInStorageOrderWithNamesNumbersDatesAndTexts) {
    ScopedTimeZone tz("UTC0");
    SmsBox box(BoxKind::SentItems);
    box.append(message(u"Say \"hi\"", "+49 151 1234 5678", kLateEvening));
    box.append(message(u"line one\r\nline two", "12", kLateEvening + 60 * kTicksPerSecond));
    ContactList contacts;
    contacts.append(make_contact("Nora", "0151 12345678"));
    contacts.sort_contacts();

    EXPECT_EQ(csv_bytes(box, contacts),
              "Nora, +4915112345678, 03/14/26 23:30, \"Say \"\"hi\"\"\"\r\n"
              "12, 12, 03/14/26 23:31, \"line one\r\r\nline two\"\r\n");
    EXPECT_EQ(xml_bytes(box, contacts),
              xml(std::u16string(kXmlStart) +
                  u"  <sms>\n    <sendername>Nora</sendername>\n"
                  u"    <phonenumber>+4915112345678</phonenumber>\n"
                  u"    <date>03/14/26 23:30</date>\n"
                  u"    <message>\n<![CDATA[Say \"hi\"]]></message>\n  </sms>\n\n"
                  u"  <sms>\n    <sendername>12</sendername>\n"
                  u"    <phonenumber>12</phonenumber>\n"
                  u"    <date>03/14/26 23:31</date>\n"
                  u"    <message>\n<![CDATA[line one\r\nline two]]></message>\n  </sms>\n\n"
                  u"</smsbox>\n"));
}

TEST(ExportTest, DateIsTheLocalDayWithTheLocalClock) {
    ScopedTimeZone tz("CET-1");  // one hour ahead of UTC all year
    SmsBox box(BoxKind::Inbox);
    box.append(message(u"x", "1", kLateEvening));
    const ContactList contacts;
    EXPECT_EQ(csv_bytes(box, contacts), "1, 1, 03/15/26 00:30, \"x\"\r\n");
    EXPECT_NE(xml_bytes(box, contacts).find(utf16le(u"<date>03/15/26 00:30</date>")),
              std::string::npos);
}

// Every character of every script arrives, read by a reader of its own.
TEST(ExportTest, CsvIsUtf8ThatPythonsCsvReadsBackWhole) {
    ScopedTimeZone tz("UTC0");
    AppFolders folders;
    SmsBox box(BoxKind::Inbox);
    const char16_t* texts[] = {u"Gr\u00fc\u00dfe \u263a", u"\u0645\u0631\u062d\u0628\u0627",
                               u"\u05e9\u05dc\u05d5\u05dd", u"\u041f\u0440\u0438\u0432\u0435\u0442",
                               u"\u4f60\u597d, \"\U0001F600\"\nbye"};
    for (const char16_t* text : texts)
        box.append(message(text, "5551234", kLateEvening));
    box.append(message(u"=1+1", "DHL Express", kLateEvening));
    ContactList contacts;
    contacts.append(make_contact("Smith, \"Jo\"", "555 1234"));
    ASSERT_TRUE(export_csv(folders.data() / "out.csv", box, contacts));
    const std::string name_and_date = "Smith, \"Jo\"|5551234|03/14/26 23:30|";
    EXPECT_EQ(python_rows(folders.data() / "out.csv"),
              (std::vector<std::string>{name_and_date + "Gr\u00fc\u00dfe \u263a",
                                        name_and_date + "\u0645\u0631\u062d\u0628\u0627",
                                        name_and_date + "\u05e9\u05dc\u05d5\u05dd",
                                        name_and_date + "\u041f\u0440\u0438\u0432\u0435\u0442",
                                        name_and_date + "\u4f60\u597d, \"\U0001F600\"/bye",
                                        "DHL Express|DHL Express|03/14/26 23:30|'=1+1"}));
}

TEST(ExportTest, XmlEscapesMarkupAndSplitsCdataEnds) {
    ScopedTimeZone tz("UTC0");
    SmsBox box(BoxKind::Inbox);
    box.append(message(u"a]]>b]]]>c\u0001", "5551234", kLateEvening));
    ContactList contacts;
    contacts.append(make_contact("Tom & <Jerry> \"TJ\"", "5551234"));
    EXPECT_EQ(xml_bytes(box, contacts),
              xml(std::u16string(kXmlStart) +
                  u"  <sms>\n    <sendername>Tom &amp; &lt;Jerry&gt; &quot;TJ&quot;</sendername>\n"
                  u"    <phonenumber>5551234</phonenumber>\n"
                  u"    <date>03/14/26 23:30</date>\n"
                  u"    <message>\n<![CDATA[a]]]]><![CDATA[>b]]]]]><![CDATA[>c\uFFFD]]></message>\n"
                  u"  </sms>\n\n</smsbox>\n"));
}

TEST(ExportTest, XmlKeepsSurrogatePairsAndReplacesLoneHalves) {
    ScopedTimeZone tz("UTC0");
    SmsBox box(BoxKind::Inbox);
    const std::u16string text = u"\U0001F600 \xD800x";
    box.append(message(text, "1", kLateEvening));
    const std::string bytes = xml_bytes(box, ContactList());
    EXPECT_NE(bytes.find(utf16le(u"CDATA[\U0001F600 \uFFFDx]]>")), std::string::npos);
}

TEST(ExportTest, ExportIntoAMissingFolderFailsAndSaysSo) {
    AppFolders folders;
    const SmsBox box(BoxKind::Inbox);
    const Outcome r = export_xml(folders.data() / "missing" / "out.xml", box, ContactList());
    EXPECT_FALSE(r);
    EXPECT_FALSE(r.what().empty());
}

}  // namespace
}  // namespace quillet
