// The Android backup reader on small hand-written files: what each element
// gives, what is skipped and why, and hostile files (entities, huge values,
// broken characters, impossible dates) that must end in a clear error or a
// counted skip.
#include <gtest/gtest.h>

#include <chrono>

#include "desktop/formats/android_import.h"
#include "desktop/formats/xml_input_filter.h"
#include "import_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

std::string backup(std::string_view body, std::string_view root = "smses count=\"2\"") {
    return "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n"
           "<!--Written by hand for a test-->\n<" +
           std::string(root) + ">\n" + std::string(body) + "\n</" +
           std::string(root.substr(0, root.find(' '))) + ">\n";
}

std::string sms(std::string_view type, std::string_view date, std::string_view body,
                std::string_view read = "1") {
    return "<sms protocol=\"0\" address=\"+49 170 1234567\" date=\"" + std::string(date) +
           "\" type=\"" + std::string(type) + "\" body=\"" + std::string(body) + "\" read=\"" +
           std::string(read) + "\" />\n";
}

void read_into(Read& r, const std::string& bytes) {
    TempFolder temp;
    r.read = read_android_backup(written(temp.path() / "any.name", bytes), r.sink, r.attachments);
}

// A whole message per row: what the file says and what is handed on.
struct MessageCase {
    const char* name;
    std::string element;
    bool received;
    bool read;
    const char* address;
    const char* text;
    int64_t time_ms;
    uint64_t replaced;
};

TEST(AndroidImport, ReadsEachKindOfMessage) {
    const std::string pic = "iVBORw0KGgo=";  // the 8 bytes of a PNG signature
    const MessageCase cases[] = {
        {"received, unread", sms("1", "1700000000123", "Hi there", "0"), true, false,
         "+49 170 1234567", "Hi there", 1700000000123, 0},
        {"sent", sms("2", "1700000000000", "Line one&#10;line two"), false, true, "+49 170 1234567",
         "Line one\nline two", 1700000000000, 0},
        {"emoji as UTF-16 halves", sms("1", "0", "smile &#55357;&#56832; and &#xD83D;&#xDE00;"),
         true, true, "+49 170 1234567", "smile \xF0\x9F\x98\x80 and \xF0\x9F\x98\x80", 0, 0},
        {"lone halves", sms("1", "5", "a&#55357;b&#56832;c&#55357;"), true, true, "+49 170 1234567",
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD"
         "c\xEF\xBF\xBD",
         5, 3},
        {"invalid UTF-8", sms("1", "5", "caf\xE9 \xC3\x28 ok"), true, true, "+49 170 1234567",
         "caf\xEF\xBF\xBD \xEF\xBF\xBD( ok", 5, 2},
        {"forbidden character reference", sms("1", "-11644473600000", "bell&#7;"), true, true,
         "+49 170 1234567", "bell\xEF\xBF\xBD", -11644473600000, 1},
        {"SMS to several recipients",
         "<sms address=\"+4915111111111~+4915222222222\" date=\"7\" type=\"2\" body=\"all\"/>",
         false, true, "+4915111111111;+4915222222222", "all", 7, 0},
        {"MMS with text, picture and SMIL",
         "<mms date=\"1700000001000\" msg_box=\"1\" read=\"1\" address=\"+4917011\"><parts>"
         "<part seq=\"-1\" ct=\"application/smil\" text=\"&lt;smil/&gt;\" />"
         "<part seq=\"0\" ct=\"image/png\" name=\"IMG_0042.png\" data=\"" +
             pic +
             "\" />"
             "<part seq=\"1\" ct=\"text/plain\" chset=\"106\" text=\"Look\" />"
             "</parts></mms>",
         true, true, "+4917011", "Look\n[picture: IMG_0042.png]", 1700000001000, 0},
        {"group MMS: owner left out once known",
         "<mms date=\"2000\" msg_box=\"2\" address=\"x\"><parts><part ct=\"text/plain\" "
         "text=\"to you\"/></parts><addrs><addr address=\"+491701234567\" type=\"137\"/>"
         "<addr address=\"+4915111111111\" type=\"151\"/></addrs></mms>"
         "<mms date=\"3000\" msg_box=\"1\" address=\"x\"><parts><part ct=\"text/plain\" "
         "text=\"all\"/></parts><addrs><addr address=\"+4915111111111\" type=\"137\"/>"
         "<addr address=\"0170 1234567\" type=\"151\"/>"
         "<addr address=\"+4915222222222\" type=\"130\"/>"
         "<addr address=\"+4915333333333\" type=\"151\"/></addrs></mms>",
         true, true, "+4915111111111;+4915222222222;+4915333333333", "all", 3000, 0},
        {"audio and card kinds",
         "<mms date=\"1000\" msg_box=\"2\"><parts><part ct=\"audio/amr\" cl=\"v.amr\" "
         "data=\"AAEC\"/><part ct=\"text/x-vCard\" name=\"null\" cl=\"null\" "
         "text=\"BEGIN:VCARD\"/></parts></mms>",
         false, true, "", "[audio: v.amr]\n[contact card: attachment]", 1000, 0},
    };
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.name);
        Read r;
        read_into(r, backup(c.element));
        ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
        ASSERT_FALSE(r.sink.messages.empty());
        const ImportedMessage& m = r.sink.messages.back();
        EXPECT_EQ(m.received, c.received);
        EXPECT_EQ(m.read, c.read);
        EXPECT_EQ(m.address, c.address);
        EXPECT_EQ(r.sink.text(r.sink.messages.size() - 1), c.text);
        EXPECT_EQ(m.time_ms, c.time_ms);
        EXPECT_FALSE(m.zoneless);
        EXPECT_EQ(r.read.replaced, c.replaced);
        EXPECT_TRUE(r.sink.skips.empty()) << r.sink.skips.front();
    }
}

