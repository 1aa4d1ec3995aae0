// Which reader a file goes to, told from its content whatever its name;
// the dispatch; and the vCard reader on 2.1 and 3.0 cards.
#include <zip.h>

#include <gtest/gtest.h>

#include "import_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

TEST(DetectFormat, TellsEachSourceFromItsContent) {
    TempFolder temp;
    const std::string android_head =
        "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n"
        "<?xml-stylesheet type=\"text/xsl\" href=\"sms.xsl\"?>\n<!--Made by hand-->\n";
    const auto ucs2_be = [](std::string_view ascii) {
        std::string out = "\xFE\xFF";
        for (char c : ascii)
            out += std::string{'\0', c};
        return out;
    };
    const std::pair<std::string, ImportFormat> files[] = {
        {android_head + "<smses count=\"0\"></smses>", ImportFormat::AndroidXml},
        {"\xEF\xBB\xBF<allsms/>", ImportFormat::AndroidXml},
        {android_head + "<calls count=\"1\"/>", ImportFormat::AndroidCalls},
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<ArrayOfMessage xmlns:xsd=\"x\">",
         ImportFormat::WindowsPhone},
        {"<html/>", ImportFormat::Unknown},
        {"; Saved 20240101T000000\n\n[SMSBackup000]\nNumber = \"1\"\n", ImportFormat::GammuBackup},
        {ucs2_be("; Saved\r\n[SMSBackup000]\r\n"), ImportFormat::GammuBackup},
        {"[Settings]\nx=1\n", ImportFormat::Unknown},
        {"\r\nbegin:vcard\r\nVERSION:2.1\r\n", ImportFormat::Vcard},
        {"PK\x03\x04 not really a zip", ImportFormat::Unknown},
        {"From 1@xxx Mon Jan 01 00:00:00 2024\nSubject: x\n", ImportFormat::SmsBackupMail},
        {"Received: by x\r\n\tfolded\r\nX-smssync-datatype: SMS\r\n\r\nHi",
         ImportFormat::SmsBackupMail},
        {"From: a@b.example\r\nSubject: hello\r\n\r\nX-smssync-id: 1", ImportFormat::Unknown},
        {"", ImportFormat::Unknown},
    };
    for (const auto& [bytes, format] : files) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(detect_format(written(temp.path() / "backup.xml", bytes)), format);
    }

    const auto zip_with = [&](const char* entry) {
        const auto path = temp.path() / "messages.vcf";
        int error = 0;
        zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        zip_file_add(archive, entry, zip_source_buffer(archive, "{}", 2, 0), 0);
        zip_close(archive);
        return path;
    };
    EXPECT_EQ(detect_format(zip_with("messages.ndjson")), ImportFormat::SmsIeZip);
    EXPECT_EQ(detect_format(zip_with("messages.json")), ImportFormat::SmsIeZip);
    EXPECT_EQ(detect_format(zip_with("photo.jpg")), ImportFormat::Unknown);
    EXPECT_EQ(detect_format(zip_with("msgs_1.csm")), ImportFormat::PimBackup);

    const auto folder = temp.path() / "old-pc";
    std::filesystem::create_directory(folder);
    EXPECT_EQ(detect_format(folder), ImportFormat::Unknown);
    std::filesystem::create_directory(folder / "cur");
    EXPECT_EQ(detect_format(folder), ImportFormat::Unknown);
    std::filesystem::create_directory(folder / "new");
    EXPECT_EQ(detect_format(folder), ImportFormat::SmsBackupMail);
    written(folder / "sent1.sms", "");
    EXPECT_EQ(detect_format(folder), ImportFormat::QuilletFolder);
}

TEST(ReadMessages, RefusesWhatIsNotReadHere) {
    TempFolder temp;
    const auto path = written(temp.path() / "f", "BEGIN:VCARD\nEND:VCARD\n");
    const std::pair<ImportFormat, const char*> cases[] = {
        {ImportFormat::AndroidCalls, "call log"},
        {ImportFormat::QuilletFolder, "not handled here"},
        {ImportFormat::Vcard, "contacts"},
        {ImportFormat::Unknown, "not a backup"},
    };
    for (const auto& [format, why] : cases) {
        RecordingSink sink;
        MemoryAttachments attachments;
        const ReadReport read = read_messages(path, format, sink, attachments);
        EXPECT_FALSE(read.outcome.ok());
        EXPECT_NE(read.outcome.what().find(why), std::string::npos) << read.outcome.what();
        EXPECT_NE(format_name(format), "");
    }
}

