// Box files on disk: both versions byte for byte, the upgrade, damaged files
// by fault class, files of an unknown header kept aside, and saves that fail.
#include <gtest/gtest.h>

#include "desktop/store/box_file.h"
#include "desktop/store/sms_box.h"
#include "store_test_support.h"

namespace quillet {
namespace {
using namespace quillet::test;

constexpr FileTime kTime = 133'000'000'001'234'567ULL;

std::string preamble(std::string_view header, int32_t column, int32_t order, int32_t count) {
    return std::string(header) + le32(static_cast<uint32_t>(column)) +
           le32(static_cast<uint32_t>(order)) + le32(static_cast<uint32_t>(count));
}

std::string record110(std::u16string_view text, std::string_view number, FileTime time, char cls,
                      char read, char on_phone, char id_byte) {
    return le32(static_cast<uint32_t>(2 * (text.size() + 1))) + utf16le(text) +
           std::string(2, '\0') + field32(number) + le64(time) + cls + read + on_phone +
           std::string(16, id_byte);
}

// A version 1.00 record as its reader scans it: a byte, a run ended by a
// zero byte, the 160-byte text block, filler ended by a space, the number,
// time, class and the unread byte.
std::string record100(std::string_view text, std::string_view number, FileTime time, char cls,
                      char unread) {
    std::string block(text);
    block.resize(kBox100TextBlock, '\0');
    return std::string("\x07") + "ab" + '\0' + block + "xy " + field32(number) + le64(time) + cls +
           unread;
}

TEST(BoxFileTest, NewInstallationWritesThreeEmptyFilesOf32Bytes) {
    AppFolders folders;
    for (BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
        SmsBox box(kind);
        const LoadBoxResult r = box.load_box(box_file_name(kind));
        EXPECT_EQ(r.status, LoadBoxResult::Status::Missing);
        EXPECT_EQ(box.count(), 0u);
        ASSERT_TRUE(box.save_box(box_file_name(kind)));
    }
    for (const char* name : {"inbox1.sms", "sent1.sms", "deleted1.sms"}) {
        EXPECT_EQ(file_contents(folders.data() / name), preamble(kBoxHeader110, -1, -1, 0));
    }
}

TEST(BoxFileTest, Version110IsReadAndWrittenByteForByte) {
    AppFolders folders;
    const std::string bytes = preamble(kBoxHeader110, 2, 1, 3) +
                              record110(u"Hello", "+4915112345678", kTime, 1, 1, 1, 'a') +
                              record110(u"", "12", kTime + 1, 0, 0, 0, 'b') +
                              record110(u"Gr\u00fc\u00dfe \u20ac", "+1", kTime + 2, 3, 1, 0, 'c');
    write_file(folders.data() / "sent1.sms", bytes);

    SmsBox box(BoxKind::SentItems);
    const LoadBoxResult r = box.load_box(u"sent1.sms");
    ASSERT_EQ(r.status, LoadBoxResult::Status::Loaded);
    EXPECT_EQ(r.records, 3u);
    EXPECT_FALSE(r.upgraded);
    EXPECT_EQ(box.sort_column(), 2);
    EXPECT_EQ(box.sort_order(), 1);
    const SmsMessage& first = box.message_ref(0);
    EXPECT_EQ(first.text_view(), u"Hello");
    EXPECT_EQ(first.number(), "+4915112345678");
    EXPECT_EQ(first.time(), kTime);
    EXPECT_EQ(first.message_class(), 1);
    EXPECT_EQ(first.read(), 1);
    EXPECT_EQ(first.on_phone(), 1);
    EXPECT_EQ(first.entry_id()[15], 'a');
    EXPECT_EQ(box.message_at(1).text_view(), u"");
    EXPECT_EQ(box.message_at(2).text_view(), u"Gr\u00fc\u00dfe \u20ac");

    ASSERT_TRUE(box.save_box(u"sent1.sms"));
    EXPECT_EQ(file_contents(folders.data() / "sent1.sms"), bytes);
}

TEST(BoxFileTest, EmptyTextIsStoredAsTwoTerminatorBytes) {
    SmsMessage m = message(u"", "5", kTime);
    const std::vector<uint8_t> bytes = encode_box_file(-1, -1, std::span(&m, 1));
    ASSERT_EQ(bytes.size(), kBoxPreambleSize + 63 + 2);
    EXPECT_EQ(as_string(bytes).substr(32, 6), le32(2) + std::string(2, '\0'));
}

TEST(BoxFileTest, CountZeroKeepsTheSortState) {
    AppFolders folders;
    write_file(folders.data() / "inbox1.sms", preamble(kBoxHeader110, 4, 1, 0));
    SmsBox box(BoxKind::Inbox);
    EXPECT_EQ(box.load_box(u"inbox1.sms").status, LoadBoxResult::Status::Loaded);
    EXPECT_EQ(box.count(), 0u);
    EXPECT_EQ(box.sort_column(), 4);
    EXPECT_EQ(box.sort_order(), 1);
}

TEST(BoxFileTest, BytesAfterTheNumbersTerminatorAreIgnoredAndWrittenAsZero) {
    AppFolders folders;
    std::string rec = record110(u"x", "123", kTime, 1, 0, 0, 0);
    rec[4 + 4 + 5] = 'G';  // inside the number field, after "123\0"
    write_file(folders.data() / "inbox1.sms", preamble(kBoxHeader110, -1, -1, 1) + rec);
    SmsBox box(BoxKind::Inbox);
    box.load_box(u"inbox1.sms");
    EXPECT_EQ(box.message_at(0).number(), "123");
    box.save_box(u"inbox1.sms");
    EXPECT_EQ(file_contents(folders.data() / "inbox1.sms"),
              preamble(kBoxHeader110, -1, -1, 1) + record110(u"x", "123", kTime, 1, 0, 0, 0));
}

TEST(BoxFileTest, Version100IsReadAndUpgradedOnSave) {
    AppFolders folders;
    write_file(folders.data() / "inbox1.sms",
               preamble(kBoxHeader100, 1, -1, 2) +
                   record100("Hello there", "+49 151 1234", kTime, 1, 1) +
                   record100("Caf\xe9", "0170", kTime + 10'000'000, 0, 0));
    SmsBox box(BoxKind::Inbox);
    const LoadBoxResult r = box.load_box(u"inbox1.sms");
    ASSERT_EQ(r.status, LoadBoxResult::Status::Loaded);
    EXPECT_TRUE(r.upgraded);
    ASSERT_EQ(box.count(), 2u);
    EXPECT_EQ(box.message_at(0).text_view(), u"Hello there");
    EXPECT_EQ(box.message_at(0).number(), "+49 151 1234");  // as stored, not normalised
    EXPECT_EQ(box.message_at(0).read(), 0);                 // unread byte 1
    EXPECT_EQ(box.message_at(1).text_view(), u"Caf\u00e9");
    EXPECT_EQ(box.message_at(1).read(), 1);

    ASSERT_TRUE(box.save_box(u"inbox1.sms"));
    EXPECT_EQ(file_contents(folders.data() / "inbox1.sms"),
              preamble(kBoxHeader110, 1, -1, 2) +
                  record110(u"Hello there", "+49 151 1234", kTime, 1, 0, 0, 0) +
                  record110(u"Caf\u00e9", "0170", kTime + 10'000'000, 0, 1, 0, 0));
}

TEST(BoxFileTest, Version100FieldsWithoutZeroBytesAreBounded) {
    std::string rec = std::string("\x01") + '\0' + std::string(kBox100TextBlock, 'T') + " " +
                      std::string(32, '7') + le64(kTime) + '\x01' + '\x00';
    const std::string file = preamble(kBoxHeader100, -1, -1, 1) + rec;
    const DecodedBox box =
        decode_box_file(std::span(reinterpret_cast<const uint8_t*>(file.data()), file.size()));
    ASSERT_EQ(box.messages.size(), 1u);
    EXPECT_TRUE(box.damage.empty());
    EXPECT_EQ(box.messages[0].text_view(), std::u16string(159, u'T'));
    EXPECT_EQ(box.messages[0].number(), std::string(31, '7'));
}

// Each fault class: the complete records before the fault are kept, the load
// says what was wrong, and a copy of the file as found is kept aside.
struct DamagedCase {
    const char* name;
    std::string bytes;
    size_t kept;
};

std::vector<DamagedCase> damaged_cases() {
    const std::string good = record110(u"one", "1", kTime, 1, 1, 1, 1);
    const std::string good100 = record100("old", "1", kTime, 1, 0);
    const std::string huge_length = le32(0xFFFFFFF0u) + std::string(100, 'x');
    return {
        {"truncated inside the second record",
         preamble(kBoxHeader110, -1, -1, 2) + good + good.substr(0, 20), 1},
        {"truncated inside a length field", preamble(kBoxHeader110, -1, -1, 2) + good + "\x02", 1},
        {"length field larger than the file",
         preamble(kBoxHeader110, -1, -1, 3) + good + huge_length, 1},
        {"count far beyond the records",
         preamble(kBoxHeader110, -1, -1, 2'000'000'000) + good + good, 2},
        {"1.00 record without the terminator of its first run",
         preamble(kBoxHeader100, -1, -1, 2) + good100 + "\x01" + std::string(50, 'z'), 1},
        {"1.00 record without the character before its number",
         preamble(kBoxHeader100, -1, -1, 2) + good100 + "\x01\x00" +
             std::string(kBox100TextBlock, '\0') + std::string(40, 'q'),
         1},
        {"file ends inside the preamble", std::string(kBoxHeader110) + le32(1), 0},
    };
}

TEST(BoxFileTest, DamagedFilesKeepTheCompleteRecordsBeforeTheDamage) {
    for (const DamagedCase& c : damaged_cases()) {
        SCOPED_TRACE(c.name);
        AppFolders folders;
        write_file(folders.data() / "inbox1.sms", c.bytes);
        SmsBox box(BoxKind::Inbox);
        const LoadBoxResult r = box.load_box(u"inbox1.sms");
        EXPECT_EQ(r.status, LoadBoxResult::Status::Damaged);
        EXPECT_FALSE(r.outcome.what().empty());
        EXPECT_EQ(box.count(), c.kept);
        EXPECT_EQ(r.records, c.kept);
        ASSERT_EQ(r.kept_aside, folders.data() / "inbox1.sms.damaged-1");
        EXPECT_EQ(file_contents(r.kept_aside), c.bytes);
        for (size_t i = 0; i < box.count(); ++i) {
            EXPECT_TRUE(box.message_at(i).text_view() == u"one" ||
                        box.message_at(i).text_view() == u"old");
        }
    }
}

// Read from disk, every damaged file decodes exactly as its bytes do, and
// files that cannot be read whole are refused with a reason.
TEST(BoxFileTest, ReadingTheFileDecodesAsItsBytes) {
    TempFolder dir;
    const fs::path file = dir.path() / "box.sms";
    std::vector<DamagedCase> cases = damaged_cases();
    cases.push_back({"whole 1.00 file",
                     preamble(kBoxHeader100, -1, -1, 2) + record100("one", "1", kTime, 1, 0) +
                         record100("two", "2", kTime, 1, 1),
                     2});
    // Large enough to arrive in many pieces, with records across their borders.
    std::string large = preamble(kBoxHeader110, 2, 1, 6000);
    size_t whole_before_cut = 0;
    const size_t cut = 1'500'000;
    for (size_t i = 0; i < 6000; ++i) {
        const std::u16string text(i % 301, static_cast<char16_t>(u'a' + i % 26));
        large += record110(text, std::to_string(i), kTime + i, 0, 1, 0, 3);
        whole_before_cut += large.size() <= cut ? 1 : 0;
    }
    ASSERT_GT(large.size(), cut);
    cases.push_back({"large file", large, 6000});
    cases.push_back({"large file cut short", large.substr(0, cut), whole_before_cut});
    for (const DamagedCase& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(file, c.bytes);
        const DecodedBox whole = decode_box_file(
            std::span(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()));
        std::string error;
        const auto read = read_box_file(file, error);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->damage, whole.damage);
        ASSERT_EQ(read->messages.size(), whole.messages.size());
        EXPECT_EQ(read->messages.size(), c.kept);
        for (size_t i = 0; i < whole.messages.size(); ++i) {
            EXPECT_EQ(read->messages[i].text_view(), whole.messages[i].text_view());
            EXPECT_EQ(read->messages[i].number(), whole.messages[i].number());
        }
    }
    std::string error;
    EXPECT_FALSE(read_box_file(dir.path() / "missing.sms", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(read_box_file(dir.path(), error));
    // A file past the limit (sparse: no disk is used) is refused before any
    // allocation of its size.
    const fs::path huge = dir.path() / "huge.sms";
    write_file(huge, preamble(kBoxHeader110, -1, -1, 1));
    fs::resize_file(huge, kMaxBoxFileSize + 1);
    error.clear();
    EXPECT_FALSE(read_box_file(huge, error));
    EXPECT_NE(error.find("larger than"), std::string::npos) << error;
}

// Texts live in the block the file was read into, every second one moved to
// lie on a unit boundary; they must outlive the box and every other copy.
TEST(BoxFileTest, LoadedTextsOutliveTheirBoxAndSurviveEdits) {
    AppFolders folders;
    std::string bytes = preamble(kBoxHeader110, -1, -1, 5);
    const std::vector<std::u16string> texts = {u"a", u"odd one", u"", u"Gr\u00fc\u00dfe \U0001F600",
                                               std::u16string(300, u'x')};
    for (const std::u16string& t : texts)
        bytes += record110(t, "+4917012345", kTime, 0, 1, 0, 7);
    write_file(folders.data() / "inbox1.sms", bytes);
    std::vector<SmsMessage> kept;
    {
        SmsBox box(BoxKind::Inbox);
        ASSERT_EQ(box.load_box(u"inbox1.sms").status, LoadBoxResult::Status::Loaded);
        for (size_t i = 0; i < box.count(); ++i)
            kept.push_back(box.message_at(i));
    }
    ASSERT_EQ(kept.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(kept[i].text_view(), texts[i]) << i;
    // Changing one copy's text leaves the others and the block alone.
    SmsMessage edited = kept[1];
    edited.set_text(u"odd\none");
    edited.expand_lf();
    EXPECT_EQ(edited.text_view(), u"odd\r\none");
    EXPECT_EQ(kept[1].text_view(), u"odd one");
    EXPECT_EQ(kept[4].text_view(), texts[4]);
}

TEST(BoxFileTest, UnknownHeaderIsKeptAsideBeforeTheEmptyBoxIsSaved) {
    AppFolders folders;
    const fs::path file = folders.data() / "deleted1.sms";
    const std::string foreign = "quillet version 2.00" + le32(0) + le32(0) + le32(0) + "more";
    for (int run = 1; run <= 2; ++run) {
        write_file(file, foreign);
        SmsBox box(BoxKind::DeletedItems);
        const LoadBoxResult r = box.load_box(u"deleted1.sms");
        EXPECT_EQ(r.status, LoadBoxResult::Status::UnknownHeader);
        EXPECT_EQ(box.count(), 0u);
        const fs::path aside = folders.data() / ("deleted1.sms.unknown-" + std::to_string(run));
        EXPECT_EQ(r.kept_aside, aside);
        EXPECT_EQ(file_contents(aside), foreign);
        ASSERT_TRUE(box.save_box(u"deleted1.sms"));
        EXPECT_EQ(file_contents(file), preamble(kBoxHeader110, -1, -1, 0));
    }
}

TEST(BoxFileTest, FilesTooShortForAHeaderAreKeptAsideToo) {
    for (std::string_view bytes : {std::string_view(""), std::string_view("quillet ve")}) {
        AppFolders folders;
        write_file(folders.data() / "inbox1.sms", bytes);
        SmsBox box(BoxKind::Inbox);
        const LoadBoxResult r = box.load_box(u"inbox1.sms");
        EXPECT_EQ(r.status, LoadBoxResult::Status::UnknownHeader);
        EXPECT_EQ(file_contents(r.kept_aside), bytes);
    }
}

TEST(BoxFileTest, SaveThatCannotWriteLeavesTheOldFileWhole) {
    AppFolders folders;
    const fs::path file = folders.data() / "inbox1.sms";
    SmsBox box(BoxKind::Inbox);
    box.append(message(u"kept", "1", kTime));
    ASSERT_TRUE(box.save_box(u"inbox1.sms"));
    const std::string old = file_contents(file);

    for (int i = 0; i < 50; ++i)
        box.append(message(std::u16string(100, u'n'), "2", kTime));
    Outcome r;
    {
        FileSizeLimit limit(512);
        r = box.save_box(u"inbox1.sms");
    }
    EXPECT_FALSE(r);
    EXPECT_NE(r.what().find("inbox1.sms"), std::string::npos);
    EXPECT_EQ(file_contents(file), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(folders.data()), fs::directory_iterator()), 1);
}

TEST(BoxFileTest, SaveIntoAMissingFolderFailsAndSaysSo) {
    AppFolders folders;
    SmsBox box(BoxKind::Inbox);
    const Outcome r = box.save_box(u"no-such-folder/inbox1.sms");
    EXPECT_FALSE(r);
    EXPECT_FALSE(r.what().empty());
}

// Large boxes are read and written in pieces: records that cross the pieces'
// borders, and one larger than a piece, come back unchanged.
TEST(BoxFileTest, LargeBoxesSurviveSaveAndLoadAcrossPieceBorders) {
    AppFolders folders;
    SmsBox box(BoxKind::Inbox);
    for (size_t i = 0; i < 3000; ++i) {
        box.append(message(std::u16string(i % 211, static_cast<char16_t>(u'a' + i % 26)),
                           std::to_string(i), kTime + i));
    }
    box.append(message(std::u16string(300'000, u'L'), "9", kTime));
    box.append(message(u"after", "10", kTime));
    box.set_sort_column(3);
    ASSERT_TRUE(box.save_box(u"inbox1.sms"));
    EXPECT_EQ(file_contents(folders.data() / "inbox1.sms"),
              as_string(encode_box_file(3, -1, box.messages())));

    SmsBox back(BoxKind::Inbox);
    const LoadBoxResult r = back.load_box(u"inbox1.sms");
    ASSERT_EQ(r.status, LoadBoxResult::Status::Loaded);
    ASSERT_EQ(back.count(), box.count());
    EXPECT_EQ(back.sort_column(), 3);
    for (size_t i = 0; i < box.count(); ++i) {
        ASSERT_EQ(back.message_ref(i).text_view(), box.message_ref(i).text_view()) << i;
        ASSERT_EQ(back.message_ref(i).number(), box.message_ref(i).number()) << i;
        ASSERT_EQ(back.message_ref(i).time(), box.message_ref(i).time()) << i;
    }
}

TEST(BoxFileTest, TextsAreStoredUpToTheirFirstNul) {
    SmsMessage m = message(std::u16string(u"cut\0here", 8), "1", kTime);
    const std::vector<uint8_t> bytes = encode_box_file(-1, -1, std::span(&m, 1));
    const DecodedBox back = decode_box_file(bytes);
    ASSERT_EQ(back.messages.size(), 1u);
    EXPECT_EQ(back.messages[0].text_view(), u"cut");
}

TEST(SmsBoxTest, NewBoxIsEmptyAndUnsorted) {
    SmsBox box(BoxKind::SentItems);
    EXPECT_EQ(box.kind(), BoxKind::SentItems);
    EXPECT_EQ(box.count(), 0u);
    EXPECT_EQ(box.sort_column(), -1);
    EXPECT_EQ(box.sort_order(), -1);
    EXPECT_FALSE(box.has_new());
    SmsMessage untouched = message(u"keep", "1", kTime);
    EXPECT_FALSE(box.pop_new(untouched));
    EXPECT_EQ(untouched.text_view(), u"keep");
}

TEST(SmsBoxTest, AppendDoesNotQueueAndSetReadChangesOneMessage) {
    SmsBox box(BoxKind::SentItems);
    box.append(message(u"a", "1", kTime));
    box.append(message(u"b", "2", kTime));
    EXPECT_FALSE(box.has_new());
    box.set_read(1, 1);
    EXPECT_EQ(box.message_at(0).read(), 0);
    EXPECT_EQ(box.message_at(1).read(), 1);
    box.set_read(0, 1);
    EXPECT_EQ(box.message_at(1).read(), 0);
    EXPECT_THROW(box.message_at(2), std::out_of_range);
    EXPECT_THROW(box.set_read(1, 7), std::out_of_range);
}

// What the box file holds changes: the revision moves; the same value set
// again, a save or a pop from the new queue: it stays.
TEST(SmsBoxTest, EveryChangeToTheFileContentsAdvancesTheRevision) {
    AppFolders folders;
    SmsBox box(BoxKind::Inbox);
    uint64_t seen = box.revision();
    EXPECT_EQ(seen, 0u);
    auto advanced = [&] {
        const bool moved = box.revision() > seen;
        seen = box.revision();
        return moved;
    };

    EXPECT_EQ(box.load_box(u"inbox1.sms").status, LoadBoxResult::Status::Missing);
    EXPECT_FALSE(advanced());
    write_file(folders.data() / "inbox1.sms",
               preamble(kBoxHeader110, 2, 1, 1) + record110(u"x", "1", kTime, 1, 0, 1, 0));
    EXPECT_EQ(box.load_box(u"inbox1.sms").status, LoadBoxResult::Status::Loaded);
    EXPECT_TRUE(advanced());

    box.append(message(u"a", "1", kTime));
    EXPECT_TRUE(advanced());
    box.set_read(1, 0);
    EXPECT_TRUE(advanced());
    box.set_read(1, 0);
    EXPECT_FALSE(advanced());
    box.set_sort_column(3);
    EXPECT_TRUE(advanced());
    box.set_sort_column(3);
    EXPECT_FALSE(advanced());
    box.set_sort_order(-1);
    EXPECT_TRUE(advanced());
    box.set_sort_order(-1);
    EXPECT_FALSE(advanced());

    ASSERT_TRUE(box.save_box(u"inbox1.sms"));
    SmsMessage popped;
    EXPECT_FALSE(box.pop_new(popped));
    EXPECT_FALSE(advanced());
    EXPECT_THROW(box.set_read(1, 9), std::out_of_range);
    EXPECT_FALSE(advanced());
}

TEST(SmsBoxTest, FileNamesPerKind) {
    EXPECT_EQ(box_file_name(BoxKind::Inbox), u"inbox1.sms");
    EXPECT_EQ(box_file_name(BoxKind::SentItems), u"sent1.sms");
    EXPECT_EQ(box_file_name(BoxKind::DeletedItems), u"deleted1.sms");
}

}  // namespace
}  // namespace quillet