TEST(AndroidImport, AttachmentBytesArriveWhole) {
    Read r;
    read_into(r, backup("<mms date=\"1\" msg_box=\"1\"><parts><part ct=\"image/jpeg\" "
                        "name=\"a.jpg\" data=\"SGVs&#10;bG8s IHdvcmxk\"/></parts></mms>"));
    ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
    EXPECT_EQ(r.attachments.files.at("a.jpg"), "Hello, world");
    ASSERT_EQ(r.sink.messages.at(0).attachments.size(), 1u);
    EXPECT_EQ(r.sink.messages[0].attachments[0].kind, "picture");
}

TEST(AndroidImport, SkipsWhatIsNotAMessageWithItsReason) {
    const std::pair<std::string, const char*> cases[] = {
        {sms("3", "1", "x"), "a draft"},
        {sms("4", "1", "x"), "a message in the outbox"},
        {sms("5", "1", "x"), "a message that failed to send"},
        {sms("6", "1", "x"), "a message queued to be sent"},
        {sms("9", "1", "x"), "an SMS of unknown type"},
        {sms("1", "yesterday", "x"), "an SMS without a readable date"},
        {sms("1", "-11644473600001", "x"), "an SMS with a date before 1601"},
        {sms("1", "910692730085478", "x"), "an SMS with a date after 30828"},
        {"<mms date=\"1\" msg_box=\"3\"><parts><part ct=\"image/png\" "
         "data=\"AAAA\"/></parts></mms>",
         "a draft"},
        {"<mms date=\"99999999999999999\" msg_box=\"1\"/>", "an MMS with a date after 30828"},
        {"<mms date=\"1\" msg_box=\"1\"><parts><part ct=\"application/smil\"/></parts></mms>",
         "an MMS without any part"},
    };
    for (const auto& [element, why] : cases) {
        SCOPED_TRACE(why);
        Read r;
        read_into(r, backup(element + sms("1", "1", "kept")));
        ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
        EXPECT_EQ(r.sink.skips, std::vector<std::string>{why});
        ASSERT_EQ(r.sink.messages.size(), 1u);
        EXPECT_EQ(r.sink.text(0), "kept");
        EXPECT_TRUE(r.attachments.files.empty());
    }
}

// A picture part the backup names but leaves empty: the MMS is kept, and
// says what it had.
TEST(AndroidImport, AnEmptyPictureIsNamedInItsMessage) {
    Read r;
    read_into(r, backup("<mms date=\"1\" msg_box=\"1\" address=\"+4930111\"><parts>"
                        "<part ct=\"image/jpeg\" name=\"IMG_7.jpg\" data=\"\"/></parts></mms>"));
    ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
    EXPECT_TRUE(r.sink.skips.empty());
    ASSERT_EQ(r.sink.messages.size(), 1u);
    EXPECT_EQ(r.sink.text(0), "[picture: IMG_7.jpg, not in the backup]");
    EXPECT_TRUE(r.attachments.files.empty());
}