TEST(VcardImport, ReadsNamesAndNumbersOfEachCard) {
    const std::string kNoNumber = "a contact card without a phone number";
    const struct {
        const char* name;
        std::string file;
        std::vector<ImportedContact> cards;
        std::vector<std::string> skips;
    } cases[] = {
        {"3.0 with FN, N and two TEL",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Martin;Chlo\xC3\xA9;;;\r\nFN:Chlo\xC3\xA9 Martin\r\n"
         "TEL;TYPE=CELL:+33 6 12 34 56 78\r\nitem1.TEL;TYPE=HOME:01 23\r\nEND:VCARD\r\n",
         {{"Chlo\xC3\xA9 Martin", {"+33 6 12 34 56 78", "01 23"}}},
         {}},
        {"3.0 escapes and a folded line",
         "BEGIN:VCARD\nVERSION:3.0\nN:Smith\\, Jr.;Jo\nTEL:+4917\n 01234567\nEND:VCARD\n",
         {{"Jo Smith, Jr.", {"+491701234567"}}},
         {}},
        {"2.1 bare types, quoted-printable with a soft break, Latin-1",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FC=\r\n"
         "ller;J=F6rg\r\nTEL;CELL:0170111\r\nTEL;WORK;VOICE:0301\r\nTEL;FAX:0302\r\n"
         "END:VCARD\r\n",
         {{"J\xC3\xB6rg M\xC3\xBCller", {"0170111", "0301", "0302"}}},
         {}},
        {"two cards, one without a number, damaged lines between",
         "BEGIN:VCARD\nFN:A\nEND:VCARD\nnonsense\nBEGIN:VCARD\nFN:B\nTEL:2\nEND:VCARD\n",
         {{"B", {"2"}}},
         {kNoNumber}},
        {"invalid UTF-8 replaced, a name outside Windows-1252 whole",
         "BEGIN:VCARD\nFN:Bad \xFF name\nTEL:1\nEND:VCARD\n"
         "BEGIN:VCARD\nFN:\xD0\x9F\xD0\x9E\xD0\xA0\xD0\x9A\xD0\xA1\nTEL:2\nEND:VCARD\n",
         {{"Bad \xEF\xBF\xBD name", {"1"}}, {"\xD0\x9F\xD0\x9E\xD0\xA0\xD0\x9A\xD0\xA1", {"2"}}},
         {}},
        {"a number as a URI, and a card cut off",
         "BEGIN:VCARD\nFN:U\nTEL;VALUE=uri:tel:+49-170-1\nEND:VCARD\nBEGIN:VCARD\nFN:Cut\nTEL:3\n",
         {{"U", {"+49-170-1"}}},
         {"a contact card cut off before its end"}},
    };
    TempFolder temp;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ImportedContact> cards;
        RecordingSink sink;
        const ReadReport read = read_vcards(written(temp.path() / "c", c.file), cards, sink);
        ASSERT_TRUE(read.outcome.ok()) << read.outcome.what();
        ASSERT_EQ(cards.size(), c.cards.size());
        for (size_t i = 0; i < cards.size(); ++i) {
            EXPECT_EQ(cards[i].name, c.cards[i].name);
            EXPECT_EQ(cards[i].numbers, c.cards[i].numbers);
        }
        EXPECT_EQ(sink.skips, c.skips);
    }
}

TEST(VcardImport, RefusesMoreCardsThanTheBound) {
    TempFolder temp;
    std::string file;
    for (size_t i = 0; i <= kMaxImportedContacts; ++i)
        file += "BEGIN:VCARD\nFN:x\nEND:VCARD\n";
    std::vector<ImportedContact> cards;
    RecordingSink sink;
    const ReadReport read = read_vcards(written(temp.path() / "many", file), cards, sink);
    EXPECT_FALSE(read.outcome.ok());
    EXPECT_NE(read.outcome.what().find("100,000"), std::string::npos);
    EXPECT_TRUE(cards.empty());
}

}  // namespace
}  // namespace quillet
