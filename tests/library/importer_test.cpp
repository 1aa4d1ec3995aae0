// Bringing in other sources: the matcher by its rules and by a differential
// test (one history as three overlapping, re-spelled, clock-shifted sources
// merges back to exactly itself), and the import use case on real folders:
// nothing doubled, undo, a kill before the import was done.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "desktop/formats/android_backup.h"
#include "desktop/library/import_origins.h"
#include "desktop/library/importer.h"
#include "desktop/library/message_matcher.h"
#include "desktop/library/restore_to_phone.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/box_file.h"
#include "protocol/text_codec.h"
#include "tests/link/link_test_support.h"
#include "tests/store/store_test_support.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;
using Verdict = MessageMatcher::Verdict;

constexpr int64_t kT0 = 1'767'323'045'000;  // 2026-01-02T03:04:05Z in ms

SmsMessage kept(std::string_view number, std::u16string_view text, int64_t ms) {
    return test::raw_message(text, number, filetime_from_ms(ms));
}

TEST(MessageMatcherTest, TellsKeptMessagesFromNewAndPossibleDuplicates) {
    const PhoneNumbers numbers("DE");
    struct Row {
        const char* what;
        bool received;
        std::string number;
        std::u16string text;
        int64_t offset_ms;
        bool zoneless;
        Verdict expected;
    } rows[] = {
        {"same, re-spelled number", true, "01701234567", u"Hallo", 900, false, Verdict::Kept},
        {"CR LF and trailing blanks", true, "+491701234567", u"Hallo  \r\n", 0, false,
         Verdict::Kept},
        {"3 s apart", true, "+491701234567", u"Hallo", 3'000, false, Verdict::PossibleDuplicate},
        {"other text", true, "+491701234567", u"Hallo!", 0, false, Verdict::New},
        {"other direction", false, "+491701234567", u"Hallo", 0, false, Verdict::New},
        {"other person", true, "+491701234568", u"Hallo", 0, false, Verdict::New},
        {"a day and more apart", true, "+491701234567", u"Hallo", 90'000'000, false, Verdict::New},
        {"sender name, other case", true, "dhl express", u"Paket", 0, false, Verdict::Kept},
        {"no zone, an hour off", true, "+491701234567", u"Hallo", 3'600'000 + 1'000, true,
         Verdict::Kept},
        {"no zone, two fit", true, "+491701234567", u"Twice", 0, true, Verdict::PossibleDuplicate},
    };
    for (const Row& row : rows) {
        MessageMatcher matcher(numbers);
        SmsBox inbox(BoxKind::Inbox);
        inbox.append(kept("+491701234567", u"Hallo", kT0));
        inbox.append(kept("DHL Express", u"Paket", kT0));
        inbox.append(kept("+491701234567", u"Twice", kT0 + 3'600'000));
        inbox.append(kept("+491701234567", u"Twice", kT0 + 7'200'000));
        matcher.add_box(inbox);
        matcher.begin_source();
        const BoxKind box = row.received ? BoxKind::Inbox : BoxKind::SentItems;
        EXPECT_EQ(
            matcher.match(box, row.number, row.text, kT0 + row.offset_ms, row.zoneless).verdict,
            row.expected)
            << row.what;
    }
}

TEST(MessageMatcherTest, TwoAlikeInOneSourceAreTwoMessages) {
    const PhoneNumbers numbers("DE");
    MessageMatcher matcher(numbers);
    SmsBox inbox(BoxKind::Inbox);
    inbox.append(kept("+491701234567", u"ok", kT0));
    matcher.add_box(inbox);
    matcher.begin_source();
    EXPECT_EQ(matcher.match(BoxKind::Inbox, "+491701234567", u"ok", kT0, false).verdict,
              Verdict::Kept);
    EXPECT_EQ(matcher.match(BoxKind::Inbox, "+491701234567", u"ok", kT0 + 400, false).verdict,
              Verdict::New);
    // The next source holds the same one again: kept, as before.
    matcher.begin_source();
    EXPECT_EQ(matcher.match(BoxKind::Inbox, "0170 1234567", u"ok", kT0 + 300, false).verdict,
              Verdict::Kept);
}

// One random history, written out as three sources that overlap, spell the
// numbers three ways, cut times to seconds and shift clocks by half a
// second either way, merges back to exactly the history, with no possible
// duplicates. Every 50th message repeats the one before within a second:
// two alike from one person are two.
TEST(MessageMatcherTest, OverlappingSourcesOfOneHistoryMergeBackToIt) {
    const PhoneNumbers numbers("DE");
    std::mt19937 random(20261209);
    struct Original {
        bool received;
        int person;
        std::u16string text;
        int64_t ms;
    };
    std::vector<Original> history;
    const std::u16string words[] = {u"ok", u"on my way", u"see you", u"call me", u"thanks"};
    int64_t t = kT0;
    for (int i = 0; i < 3000; ++i) {
        if (i % 50 == 49) {
            Original again = history.back();
            again.ms += 600;
            history.push_back(again);
            continue;
        }
        t += std::uniform_int_distribution<int64_t>(1'000, 40'000)(random);
        history.push_back({random() % 2 == 0, static_cast<int>(random() % 20),
                           words[random() % 5] + from_utf8(" " + std::to_string(i)), t});
    }
    const auto spelled = [](int person, int way) {
        const std::string digits = "17012345" + std::to_string(10 + person);
        return way == 0 ? "+49" + digits : way == 1 ? "0" + digits : "0049 " + digits;
    };
    MessageMatcher matcher(numbers);
    size_t added = 0;
    size_t possible = 0;
    for (int source = 0; source < 3; ++source) {
        matcher.begin_source();
        for (size_t i = 0; i < history.size(); ++i) {
            // Each source holds about two thirds, overlapping the others.
            if ((i + static_cast<size_t>(source)) % 3 == 0)
                continue;
            const Original& o = history[i];
            const int64_t shift = source == 1 ? -500 : source == 2 ? 500 : 0;
            const int64_t ms = (o.ms + shift) / 1000 * 1000;
            const std::u16string text = source == 2 ? o.text + u"\r\n" : o.text;
            const std::string number = spelled(o.person, source);
            const BoxKind box = o.received ? BoxKind::Inbox : BoxKind::SentItems;
            const MessageMatcher::Result r = matcher.match(box, number, text, ms, false);
            if (r.verdict == Verdict::Kept)
                continue;
            possible += r.verdict == Verdict::PossibleDuplicate;
            matcher.add(box, kept(normalise_number(number), text, ms), {box, added}, true);
            ++added;
        }
    }
    EXPECT_EQ(added, history.size());
    EXPECT_EQ(possible, 0u);
}

// Imports of another Quillet data folder into the library's own.
class ImportFolders : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(theirs());
        fs::create_directories(ours());
        SmsBox inbox(BoxKind::Inbox), sent(BoxKind::SentItems);
        for (int i = 0; i < 5; ++i)
            inbox.append(kept("+4917012345" + std::to_string(i), u"in", kT0 + i * 60'000));
        sent.append(kept("DHL", u"out", kT0));
        ASSERT_TRUE(inbox.save_box_file(theirs() / "inbox1.sms"));
        ASSERT_TRUE(sent.save_box_file(theirs() / "sent1.sms"));
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
            library_.load_box(kind);
    }
    fs::path theirs() const { return temp_.path() / "older-pc"; }
    fs::path ours() const { return temp_.path() / "data"; }
    size_t on_disk(BoxKind kind) const {
        std::string error;
        const std::optional<DecodedBox> box =
            read_box_file(ours() / to_utf8(box_file_name(kind)), error);
        return box ? box->messages.size() : 0;
    }

    test::TempFolder temp_;
    MessageLibrary library_{ours()};
    ContactList contacts_{PhoneNumbers("DE")};
    Importer importer_{library_, &contacts_};
};

TEST_F(ImportFolders, AFolderImportsOnceAndUndoRemovesExactlyWhatItAdded) {
    const ImportRun dry = importer_.run({theirs()}, true);
    ASSERT_TRUE(dry.ok());
    EXPECT_EQ(dry.added(), 6u);
    EXPECT_EQ(library_.box(BoxKind::Inbox).count(), 0u);  // a dry run changes nothing

    const ImportRun first = importer_.run({theirs()}, false);
    ASSERT_TRUE(first.ok());
    ASSERT_EQ(first.imports.size(), 1u);
    EXPECT_EQ(first.imports[0].added, 6u);
    EXPECT_EQ(on_disk(BoxKind::Inbox), 5u);
    EXPECT_EQ(on_disk(BoxKind::SentItems), 1u);
    EXPECT_EQ(library_.box(BoxKind::Inbox).message_ref(0).on_phone(), 0);

    const ImportRun again = importer_.run({theirs()}, false);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.imports[0].added, 0u);
    EXPECT_EQ(again.imports[0].duplicates, 6u);

    // A message of our own since, and one the phone took over: undo leaves both.
    library_.box(BoxKind::Inbox).append(kept("+4930111", u"mine", kT0));
    library_.box(BoxKind::Inbox).message_ref(0);
    SmsBox& inbox = library_.box(BoxKind::Inbox);
    SmsMessage taken = inbox.message_at(0);
    taken.set_on_phone(1);
    inbox.remove_here(std::vector<size_t>{0});
    inbox.append(taken);
    const UndoReport undone = importer_.undo(first.imports[0].id);
    ASSERT_TRUE(undone.outcome.ok()) << undone.outcome.what();
    EXPECT_EQ(undone.removed, 5u);
    EXPECT_EQ(undone.kept, 1u);
    EXPECT_EQ(on_disk(BoxKind::Inbox), 2u);
    EXPECT_EQ(on_disk(BoxKind::SentItems), 0u);
    EXPECT_EQ(importer_.folder().record(first.imports[0].id)->state, ImportRecord::State::Undone);
    EXPECT_EQ(importer_.undo(first.imports[0].id).outcome.kind(), Outcome::Kind::Refused);
}

