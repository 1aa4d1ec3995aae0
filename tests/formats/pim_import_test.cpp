// The PIM Backup reader on hand-written .pib files: the texts of the Inbox
// and Sent Items with their escapes, recipients and flags; e-mails and
// other folders counted; damaged and hostile lists.
#include <gtest/gtest.h>

#include "desktop/formats/pim_import.h"
#include "import_test_support.h"
#include "pim_backup_builder.h"

namespace quillet {
namespace {
using namespace quillet::test;

constexpr int64_t kTime = 1'241'593'689'000;  // 2009-05-06T07:08:09 as if UTC

Read read_pib(const Entries& entries, uint64_t cancel_after = UINT64_MAX) {
    TempFolder temp;
    Read r;
    r.sink.cancel_after = cancel_after;
    r.read = read_pim_backup(make_zip(temp.path() / "backup.pib", entries), r.sink);
    return r;
}

Read read_lines(const std::string& lines) {
    return read_pib({{"msgs_0.csm", pim_csm(lines)}});
}

TEST(PimImport, ReadsTheTextsOfTheInboxAndSentItems) {
    const struct {
        const char* name;
        PimRow row;
        bool received, read;
        const char* address;
        const char* text;
    } cases[] = {
        {"received, read", pim_row("+491701111111", "Hello"), true, true, "+491701111111", "Hello"},
        {"received, unread, escapes",
         pim_row("+491701111111", "say \\\"hi\\\";\\nbye \\\\o/").with(&PimRow::flags, "0"), true,
         false, "+491701111111", "say \"hi\";\nbye \\o/"},
        {"a folder without its escape, hex flags",
         pim_row("Bank", "Code 1234").with(&PimRow::folder, "\\%MDF1").with(&PimRow::flags, "0x0"),
         true, false, "Bank", "Code 1234"},
        {"the body when the subject is empty",
         pim_row("+491701111111", "").with(&PimRow::body, "Long text \xF0\x9F\x98\x80"), true, true,
         "+491701111111", "Long text \xF0\x9F\x98\x80"},
        {"sent to two: each recipient's third sub-field",
         pim_row("", "To you both")
             .with(&PimRow::folder, "\\\\%MDF3")
             .with(&PimRow::flags, "0")
             .with(&PimRow::recipients_nbr, "2")
             .with(&PimRow::recipients, "\"0;Ann;+491701111111;1;0;Ben;0170 2222222;1\""),
         false, true, "+491701111111;0170 2222222", "To you both"},
        {"sent, recipients as fields of the line",
         pim_row("", "Hi")
             .with(&PimRow::folder, "\\\\%MDF3")
             .with(&PimRow::recipients_nbr, "1")
             .with(&PimRow::recipients, "\"0\";\"Ann\";\"+491701111111\";\"1\""),
         false, true, "+491701111111", "Hi"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expect_one_message(read_lines(pim_line(c.row) + "\r\n"),
                           {c.received, c.read, c.address, c.text, kTime, true});
    }
}

TEST(PimImport, CountsWhatIsNotATextOfTheInboxOrSentItems) {
    const PimRow text = pim_row("+491701111111", "Kept");
    const std::pair<PimRow, const char*> cases[] = {
        {pim_row("a@b.example", "Mail").with(&PimRow::kind, "IPM.Note"), "an e-mail"},
        {pim_row("+491701111111", "Draft").with(&PimRow::folder, "\\\\%MDF2"),
         "a text message in a folder other than the Inbox and Sent Items"},
        {pim_row("+491701111111", "x").with(&PimRow::time, "2009,13,01,00,00,00"),
         "a text message without a readable time"},
        {pim_row("+491701111111", "x").with(&PimRow::time, "1600,12,31,23,59,59"),
         "a text message with a date before 1601"},
        {pim_row("", "x").with(&PimRow::folder, "\\\\%MDF3"),
         "a sent text message without a recipient"},
        {pim_row("+491701111111", "x").with(&PimRow::kind, "IPM.MMS"),
         "a message of a kind other than a text (IPM.MMS)"},
    };
    for (const auto& [row, why] : cases) {
        SCOPED_TRACE(why);
        const Read r = read_lines(pim_line(row) + "\r\n" + pim_line(text) + "\r\n");
        ASSERT_TRUE(r.read.outcome.ok());
        EXPECT_EQ(r.sink.skips, std::vector<std::string>{why});
        ASSERT_EQ(r.sink.messages.size(), 1u);
        EXPECT_EQ(r.sink.text(0), "Kept");
    }
}

// Two lists (two accounts) in one file, big-endian with a BOM, no final
// line break; a list cut inside quotes keeps what came before and says
// where; a line beyond the bound is skipped; what is no PIM Backup, or has
// no header, is refused; Cancel stops.
TEST(PimImport, DamagedAndHostileListsKeepWhatIsWhole) {
    const PimRow row = pim_row("+491701111111", "One");
    std::string big_endian = "\xFE\xFF";
    for (const char16_t c : from_utf8(std::string(kPimHeader) + "\n" + pim_line(row))) {
        big_endian += static_cast<char>(c >> 8);
        big_endian += static_cast<char>(c & 0xFF);
    }
    Read r = read_pib({{"msgs_0.csm", pim_csm(pim_line(row) + "\r\n")},
                       {"Backup/MSGS_SIM.CSM", big_endian},
                       {"cals_0.csc", "not read"}});
    ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
    EXPECT_EQ(r.sink.messages.size(), 2u);
    EXPECT_GT(r.sink.progress_calls, 0u);

    r = read_lines(pim_line(row) + "\r\n" + pim_line(row).substr(0, 42));
    ASSERT_TRUE(r.read.outcome.ok());
    EXPECT_EQ(r.sink.messages.size(), 1u);
    EXPECT_EQ(r.read.damage, "the file is damaged at line 3: a quoted field never ends");

    PimRow huge = row;
    // Letters that do not compress, so that the ZIP's ratio bound lets it by.
    for (uint32_t n = 1; huge.subject.size() <= kMaxPimLineUnits; n = n * 1103515245 + 12345)
        huge.subject += static_cast<char>('a' + (n >> 16) % 26);
    r = read_lines(pim_line(huge) + "\r\n" + pim_line(row) + "\r\n");
    ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
    EXPECT_EQ(r.sink.skips, std::vector<std::string>{"a line longer than 1,048,576 characters"});
    EXPECT_EQ(r.sink.messages.size(), 1u);

    EXPECT_EQ(read_pib({{"msgs_0.csm", utf16le("just text\r\n")}}).read.outcome.kind(),
              Outcome::Kind::BadInput);
    EXPECT_EQ(read_pib({{"messages.txt", ""}}).read.outcome.kind(), Outcome::Kind::BadInput);
    EXPECT_EQ(read_pib({{"msgs_0.csm", pim_csm(pim_line(row))}}, 0).read.outcome.kind(),
              Outcome::Kind::Cancelled);
}

}  // namespace
}  // namespace quillet