// Cut short inside the fourth message, after a part whose data spans
// lines: the three before are kept, the damage is told at the file's own
// last line, and the fourth is counted.
TEST(AndroidImport, AFileCutShortKeepsEveryMessageBeforeTheDamage) {
    const std::string file =
        backup(sms("1", "1", "one") +
                   "<mms date=\"2\" msg_box=\"1\" address=\"+4930111\"><parts>\n"
                   "<part ct=\"image/png\" name=\"p.png\" data=\"iVBO\nRw0K\nGgo=\"/>\n"
                   "</parts></mms>\n" +
                   sms("2", "3", "three"),
               "smses count=\"4\"");
    const std::string cut = file.substr(0, file.find("</smses>")) + "<sms address=\"+4930";
    Read r;
    read_into(r, cut);
    ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
    ASSERT_EQ(r.sink.messages.size(), 3u);
    EXPECT_EQ(r.sink.text(2), "three");
    const size_t last_line = static_cast<size_t>(std::count(cut.begin(), cut.end(), '\n')) + 1;
    EXPECT_NE(r.read.damage.find("damaged at line " + std::to_string(last_line) + ":"),
              std::string::npos)
        << r.read.damage;
    EXPECT_NE(r.read.damage.find("cut short"), std::string::npos) << r.read.damage;
    EXPECT_EQ(r.sink.skips, std::vector<std::string>{
                                "a message at or after the damage, which could not be read"});
    EXPECT_EQ(r.read.held, 4u);
    EXPECT_EQ(r.read.announced, 4u);
}

TEST(AndroidImport, CountIsReportedNotTrusted) {
    Read r;
    read_into(r, backup(sms("1", "1", "only one"), "smses count=\"2147483647\""));
    ASSERT_TRUE(r.read.outcome.ok());
    EXPECT_EQ(r.read.announced, 2147483647u);
    EXPECT_EQ(r.sink.messages.size(), 1u);
    Read old;
    read_into(old, backup(sms("2", "1", "old root"), "allsms"));
    EXPECT_TRUE(old.read.outcome.ok());
    EXPECT_FALSE(old.read.announced);
    EXPECT_EQ(old.sink.messages.size(), 1u);
}