// Killed after the boxes were saved but before the import was marked done:
// the next start takes its messages out again.
TEST_F(ImportFolders, AnImportKilledBeforeItWasDoneIsUndoneAtTheNextStart) {
    const ImportRun run = importer_.run({theirs()}, false);
    ASSERT_TRUE(run.ok());
    ImportRecord record = run.imports[0];
    record.state = ImportRecord::State::Pending;
    ASSERT_TRUE(importer_.folder().save_record(record));

    MessageLibrary next(ours());
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
        next.load_box(kind);
    Importer again(next, nullptr);
    EXPECT_EQ(again.finish_interrupted(), 1u);
    EXPECT_EQ(on_disk(BoxKind::Inbox), 0u);
    EXPECT_TRUE(again.folder().records().empty());
}

// Quillet's own Android backup of a data folder, imported into an empty
// one, gives the same messages; imported again, nothing.
TEST_F(ImportFolders, OurOwnAndroidBackupImportsBackToTheSameMessages) {
    MessageLibrary older(theirs());
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
        older.load_box(kind);
    older.box(BoxKind::Inbox).append(kept("+4930123", u"two\r\nlines \U0001F600", kT0 + 7));
    const fs::path backup = temp_.path() / "backup.xml";
    ASSERT_TRUE(export_android_backup(backup,
                                      {older.box(BoxKind::Inbox), older.box(BoxKind::SentItems)},
                                      ContactList(PhoneNumbers("DE")))
                    .outcome);
    const ImportRun run = importer_.run({backup}, false);
    ASSERT_TRUE(run.ok()) << (run.failures.empty() ? "" : run.failures[0]);
    EXPECT_EQ(run.imports[0].format, "Android backup");
    // The backup lists messages by time: compared in that order.
    const auto messages = [](const SmsBox& box) {
        std::vector<std::tuple<int64_t, std::string, std::u16string>> out;
        for (const SmsMessage& m : box.messages())
            out.emplace_back(unix_ms(m.time()), m.number(), normalised_text(m.text_view()));
        std::sort(out.begin(), out.end());
        return out;
    };
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems})
        EXPECT_EQ(messages(library_.box(kind)), messages(older.box(kind)));
    EXPECT_EQ(importer_.run({backup}, false).added(), 0u);
}

