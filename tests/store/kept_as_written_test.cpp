// What the user wrote or received comes back as it was: every 8-bit byte
// through a box file and the settings, two messages of the repeated autumn
// hour as two, and texts that look like spreadsheet formulas exported as text
// in a CSV file that stays well-formed.
#include <gtest/gtest.h>

#include "desktop/formats/csv_xml_export.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/message_merge.h"
#include "desktop/store/options.h"
#include "desktop/store/sms_box.h"
#include "protocol/text_codec.h"
#include "store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

constexpr FileTime kSecond = kTicksPerSecond;

TEST(CodePageTest, EveryByteReadsAndWritesBackUnchanged) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    const std::u16string text = from_ansi(all);
    ASSERT_EQ(text.size(), all.size());
    EXPECT_EQ(to_ansi(text), all);
    // The five bytes the code page leaves undefined are the C1 controls of
    // the same code; the others keep their code page meaning.
    for (const int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(text[static_cast<size_t>(b - 1)], static_cast<char16_t>(b));
    EXPECT_EQ(text[0x80 - 1], u'\u20AC');
    EXPECT_EQ(text[0x9F - 1], u'\u0178');
    EXPECT_EQ(text[0xE9 - 1], u'\u00E9');
    // What the code page cannot hold is still "?".
    EXPECT_EQ(to_ansi(u"\u0080\u009F\u4E2D\U0001F600"), "????");
}

std::string box100_with_text(std::string_view text) {
    std::string block(text);
    block.resize(160, '\0');
    return std::string("quillet version 1.00") + le32(0xFFFFFFFF) + le32(0xFFFFFFFF) + le32(1) +
           "\x07" + "ab" + '\0' + block + "xy " + field32("0171") + le64(133'000'000'000'000'000) +
           '\1' + '\0';
}

TEST(CodePageTest, OldBoxFilesKeepTheirBytesThroughSaveAndExport) {
    AppFolders folders;
    const std::string bytes =
        "a\x81"
        "b\x8D"
        "c\x8F"
        "d\x90"
        "e\x9D"
        "f\x80\xE9";
    write_file(folders.data() / "inbox1.sms", box100_with_text(bytes));
    SmsBox box(BoxKind::Inbox);
    ASSERT_EQ(box.load_box(u"inbox1.sms").status, LoadBoxResult::Status::Loaded);
    ASSERT_TRUE(box.save_box(u"inbox1.sms"));
    SmsBox again(BoxKind::Inbox);
    ASSERT_EQ(again.load_box(u"inbox1.sms").status, LoadBoxResult::Status::Loaded);
    ASSERT_EQ(again.count(), 1u);
    EXPECT_EQ(again.message_at(0).text_view(), u"a\u0081b\u008Dc\u008Fd\u0090e\u009Df\u20AC\u00E9");
    // The CSV is UTF-8: every one of those characters arrives.
    EXPECT_NE(csv_bytes(again, ContactList()).find("\"" + to_utf8(from_ansi(bytes)) + "\""),
              std::string::npos);

    Options options;
    options.popup_message_text = from_ansi(bytes);
    ASSERT_TRUE(save_options(options));
    Options loaded;
    ASSERT_TRUE(load_options(loaded));
    EXPECT_EQ(to_ansi(loaded.popup_message_text), bytes);
}

SmsWireRecord wire(std::u16string_view text, std::string_view address, FileTime time) {
    SmsWireRecord w;
    w.text = text;
    set_text_field(w.address, address);
    w.time = time;
    return w;
}

// When clocks go back, one clock second is shown for two instants an hour
// apart. Two messages received then are two messages, within one fetch and
// across two; within one second the rule is what it always was.
TEST(RepeatedHourTest, TwoEqualMessagesAnHourApartStayTwo) {
    for (const char* zone : {"CET-1CEST,M3.5.0,M10.5.0/3", "Europe/Berlin", "America/New_York"}) {
        SCOPED_TRACE(zone);
        ScopedTimeZone tz(zone);
        // The first instant of the last Sunday of October's repeated hour
        // (Berlin) or of the first Sunday of November's (New York), plus 50 min.
        const bool berlin = std::string_view(zone) != "America/New_York";
        const FileTime first = filetime_from_unix(berlin ? 1'792'889'400 : 1'793'512'200);
        const FileTime again = first + 3600 * kSecond;
        ASSERT_EQ(local_seconds(first), local_seconds(again));  // the same on the clock

        SmsMessage a;
        a.set_text(u"x");
        a.set_number("1");
        a.set_time(first);
        SmsMessage b = a;
        b.set_time(again);
        EXPECT_FALSE(a.same_message(b));

        std::vector<SmsMessage> box;
        std::vector<SmsMessage> queue;
        EXPECT_EQ(
            merge_fetched(box, queue, std::vector{wire(u"x", "1", first), wire(u"x", "1", again)}),
            2u);
        EXPECT_EQ(
            merge_fetched(box, queue, std::vector{wire(u"x", "1", again), wire(u"x", "1", first)}),
            0u);
        ASSERT_EQ(box.size(), 2u);
        EXPECT_EQ(box[0].time(), first);
        EXPECT_EQ(box[1].time(), again);
        EXPECT_EQ(queue.size(), 2u);

        std::vector<SmsMessage> same = {b};
        EXPECT_EQ(merge_fetched(same, queue, std::vector{wire(u"x", "1", again + kSecond / 2)}),
                  0u);
        EXPECT_EQ(merge_fetched(same, queue, std::vector{wire(u"x", "1", again + kSecond)}), 1u);
    }
}

// A CSV reader by RFC 4180 (a field is quoted, its quotes doubled, or holds
// no quote at all), after the single blank the format puts behind each comma.
// Empty when the text is not valid.
std::vector<std::vector<std::string>> read_csv(std::string_view text) {
    std::vector<std::vector<std::string>> rows(1);
    size_t i = 0;
    while (i < text.size()) {
        std::string field;
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size())
                    return {};
                if (text[i] == '"' && text.substr(i, 2) != "\"\"")
                    break;
                if (text[i] == '"')
                    ++i;
                field += text[i];
            }
            ++i;
        } else {
            while (i < text.size() && text[i] != ',' && text.substr(i, 2) != "\r\n") {
                if (text[i] == '"')
                    return {};
                field += text[i++];
            }
        }
        rows.back().push_back(field);
        if (text.substr(i, 2) == ", ") {
            i += 2;
        } else if (text.substr(i, 2) == "\r\n") {
            i += 2;
            if (i < text.size())
                rows.emplace_back();
        } else {
            return {};
        }
    }
    return rows;
}