TEST(AndroidImport, RefusesFilesThatAreNotMessagesWithAClearError) {
    TempFolder temp;
    const std::string secret = "TOP-SECRET-CONTENT";
    const auto secret_file = written(temp.path() / "secret.txt", secret);
    std::string laughs = "<!DOCTYPE smses [<!ENTITY a \"lol\">";
    for (char c = 'b'; c <= 'k'; ++c)
        laughs += std::string("<!ENTITY ") + c + " \"&" + static_cast<char>(c - 1) + ";&" +
                  static_cast<char>(c - 1) + ";&" + static_cast<char>(c - 1) + ";&" +
                  static_cast<char>(c - 1) + ";\">";
    laughs += "]>";
    const std::pair<std::string, const char*> cases[] = {
        {"<?xml version='1.0'?><calls count=\"1\"><call number=\"1\" duration=\"5\"/></calls>",
         "an Android call log"},
        {"<?xml version='1.0'?><contacts/>", "not an Android message backup"},
        {"<?xml version='1.0'?>" + laughs + "<smses>" + sms("1", "1", "&k;") + "</smses>",
         "declares entities"},
        {"<?xml version='1.0'?><!DOCTYPE smses [<!ENTITY s SYSTEM \"file://" +
             secret_file.string() + "\">]><smses>" + sms("1", "1", "&s;") + "</smses>",
         "declares entities"},
        {backup(sms("1", "1", "x")).substr(0, 120), "damaged at line"},
        {"\xFF\xFE<\0s\0", "UTF-16"},
        {"", "no XML element"},
        // Elements, damaged before the first message: said as damage.
        {"<?xml version='1.0'?>\n<smses count=\"1\"\n  ==>", "damaged at line 3"},
    };
    // An external DTD is never loaded: its entity stays unknown.
    const auto dtd = written(temp.path() / "x.dtd", "<!ENTITY s \"" + secret + "\">");
    Read external;
    read_into(external, "<?xml version='1.0'?><!DOCTYPE smses SYSTEM \"" + dtd.string() +
                            "\"><smses>" + sms("1", "1", "&s;") + sms("1", "1", "after") +
                            "</smses>");
    for (size_t i = 0; i < external.sink.messages.size(); ++i)
        EXPECT_EQ(external.sink.text(i).find(secret), std::string::npos);
    ASSERT_EQ(external.sink.messages.size(), 2u) << external.read.outcome.what();
    EXPECT_EQ(external.sink.text(0), "");

    for (const auto& [bytes, why] : cases) {
        SCOPED_TRACE(why);
        Read r;
        const auto start = std::chrono::steady_clock::now();
        read_into(r, bytes);
        EXPECT_FALSE(r.read.outcome.ok());
        EXPECT_NE(r.read.outcome.what().find(why), std::string::npos) << r.read.outcome.what();
        EXPECT_EQ(r.read.outcome.what().find(secret), std::string::npos);
        for (size_t i = 0; i < r.sink.messages.size(); ++i)
            EXPECT_EQ(r.sink.text(i).find(secret), std::string::npos);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
}

TEST(AndroidImport, StopsAtOnceWhenCancelled) {
    Read r;
    r.sink.cancel_after = 0;
    read_into(r, backup(sms("1", "1", "x")));
    EXPECT_FALSE(r.read.outcome.ok());
    EXPECT_EQ(r.read.outcome.kind(), Outcome::Kind::Cancelled);
    EXPECT_TRUE(r.sink.messages.empty());
}

// Written on the fly: a 50 MB value (a real hostile file may hold 4 GB;
// the bound that protects both is the filter's 8 MB per value, so 50 MB
// shows it without filling the disk). A body that long is a counted skip;
// part data that long streams through to the attachment.
TEST(AndroidImport, HugeValuesStayOutOfMemory) {
    constexpr size_t kHuge = 50u << 20;
    TempFolder temp;
    const auto path = temp.path() / "huge.xml";
    const struct {
        const char* name;
        std::string before, after;
        uint64_t attachment_bytes;
        const char* skip;
    } cases[] = {
        {"body", "<sms type=\"1\" date=\"1\" address=\"1\" body=\"", "\"/>", 0,
         "an SMS with a value longer than 8 MB"},
        {"part data", "<mms date=\"1\" msg_box=\"1\"><parts><part ct=\"video/mp4\" data=\"",
         "\"/></parts></mms>", kHuge / 4 * 3, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::ofstream out(path, std::ios::binary);
            out << "<?xml version='1.0' encoding='UTF-8'?><smses count=\"2\">" << c.before;
            const std::string block(1 << 20, 'A');
            for (size_t i = 0; i < kHuge / block.size(); ++i)
                out << block;
            out << c.after << sms("2", "1", "after") << "</smses>";
        }
        const long peak_before = peak_kb();
        Read r;
        r.attachments.keep_bytes = false;
        r.read = read_android_backup(path, r.sink, r.attachments);
        ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
        EXPECT_LT(peak_kb() - peak_before, 40 * 1024) << "peak memory grew too much";
        EXPECT_EQ(r.attachments.bytes_seen, c.attachment_bytes);
        EXPECT_EQ(r.sink.skips.size(), c.skip ? 1u : 0u);
        if (c.skip && !r.sink.skips.empty()) {
            EXPECT_EQ(r.sink.skips[0], c.skip);
        }
        EXPECT_EQ(r.sink.text(r.sink.messages.size() - 1), "after");
    }
}

// The filter's output must not depend on where the file's pieces break:
// the declaration, references, UTF-8 sequences, tags and base64 split at
// every byte.
std::tuple<std::string, uint64_t, std::string> filter_in_pieces(std::string_view doc,
                                                                size_t piece) {
    import::PartSpool spool;
    import::XmlInputFilter filter(spool);
    std::string out;
    for (size_t i = 0; i < doc.size(); i += piece)
        EXPECT_TRUE(filter.feed(doc.substr(i, piece), i + piece >= doc.size(), out));
    std::string spooled;
    spool.read(0, 6, [&](std::string_view b) { return spooled.append(b), true; });
    return {out, filter.replaced(), spooled};
}

TEST(XmlInputFilter, GivesTheSameDocumentWhateverThePieces) {
    const std::string doc =
        backup(sms("1", "1", "&#55357;&#56832; caf\xC3\xA9 \xE2\x82") +
               "<!-- a <comment> --><![CDATA[<sms>]]><mms msg_box=\"1\" quillet-cut=\"1\">"
               "<part ct='image/png' data='AAECAwQF' /></mms>");
    const auto whole = filter_in_pieces(doc, doc.size());
    const std::string& out = std::get<0>(whole);
    EXPECT_NE(out.find("&#128512; caf\xC3\xA9 \xEF\xBF\xBD"), std::string::npos);
    EXPECT_NE(out.find("quillet-spool=\"0 6 0\""), std::string::npos);
    EXPECT_EQ(out.find("quillet-cut"), std::string::npos)
        << "a quillet-* attribute from the file must be dropped";
    EXPECT_EQ(std::get<2>(whole), std::string("\0\1\2\3\4\5", 6));
    // Latin-1 is declared: its bytes are not UTF-8 to mend.
    const std::string latin1 = "<?xml version='1.0' encoding='ISO-8859-1'?><smses body='caf\xE9'/>";
    EXPECT_EQ(filter_in_pieces(latin1, latin1.size()), std::make_tuple(latin1, 0, std::string()));
    for (size_t piece : {1, 2, 3, 7}) {
        EXPECT_EQ(filter_in_pieces(doc, piece), whole) << "pieces of " << piece;
        EXPECT_EQ(filter_in_pieces(latin1, piece), filter_in_pieces(latin1, latin1.size()));
    }
}

}  // namespace
}  // namespace quillet