// Read again, a backup keeps no picture twice: a message kept already
// saves none, and the same picture in another message is the kept file.
TEST_F(ImportFolders, PicturesAreSavedOnlyForAddedMessagesAndNeverTwice) {
    const auto mms = [&](const char* name, const char* text, const char* date) {
        const fs::path file = temp_.path() / (std::string(text) + ".xml");
        test::write_file(file, std::string("<smses count=\"1\"><mms date=\"") + date +
                                   "\" msg_box=\"1\" read=\"1\" address=\"+4930777\"><parts>"
                                   "<part seq=\"0\" ct=\"image/png\" name=\"" +
                                   name +
                                   "\" data=\"iVBORw0KGgo=\"/><part seq=\"1\" ct=\"text/plain\" "
                                   "text=\"" +
                                   text + "\"/></parts></mms></smses>");
        return file;
    };
    const fs::path look = mms("IMG.png", "Look", "1500000000000");
    const ImportRun first = importer_.run({look}, false);
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first.imports[0].attachments, 1u);
    const ImportRun again = importer_.run({look}, false);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.imports[0].added, 0u);
    EXPECT_EQ(again.imports[0].attachments, 0u);
    EXPECT_FALSE(fs::exists(importer_.folder().attachments(again.imports[0].id)));

    const ImportRun other = importer_.run({mms("same.png", "Again", "1600000000000")}, false);
    ASSERT_TRUE(other.ok());
    EXPECT_EQ(other.imports[0].attachments, 1u);
    const fs::path kept = importer_.folder().attachments(first.imports[0].id) / "IMG.png";
    const fs::path shared = importer_.folder().attachments(other.imports[0].id) / "same.png";
    EXPECT_TRUE(fs::equivalent(kept, shared));
    EXPECT_EQ(fs::hard_link_count(kept), 2u);
    // Undone, the other import's name of the picture stays whole.
    ASSERT_TRUE(importer_.undo(first.imports[0].id).ok());
    EXPECT_EQ(test::file_contents(shared), std::string("\x89PNG\r\n\x1a\n", 8));
}