// The one row of a box of one message, from `name` to `text`.
std::vector<std::string> exported_row(std::string_view name, std::string_view text) {
    SmsBox box(BoxKind::Inbox);
    SmsMessage m;
    m.set_text(from_ansi(text));
    m.set_number("+4915112345");
    box.append(m);
    ContactList contacts;
    contacts.append(make_contact(name, "+4915112345"));
    const std::string csv = csv_bytes(box, contacts);
    const auto rows = read_csv(csv);
    EXPECT_EQ(rows.size(), 1u) << csv;
    return rows.empty() ? std::vector<std::string>() : rows[0];
}

TEST(CsvFormulaTest, CellsThatLookLikeFormulasAreWrittenAsText) {
    const std::vector<std::string> risky = {
        "=1+2", "+SUM(A1)", "-2+3", "@cmd", "\tindent", "\rreturn", "=HYPERLINK(\"x\",\"y\")",
        "=a,b", "+"};
    const std::vector<std::string> plain = {"Amy", "1+1", "a=b", "+4915112345", " =x"};
    for (const std::string& value : risky) {
        SCOPED_TRACE(value);
        const auto row = exported_row(value, value);
        ASSERT_EQ(row.size(), 4u);
        EXPECT_EQ(row[0], "'" + value);
        EXPECT_EQ(row[1], "+4915112345");
        EXPECT_EQ(row[3], "'" + value);
    }
    for (const std::string& value : plain) {
        SCOPED_TRACE(value);
        const auto row = exported_row(value, value);
        ASSERT_EQ(row.size(), 4u);
        EXPECT_EQ(row[0], value);
        EXPECT_EQ(row[3], value);
    }
}

TEST(CsvFormulaTest, OrdinaryExportsAreByteForByteAsBefore) {
    SmsBox box(BoxKind::Inbox);
    SmsMessage m;
    m.set_text(u"Hi, \"you\"\nbye");
    m.set_number("+4915112345");
    m.set_time(133'000'000'000'000'000ULL);
    box.append(m);
    ContactList contacts;
    contacts.append(make_contact("Amy, Lee", "+4915112345"));
    const std::string csv = csv_bytes(box, contacts);
    EXPECT_EQ(read_csv(csv).size(), 1u);
    EXPECT_TRUE(csv.starts_with("\"Amy, Lee\", +4915112345, ")) << csv;
    EXPECT_TRUE(csv.ends_with(", \"Hi, \"\"you\"\"\r\nbye\"\r\n")) << csv;
}

}  // namespace
}  // namespace quillet
