// Hostile and odd files met by the readers: entity declarations hidden
// from a naive DOCTYPE scan, a FIFO where a backup should be, broken
// characters in sms-ie lines, direction marks in attachment names and the
// parser's own words for a file nested too deep.
#include <gtest/gtest.h>

#include <chrono>

#include "desktop/formats/android_import.h"
#include "desktop/formats/import_text.h"
#include "desktop/formats/smsie_import.h"
#include "import_test_support.h"
#include "tests/store/fifo_watchdog.h"

namespace quillet {
namespace {
using namespace quillet::test;
using namespace std::chrono_literals;

const std::string kOneSms =
    "<sms address=\"+491701234567\" date=\"1700000000000\" type=\"1\" body=\"&a;&a;&a;\" />";

// Each hides an entity declaration from a scan that only follows brackets
// and quotes; a parser that expanded "&a;" would fill the text.
TEST(ImportReliability, NoEntityIsEverDeclaredOrExpanded) {
    const std::string entity = "<!ENTITY a \"" + std::string(1000, 'x') + "\">";
    const std::string cases[] = {
        "<!DOCTYPE smses [ <!-- ]> --> " + entity + " ]>",
        "<!DOCTYPE smses [ <?pi ]> ?> " + entity + " ]>",
        "<!DOCTYPE smses [ <!ATTLIST sms x CDATA \"]>\"> " + entity + " ]>",
        "<!DOCTYPE smses SYSTEM \"x\" [ " + entity + " ]>",
        "<!DOCTYPE smses> " + entity,
    };
    for (const std::string& doctype : cases) {
        SCOPED_TRACE(doctype.substr(0, 40));
        TempFolder temp;
        RecordingSink sink;
        MemoryAttachments attachments;
        const ReadReport r = read_android_backup(
            written(temp.path() / "b.xml",
                    "<?xml version='1.0'?>" + doctype + "<smses>" + kOneSms + "</smses>"),
            sink, attachments);
        EXPECT_EQ(r.outcome.kind(), Outcome::Kind::BadInput);
        EXPECT_NE(r.outcome.what().find("declares entities"), std::string::npos)
            << r.outcome.what();
        for (size_t i = 0; i < sink.messages.size(); ++i)
            EXPECT_EQ(sink.text(i).find('x'), std::string::npos);
    }
    // A DOCTYPE with only a name, or an external identifier, still reads.
    for (const char* plain : {"<!DOCTYPE smses>", "<!DOCTYPE smses SYSTEM \"sms.dtd\">"}) {
        TempFolder temp;
        RecordingSink sink;
        MemoryAttachments attachments;
        const ReadReport r = read_android_backup(
            written(temp.path() / "b.xml",
                    std::string("<?xml version='1.0'?>") + plain +
                        "<smses><sms address=\"1\" date=\"1\" type=\"1\" body=\"ok\"/></smses>"),
            sink, attachments);
        EXPECT_TRUE(r.outcome.ok()) << plain << ": " << r.outcome.what();
        EXPECT_EQ(sink.messages.size(), 1u) << plain;
    }
}

// A named pipe where a backup should be: told from a file without opening
// it, refused by every reader with its kind named, and never waited on (the
// watchdog opens the other end after 3 s: a reader that blocked would go on
// and the test fails).
TEST(ImportReliability, AFifoIsNamedAndSkippedWithoutBlocking) {
    TempFolder temp;
    const std::filesystem::path fifo = temp.path() / "backup.xml";
    FifoWatchdog watchdog(fifo, 3000ms, 100ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(detect_format(fifo), ImportFormat::Unknown);
    ASSERT_TRUE(unusable_path(fifo));
    EXPECT_NE(unusable_path(fifo)->what().find("named pipe"), std::string::npos);
    for (const ImportFormat format :
         {ImportFormat::AndroidXml, ImportFormat::SmsIeZip, ImportFormat::GammuBackup}) {
        RecordingSink sink;
        MemoryAttachments attachments;
        const ReadReport r = read_messages(fifo, format, sink, attachments);
        EXPECT_NE(r.outcome.what().find("named pipe"), std::string::npos) << r.outcome.what();
    }
    std::vector<ImportedContact> contacts;
    RecordingSink sink;
    EXPECT_NE(read_vcards(fifo, contacts, sink).outcome.what().find("named pipe"),
              std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(watchdog.finish()) << "a reader blocked on the FIFO";
    EXPECT_EQ(unusable_path(temp.path() / "gone.xml")->kind(), Outcome::Kind::Missing);
}

// A bad UTF-8 byte or a lone UTF-16 half, on the first line and later ones:
// every message read, each broken character replaced and counted.
TEST(ImportReliability, BrokenCharactersInSmsIeLinesAreReplacedAndCounted) {
    const auto line = [](std::string body) {
        return R"({"address":"+491701234567","date":"1700000000000","type":"1","body":")" + body +
               "\"}\n";
    };
    TempFolder temp;
    RecordingSink sink;
    MemoryAttachments attachments;
    const ReadReport r = read_smsie_zip(
        make_zip(temp.path() / "e.zip",
                 {{"messages.ndjson",
                   line("bad \xFF byte") + line(R"(lone \ud83d half)") +
                       line(R"(low \ude00 first)") + line(R"(pair \ud83d\ude00 kept)") +
                       line(R"(escaped \\ud83d backslash)") + line(R"(nul \u0000 inside)")}}),
        sink, attachments);
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.what();
    EXPECT_TRUE(sink.skips.empty());
    ASSERT_EQ(sink.messages.size(), 6u);
    EXPECT_EQ(sink.text(0), "bad \xEF\xBF\xBD byte");
    EXPECT_EQ(sink.text(1), "lone \xEF\xBF\xBD half");
    EXPECT_EQ(sink.text(2), "low \xEF\xBF\xBD first");
    EXPECT_EQ(sink.text(3), "pair \xF0\x9F\x98\x80 kept");
    EXPECT_EQ(sink.text(4), "escaped \\ud83d backslash");
    EXPECT_EQ(sink.text(5), "nul \xEF\xBF\xBD inside");
    EXPECT_EQ(r.replaced, 4u);
}

TEST(ImportReliability, NamesFromAFileLoseControlsAndDirectionMarks) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"photo" "\xE2\x80\xAE" "gpj.exe", "photogpj.exe"},              // U+202E
        {"a" "\xE2\x81\xA6" "b" "\xE2\x81\xA9" "c", "abc"},             // U+2066, U+2069
        {"\xE2\x80\x8F" "x" "\xD8\x9C" "y", "xy"},                      // U+200F, U+061C
        {"esc" "\x1B" "[31mred" "\x7F\xC2\x9B", "esc[31mred"},           // ESC, DEL, C1
        {"Zdene" "\xCC\x8C" "k.jpg", "Zdene" "\xCC\x8C" "k.jpg"},         // kept
        {"raw " "\xFF" " byte", "raw " "\xFF" " byte"},                   // not UTF-8: kept
    };
    // clang-format on
    for (const auto& [in, out] : cases)
        EXPECT_EQ(import::without_controls(in), out) << in;
}

// libxml2 stops at 256 levels and says to use one of its options; the user
// reads what happened in the program's words, and keeps what came before.
TEST(ImportReliability, TooDeepANestingIsSaidInTheProgramsWords) {
    std::string deep;
    for (int i = 0; i < 300; ++i)
        deep += "<x>";
    TempFolder temp;
    RecordingSink sink;
    MemoryAttachments attachments;
    const ReadReport r = read_android_backup(
        written(temp.path() / "deep.xml",
                "<smses>\n<sms address=\"1\" date=\"1\" type=\"1\" body=\"before\"/>\n" + deep),
        sink, attachments);
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.what();
    EXPECT_EQ(sink.messages.size(), 1u);
    EXPECT_NE(r.damage.find("nested more than 256 deep"), std::string::npos) << r.damage;
    EXPECT_EQ(r.damage.find("XML_PARSE_HUGE"), std::string::npos) << r.damage;
}

}  // namespace
}  // namespace quillet