// Pictures of one size are told apart by their bytes: within one import,
// equal ones are one file, and one that differs keeps its own bytes.
TEST_F(ImportFolders, PicturesOfOneSizeAreSharedOnlyWhenTheirBytesAreEqual) {
    std::string xml = "<smses count=\"3\">";
    const std::pair<const char*, const char*> pictures[] = {
        {"a.bin", "AAAAAAAAAAA="}, {"b.bin", "AAAAAAAAAAE="}, {"c.bin", "AAAAAAAAAAA="}};
    for (size_t i = 0; i < std::size(pictures); ++i) {
        xml += "<mms date=\"" + std::to_string(1500000000000 + 1000 * i) +
               "\" msg_box=\"1\" read=\"1\" address=\"+4930777\"><parts><part seq=\"0\" "
               "ct=\"application/octet-stream\" name=\"" +
               pictures[i].first + "\" data=\"" + pictures[i].second + "\"/></parts></mms>";
    }
    const fs::path file = temp_.path() / "same-size.xml";
    test::write_file(file, xml + "</smses>");
    const ImportRun run = importer_.run({file}, false);
    ASSERT_TRUE(run.ok());
    const fs::path folder = importer_.folder().attachments(run.imports[0].id);
    EXPECT_TRUE(fs::equivalent(folder / "a.bin", folder / "c.bin"));
    EXPECT_EQ(fs::hard_link_count(folder / "b.bin"), 1u);
    EXPECT_EQ(test::file_contents(folder / "b.bin"), std::string(7, '\0') + '\x01');
    EXPECT_EQ(test::file_contents(folder / "a.bin"), std::string(8, '\0'));
}

// An older PC's data folder whose messages came there by an import: that
// import comes along as one of its own here, with its file, kind and time
// and the picture its message names, and goes with the folder's undo.
TEST_F(ImportFolders, AnOlderFolderBringsItsImportsAndTheirPictures) {
    MessageLibrary older(theirs());
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
        older.load_box(kind);
    const fs::path backup = temp_.path() / "phone.xml";
    test::write_file(backup,
                     "<smses count=\"1\"><mms date=\"1500000000000\" msg_box=\"1\" read=\"1\" "
                     "address=\"+4930777\"><parts><part seq=\"0\" ct=\"image/png\" "
                     "name=\"IMG.png\" data=\"iVBORw0KGgo=\"/><part seq=\"1\" ct=\"text/plain\" "
                     "text=\"Look\"/></parts></mms></smses>");
    ASSERT_TRUE(Importer(older, nullptr).run({backup}, false).ok());

    const ImportRun run = importer_.run({theirs()}, false);
    ASSERT_TRUE(run.ok());
    ASSERT_EQ(run.imports.size(), 2u);
    EXPECT_EQ(run.imports[0].format, "Quillet folder");
    EXPECT_EQ(run.imports[0].added, 6u);
    const ImportRecord& carried = run.imports[1];
    EXPECT_EQ(carried.file, backup.string());
    EXPECT_EQ(carried.format, "Android backup");
    EXPECT_EQ(carried.part_of, run.imports[0].id);
    EXPECT_EQ(carried.added, 1u);
    EXPECT_EQ(carried.attachments, 1u);
    EXPECT_EQ(importer_.folder().record(carried.id)->part_of, run.imports[0].id);

    const SmsBox& inbox = library_.box(BoxKind::Inbox);
    const auto look =
        std::find_if(inbox.messages().begin(), inbox.messages().end(),
                     [](const SmsMessage& m) { return m.text_view().starts_with(u"Look"); });
    ASSERT_NE(look, inbox.messages().end());
    ImportOrigins origins(ours());
    const std::optional<MessageOrigin> origin = origins.origin_of(*look);
    ASSERT_TRUE(origin);
    EXPECT_EQ(origin->file, backup.string());
    const auto pictures = named_attachments(look->text_view(), origin->attachments);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(test::file_contents(pictures[0].second), std::string("\x89PNG\r\n\x1a\n", 8));

    const UndoReport undone = importer_.undo(run.imports[0].id);
    EXPECT_TRUE(undone.ok()) << undone.outcome.what();
    EXPECT_EQ(undone.removed, 7u);
    EXPECT_EQ(importer_.folder().record(carried.id)->state, ImportRecord::State::Undone);
    EXPECT_EQ(on_disk(BoxKind::Inbox), 0u);
}

