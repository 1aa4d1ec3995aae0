// The Gammu backup reader on hand-written INI files: keys, codings, times
// with and without a zone, long messages joined by their header, UCS-2
// files, and a file of 200,000 sections read in bounded memory.
#include <gtest/gtest.h>

#include "desktop/formats/gammu_import.h"
#include "import_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

// The hex of `text`'s UCS-2 big-endian code units, as Text00 holds it.
std::string ucs2_hex(std::u16string_view text) {
    static const char* digits = "0123456789ABCDEF";
    std::string hex;
    for (char16_t c : text) {
        for (int shift : {12, 8, 4, 0})
            hex += digits[(c >> shift) & 0xF];
    }
    return hex;
}

std::string section(std::string_view keys) {
    return "[SMSBackup000]\nSMSC = \"+491770610000\"\nNumber = \"+491701234567\"\n" +
           std::string(keys) + "\n";
}

const std::string kHeader = "; This file format was designed for a test\n; Saved 20240101T000000\n";

struct Read {
    RecordingSink sink;
    ReadReport read;
};

Read read_gammu(std::string_view bytes) {
    TempFolder temp;
    Read r;
    r.read = read_gammu_backup(written(temp.path() / "b", bytes), r.sink);
    return r;
}

TEST(GammuImport, ReadsEachSectionAsAMessage) {
    const struct {
        const char* name;
        std::string keys;
        bool received, read, zoneless;
        const char* address;
        const char* text;
        int64_t time_ms;
    } cases[] = {
        {"received, local time",
         "DateTime = 20240229T235958\nState = UnRead\nPDU = Deliver\nCoding = Default\nText00 = " +
             ucs2_hex(u"Hello"),
         true, false, true, "+491701234567", "Hello", 1709251198000},
        {"sent, UTC",
         "DateTime = 19991231T120000Z\nState = Sent\nPDU = Submit\nText00 = " + ucs2_hex(u"Bye"),
         false, true, false, "+491701234567", "Bye", 946641600000},
        {"NumberUnicode wins, Text01 follows Text00",
         "NumberUnicode = " + ucs2_hex(u"Bank") +
             "\nDateTime = 20240101T000000\nPDU = Deliver\nText01 = " + ucs2_hex(u" two") +
             "\nText00 = " + ucs2_hex(u"one"),
         true, true, true, "Bank", "one two", 1704067200000},
        {"Unicode with a surrogate pair and a lone half",
         "DateTime = 20240101T000000\nPDU = Deliver\nCoding = Unicode\nText00 = " +
             ucs2_hex(u"\U0001F600") + "D800",
         true, true, true, "+491701234567", "\xF0\x9F\x98\x80\xEF\xBF\xBD", 1704067200000},
        {"8bit bytes", "DateTime = 20240101T000000\nPDU = Deliver\nCoding = 8bit\nText00 = 41E9",
         true, true, true, "+491701234567", "A\xC3\xA9", 1704067200000},
        {"no PDU: told by State", "DateTime = 20240101T000000\nState = UnSent\nText00 = 0041",
         false, true, true, "+491701234567", "A", 1704067200000},
        {"the time as Sent, as older writers give it",
         "Sent = 20240101T000000\nState = Sent\nText00 = 0041", false, true, true, "+491701234567",
         "A", 1704067200000},
        {"DateTime wins over Sent",
         "Sent = 20230101T000000\nDateTime = 20240101T000000Z\nPDU = Deliver\nText00 = 0041", true,
         true, false, "+491701234567", "A", 1704067200000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Read r = read_gammu(kHeader + section(c.keys) + "; Text shown for people\n");
        ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
        ASSERT_EQ(r.sink.messages.size(), 1u);
        const ImportedMessage& m = r.sink.messages[0];
        EXPECT_EQ(m.received, c.received);
        EXPECT_EQ(m.read, c.read);
        EXPECT_EQ(m.zoneless, c.zoneless);
        EXPECT_EQ(m.address, c.address);
        EXPECT_EQ(r.sink.text(0), c.text);
        EXPECT_EQ(m.time_ms, c.time_ms);
        EXPECT_TRUE(r.sink.skips.empty());
    }
}

TEST(GammuImport, SkipsWhatIsNotAMessage) {
    const std::pair<std::string, const char*> cases[] = {
        {"DateTime = 20240101T000000\nPDU = Status_Report", "a delivery report"},
        {"DateTime = 2024-01-01\nPDU = Deliver\nText00 = 0041",
         "a message without a readable time"},
        {"DateTime = 15991231T235959Z\nPDU = Deliver\nText00 = 0041",
         "a message with a date before 1601"},
        {"DateTime = 20240101T000000\nText00 = " + std::string(70'000, '0'),
         "a section with more than 64 kB of text"},
    };
    for (const auto& [keys, why] : cases) {
        SCOPED_TRACE(why);
        const Read r =
            read_gammu(section(keys) + section("DateTime = 20240101T000000\nText00 = 0041"));
        EXPECT_EQ(r.sink.skips, std::vector<std::string>{why});
        EXPECT_EQ(r.sink.messages.size(), 1u);
    }
}

// WAP pushes and settings arrive as 8-bit sections addressed to a port:
// counted once per message, never kept as texts. A text that holds a NUL
// keeps it as U+FFFD, counted, so the box holds the whole text.
TEST(GammuImport, MachineMessagesAreSkippedAndNulsReplaced) {
    const std::string push = "DateTime = 20240101T000000\nPDU = Deliver\nCoding = 8bit\n";
    const Read r = read_gammu(
        section(push + "UDH = 0B05040B8423F00003AA0201\nText00 = 0006226170706C00") +
        section(push + "UDH = 0B05040B8423F00003AA0202\nText00 = 01020300") +
        section(push + "UDH = 0605040B8423F0\nText00 = 00") +
        section("DateTime = 20240101T000000\nPDU = Deliver\nText00 = 004100000042") +
        section("DateTime = 20240101T000000\nPDU = Deliver\nCoding = 8bit\nText00 = 410042"));
    ASSERT_TRUE(r.read.outcome.ok());
    EXPECT_EQ(r.sink.skips, std::vector<std::string>(
                                2, "a machine message (a WAP push or settings), not a text"));
    ASSERT_EQ(r.sink.messages.size(), 2u);
    EXPECT_EQ(r.sink.text(0),
              "A\xEF\xBF\xBD"
              "B");
    EXPECT_EQ(r.sink.text(1),
              "A\xEF\xBF\xBD"
              "B");
    EXPECT_EQ(r.read.replaced, 2u);
}

// Long messages: parts in any order, among other sections, under the same
// section name; matched by number, reference and total.
TEST(GammuImport, JoinsThePartsOfLongMessages) {
    const auto part = [](std::string_view udh, std::u16string_view text,
                         std::string_view number = "+491701234567") {
        return "[SMSBackup001]\nNumber = \"" + std::string(number) +
               "\"\nDateTime = 20240101T000000\nPDU = Deliver\nUDH = " + std::string(udh) +
               "\nText00 = " + ucs2_hex(text) + "\n";
    };
    const struct {
        const char* name;
        std::string file;
        std::vector<std::string> texts;
        size_t incomplete;
    } cases[] = {
        {"8-bit reference, parts reversed",
         part("0500030A0202", u"world") + part("0500030A0201", u"Hello "),
         {"Hello world"},
         0},
        {"16-bit reference",
         part("060804BEEF0201", u"Hi ") + part("060804BEEF0202", u"there"),
         {"Hi there"},
         0},
        {"same reference, other number: two sets",
         part("0500030A0201", u"a") + part("0500030A0201", u"b", "+4915111111111") +
             part("0500030A0202", u"c"),
         {"ac", "b"},
         1},
        {"a part missing: kept with what is there",
         part("0500030B0301", u"one ") + part("0500030B0303", u"three"),
         {"one three"},
         1},
        {"a part twice: the first set ends there",
         part("0500030C0201", u"x") + part("0500030C0201", u"y") + part("0500030C0202", u"z"),
         {"x", "yz"},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Read r = read_gammu(c.file);
        ASSERT_TRUE(r.read.outcome.ok());
        std::vector<std::string> texts;
        for (size_t i = 0; i < r.sink.messages.size(); ++i)
            texts.push_back(r.sink.text(i));
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(r.sink.skips.size(), c.incomplete);
    }
}

TEST(GammuImport, ReadsUcs2FilesWithTheirByteOrderMark) {
    const std::u16string text =
        u"; Saved\r\n[SMSBackup000]\r\nNumber = \"Zoë\"\r\n"
        u"DateTime = 20240101T000000Z\r\nText00 = 0041\r\n";
    for (const bool big_endian : {true, false}) {
        std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t c : text) {
            const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
            bytes += big_endian ? std::string{hi, lo} : std::string{lo, hi};
        }
        const Read r = read_gammu(bytes);
        ASSERT_EQ(r.sink.messages.size(), 1u) << big_endian;
        EXPECT_EQ(r.sink.messages[0].address, "Zo\xC3\xAB");
        EXPECT_EQ(r.sink.text(0), "A");
    }
}

// 200,000 sections, each the first of two parts that never come: every
// one is kept on its own and counted, and the reader holds at most a
// bounded number of them at a time.
TEST(GammuImport, TwoHundredThousandSectionsInBoundedMemory) {
    std::string file = kHeader;
    for (int i = 0; i < 200'000; ++i) {
        char udh[16];
        std::snprintf(udh, sizeof udh, "060804%04X0201", i & 0xFFFF);
        file += "[SMSBackup000]\nNumber = \"+49170" + std::to_string(i) +
                "\"\nDateTime = 20240101T000000\nUDH = " + udh + "\nText00 = 0041\n";
    }
    struct Counting : ImportSink {
        size_t messages = 0, skips = 0;
        void message(ImportedMessage&&) override { ++messages; }
        void skipped(std::string_view) override { ++skips; }
        bool progress(uint64_t, uint64_t) override { return true; }
    } sink;
    TempFolder temp;
    const auto path = written(temp.path() / "big", file);
    file = std::string();
    const long peak_before = peak_kb();
    const ReadReport read = read_gammu_backup(path, sink);
    EXPECT_TRUE(read.outcome.ok());
    EXPECT_EQ(sink.messages, 200'000u);
    EXPECT_EQ(sink.skips, 200'000u);
    EXPECT_LT(peak_kb() - peak_before, 16 * 1024);
}

}  // namespace
}  // namespace quillet