TEST_F(ImportFolders, WhatCannotBeReadIsRefusedAndNothingIsKept) {
    test::write_file(temp_.path() / "notes.txt", "not a backup");
    const ImportRun run = importer_.run({temp_.path() / "notes.txt", theirs()}, false);
    EXPECT_FALSE(run.ok());
    ASSERT_EQ(run.failures.size(), 1u);
    EXPECT_NE(run.failures[0].find("not a backup Quillet can read"), std::string::npos);
    EXPECT_EQ(run.added(), 6u);  // the readable one is imported
}

// Imported, restored onto a phone and got again: the phone's copies take
// the imported messages over, which keep where they came from and their
// picture; an undo then keeps them, and the picture, and accounts for each.
TEST(ImportThenPhone, MessagesThePhoneTookOverKeepTheirOriginAndPictures) {
    test::LinkWorld world;
    const fs::path folder = world.folder() / "library";
    fs::create_directories(folder);
    MessageLibrary library(folder);
    for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
        library.load_box(kind);
    test::write_file(world.folder() / "old.xml",
                     "<smses count=\"2\"><mms date=\"1500000000123\" msg_box=\"1\" read=\"1\" "
                     "address=\"+4930777\"><parts><part seq=\"0\" ct=\"image/png\" "
                     "name=\"IMG.png\" data=\"iVBORw0K\"/><part seq=\"1\" ct=\"text/plain\" "
                     "text=\"Look\"/></parts></mms><sms address=\"0170 1234567\" "
                     "date=\"1500000001456\" type=\"2\" body=\"hi there\" read=\"1\"/></smses>");
    Importer importer(library, nullptr);
    const ImportRun run = importer.run({world.folder() / "old.xml"}, false);
    ASSERT_TRUE(run.ok());
    const int id = run.imports[0].id;

    world.phone_ok({"init"});
    SmartphoneSmsConnect link(test::quick_settings());
    ASSERT_EQ(link.init(), 0);
    ASSERT_TRUE(PhoneRestore(library, link, RestoreChoice{}).run(nullptr).outcome.ok());
    ASSERT_TRUE(library.get_sms(link, Options{}, nullptr).ok());
    ASSERT_TRUE(library.save_changed().ok());
    const SmsMessage& mms = library.box(BoxKind::Inbox).message_ref(0);
    ASSERT_EQ(mms.on_phone(), 1);
    const auto picture_of = [&] {
        ImportOrigins origins(folder);
        const std::optional<MessageOrigin> origin = origins.origin_of(mms);
        return origin ? named_attachments(mms.text_view(), origin->attachments)
                      : decltype(named_attachments(u"", {})){};
    };
    ASSERT_EQ(picture_of().size(), 1u);

    const UndoReport undone = importer.undo(id);
    EXPECT_TRUE(undone.ok()) << undone.outcome.what();
    EXPECT_EQ(undone.removed, 0u);
    EXPECT_EQ(undone.kept, 2u);
    EXPECT_EQ(library.box(BoxKind::Inbox).count(), 1u);
    ASSERT_EQ(picture_of().size(), 1u);
    EXPECT_EQ(test::file_contents(picture_of()[0].second), std::string("\x89PNG\r\n", 6));
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

// The message view opens only files of the import's own folder that the
// text names on a line of their own: never a path, a link or a missing file.
TEST(NamedAttachmentsTest, OnlyTheImportsOwnFilesNamedOnTheirOwnLine) {
    const test::TempFolder temp;
    const std::filesystem::path folder = temp.path() / "7";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "a.png") << "png";
    std::ofstream(temp.path() / "secret") << "no";
    std::filesystem::create_symlink(temp.path() / "secret", folder / "link.png");
    const auto found = named_attachments(
        u"Look\n[picture: a.png]\n[file: ../secret]\n"
        u"[picture: link.png]\nsee [picture: a.png] here\n"
        u"[file: missing.bin]",
        folder);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].first, u"a.png");
    EXPECT_EQ(found[0].second, folder / "a.png");
}

}  // namespace
}  // namespace quillet
