// What real files bring, through the import use case into a real data
// folder: a group message round trip and other tools' per-recipient
// copies, texts with a NUL undone exactly, contacts matched by number,
// recorded and undone with their names whole, and the notes a summary
// gives about the file itself, and the conflict copies of box files a
// file-sync program leaves.
#include <zip.h>

#include <gtest/gtest.h>

#include "desktop/formats/android_backup.h"
#include "desktop/library/importer.h"
#include "desktop/library/message_matcher.h"
#include "desktop/library/sync_copies.h"
#include "desktop/store/box_file.h"
#include "protocol/text_codec.h"
#include "tests/formats/iphone_backup_builder.h"
#include "tests/formats/pim_backup_builder.h"
#include "tests/store/store_test_support.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;

constexpr int64_t kT0 = 1'767'323'045'000;  // 2026-01-02T03:04:05Z in ms

class ImportSources : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(data());
        load(library_);
    }
    static void load(MessageLibrary& library) {
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
            library.load_box(kind);
    }
    fs::path data() const { return temp_.path() / "data"; }
    fs::path file(const std::string& name, std::string_view bytes) const {
        test::write_file(temp_.path() / name, bytes);
        return temp_.path() / name;
    }
    // A PIM Backup .pib whose messages list holds `lines`.
    fs::path pim_backup(const std::string& lines) const {
        const std::string csm = test::pim_csm(lines);
        const fs::path pib = temp_.path() / "backup.pib";
        int error = 0;
        zip_t* archive = zip_open(pib.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        EXPECT_NE(archive, nullptr);
        zip_file_add(archive, "msgs_0.csm", zip_source_buffer(archive, csm.data(), csm.size(), 0),
                     0);
        EXPECT_EQ(zip_close(archive), 0);
        return pib;
    }
    std::vector<std::u16string> texts(BoxKind kind) const {
        std::string error;
        const std::optional<DecodedBox> box =
            read_box_file(data() / to_utf8(box_file_name(kind)), error);
        std::vector<std::u16string> out;
        for (const SmsMessage& m : box ? box->messages : std::vector<SmsMessage>())
            out.emplace_back(m.text_view());
        return out;
    }

    test::TempFolder temp_;
    MessageLibrary library_{data()};
    ContactList contacts_{PhoneNumbers("DE")};
    Importer importer_{library_, &contacts_};
};

std::string sms(std::string_view address, int64_t ms, std::string_view type,
                std::string_view body) {
    return "<sms address=\"" + std::string(address) + "\" date=\"" + std::to_string(ms) +
           "\" type=\"" + std::string(type) + "\" body=\"" + std::string(body) +
           "\" read=\"1\"/>\n";
}

std::string backup(const std::string& body, std::string_view count = "") {
    return "<?xml version='1.0' encoding='UTF-8'?>\n<smses" +
           (count.empty() ? "" : " count=\"" + std::string(count) + "\"") + ">\n" + body +
           "</smses>\n";
}

// Our own export of a group message comes back as that one message; copies
// written one per recipient by another tool are that message too.
TEST_F(ImportSources, AGroupMessageRoundTripsAndPerRecipientCopiesMatchIt) {
    SmsBox sent(BoxKind::SentItems);
    sent.append(
        test::raw_message(u"to all of you", "+491701111111;+491702222222", filetime_from_ms(kT0)));
    const fs::path ours = temp_.path() / "ours.xml";
    ASSERT_TRUE(
        export_android_backup(ours, {SmsBox(BoxKind::Inbox), sent}, ContactList(PhoneNumbers("DE")))
            .outcome);
    const ImportRun first = importer_.run({ours}, false);
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first.imports[0].added, 1u);
    EXPECT_EQ(library_.box(BoxKind::SentItems).message_ref(0).number(),
              "+491701111111;+491702222222");
    EXPECT_EQ(importer_.run({ours}, false).imports[0].duplicates, 1u);

    const fs::path theirs =
        file("theirs.xml", backup(sms("0170 1111111", kT0 + 1000, "2", "to all of you") +
                                  sms("+49 170 2222222", kT0 + 1000, "2", "to all of you")));
    const ImportRun copies = importer_.run({theirs}, false);
    ASSERT_TRUE(copies.ok());
    EXPECT_EQ(copies.imports[0].added, 0u);
    EXPECT_EQ(copies.imports[0].duplicates, 2u);
    EXPECT_EQ(library_.box(BoxKind::SentItems).count(), 1u);

    // Against the phone, one kept message stays one phone message.
    MessageMatcher phone(contacts_.phone_numbers());
    phone.add_box(library_.box(BoxKind::SentItems));
    phone.begin_source();
    EXPECT_NE(
        phone.match(BoxKind::SentItems, "+491701111111", u"to all of you", kT0, false).verdict,
        MessageMatcher::Verdict::Kept);
}

// A Gammu text holding a NUL: the box keeps it whole (as U+FFFD), a second
// import finds it kept, and undo removes exactly it.
TEST_F(ImportSources, ATextWithANulIsKeptMatchedAndUndoneAsOne) {
    const fs::path gammu =
        file("nul.smsbackup",
             "[SMSBackup000]\nNumber = \"+491701234567\"\nDateTime = 20260102T030405Z\n"
             "PDU = Deliver\nText00 = 00410000000100420043\n");
    const ImportRun first = importer_.run({gammu}, false);
    ASSERT_TRUE(first.ok());
    ASSERT_EQ(texts(BoxKind::Inbox), std::vector<std::u16string>{u"A\uFFFD\u0001BC"});
    EXPECT_EQ(first.imports[0].problems,
              std::vector<std::string>{"1 characters could not be read as written and were "
                                       "replaced by \xEF\xBF\xBD"});
    MessageLibrary reloaded(data());
    load(reloaded);
    Importer again(reloaded, nullptr);
    EXPECT_EQ(again.run({gammu}, false).imports[0].duplicates, 1u);
    const UndoReport undone = again.undo(first.imports[0].id);
    EXPECT_EQ(undone.removed, 1u);
    EXPECT_TRUE(texts(BoxKind::Inbox).empty());
}

// A sync program's copy of a box, read as the box its name starts with:
// found by its name, imported once, undone as any import.
TEST_F(ImportSources, ConflictCopiesOfTheBoxesAreFoundImportedAndUndone) {
    const std::vector<SmsMessage> there{test::message(u"only there", "+492", 134'000'000'000)};
    const std::vector<uint8_t> bytes = encode_box_file(-1, -1, there);
    const std::string box(bytes.begin(), bytes.end());
    struct Name {
        const char* name;
        bool copy;
    };
    for (const Name n :
         {Name{"sent1.sync-conflict-20261210-101010-ABCDEFG.sms", true},
          Name{"inbox1 (conflicted copy 2026-12-10 101010).sms", true},
          Name{"deleted1_conflict-20261210-101010.sms", true},
          Name{"Inbox1 (Ben's conflicted copy).SMS", true}, Name{"inbox1.sms", false},
          Name{"inbox1.sms.bak", false}, Name{"notes (conflicted copy).txt", false}}) {
        test::write_file(data() / n.name, box);
    }
    const std::vector<fs::path> copies = box_conflict_copies(data());
    std::vector<std::string> names;
    for (const fs::path& p : copies)
        names.push_back(p.filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{"Inbox1 (Ben's conflicted copy).SMS",
                                               "deleted1_conflict-20261210-101010.sms",
                                               "inbox1 (conflicted copy 2026-12-10 101010).sms",
                                               "sent1.sync-conflict-20261210-101010-ABCDEFG.sms"}));

    const fs::path sent_copy = data() / "sent1.sync-conflict-20261210-101010-ABCDEFG.sms";
    EXPECT_EQ(detect_format(sent_copy), ImportFormat::QuilletBox);
    const ImportRun run = importer_.run({sent_copy}, false);
    ASSERT_TRUE(run.ok());
    EXPECT_EQ(texts(BoxKind::SentItems), std::vector<std::u16string>{u"only there"});
    EXPECT_EQ(not_imported(copies, importer_.folder()).size(), 3u);
    EXPECT_EQ(importer_.undo(run.imports[0].id).removed, 1u);
    EXPECT_TRUE(texts(BoxKind::SentItems).empty());
    EXPECT_EQ(not_imported(copies, importer_.folder()).size(), 3u);  // undone on purpose
}

TEST_F(ImportSources, ASyncFolderIsToldByTheMarksItsProgramLeaves) {
    const fs::path inner = temp_.path() / "synced" / "a" / "quillet";
    fs::create_directories(inner);
    EXPECT_EQ(sync_service_of(inner), SyncService::None);
    struct Mark {
        const char* path;  // under "synced"
        bool folder;
        SyncService service;
    };
    for (const Mark m : {Mark{".stfolder", true, SyncService::Syncthing},
                         Mark{"._sync_0a1b2c.db", false, SyncService::Nextcloud},
                         Mark{".sync_0a1b2c.db", false, SyncService::Nextcloud},
                         Mark{".dropbox", false, SyncService::Dropbox},
                         Mark{"a/.dropbox.cache", true, SyncService::Dropbox}}) {
        SCOPED_TRACE(m.path);
        const fs::path mark = temp_.path() / "synced" / m.path;
        if (m.folder)
            fs::create_directory(mark);
        else
            test::write_file(mark, "");
        EXPECT_EQ(sync_service_of(inner), m.service);
        fs::remove_all(mark);
    }
}

// A vCard import adds only numbers the list does not know in any spelling,
// keeps names outside Windows-1252 whole beside the contacts file, records
// what it added and undoes exactly that.
TEST_F(ImportSources, ContactsAreMatchedByNumberRecordedAndUndone) {
    contacts_.append(make_contact("Doe,John", "+491701111111"));
    ASSERT_TRUE(contacts_.save_contacts(from_utf8((data() / "contacts.sql").string())));
    const fs::path cards =
        file("cards.vcf",
             "BEGIN:VCARD\nFN:John Doe\nTEL;CELL:0170 1111111\nEND:VCARD\n"
             "BEGIN:VCARD\nFN:\xD0\x9F\xD0\x9E\xD0\xA0\xD0\x9A\xD0\xA1\nTEL;HOME:+49 30 123456\n"
             "TEL;FAX:+49 30 123457\nEND:VCARD\n"
             "BEGIN:VCARD\nFN:Zden\xC4\x9Bk\nTEL:030 123456\nEND:VCARD\n"
             "BEGIN:VCARD\nFN:No Number\nEMAIL:x@y\nEND:VCARD\n");
    const ImportRun run = importer_.run({cards}, false);
    ASSERT_TRUE(run.ok()) << (run.failures.empty() ? "" : run.failures[0]);
    EXPECT_EQ(run.contacts_added, 2u);
    EXPECT_EQ(run.imports[0].contacts, 2u);
    EXPECT_EQ(run.imports[0].skipped, (std::vector<std::pair<std::string, size_t>>{
                                          {"a contact card without a phone number", 1},
                                          {"a number the contact list already holds", 2}}));
    const ImportRun again = importer_.run({cards}, false);
    EXPECT_EQ(again.contacts_added, 0u);
    EXPECT_EQ(again.imports[0].skipped_count(), 5u);

    // Read back from disk as the next start reads it.
    ContactList loaded(PhoneNumbers("DE"));
    loaded.load_contacts_file(data() / "contacts.sql");
    ASSERT_EQ(loaded.count(), 3u);
    EXPECT_EQ(loaded.name_for_number("+4930123456"), u"\u041F\u041E\u0420\u041A\u0421");
    EXPECT_EQ(loaded.name_for_number("+4930123457"), u"\u041F\u041E\u0420\u041A\u0421");
    EXPECT_EQ(text_field(loaded.contacts()[1].name), "?????");  // older readers' field

    const UndoReport undone = importer_.undo(run.imports[0].id);
    ASSERT_TRUE(undone.outcome) << undone.outcome.what();
    EXPECT_EQ(undone.contacts_removed, 2u);
    ContactList after(PhoneNumbers("DE"));
    after.load_contacts_file(data() / "contacts.sql");
    ASSERT_EQ(after.count(), 1u);
    EXPECT_EQ(text_field(after.contacts()[0].name), "Doe,John");
    EXPECT_FALSE(fs::exists(data() / "contacts.names"));
}

// What the file itself says is set against what it holds, and characters
// that had to be replaced are counted, never silently.
TEST_F(ImportSources, TheSummaryTellsWhatTheFileHeld) {
    const struct {
        const char* what;
        std::string file;
        std::vector<std::string> problems;
    } cases[] = {
        {"count agrees, a draft skipped",
         backup(sms("1", kT0, "1", "a") + sms("1", kT0, "3", "draft"), "2"),
         {}},
        {"count too high",
         backup(sms("2", kT0, "1", "a") + sms("2", kT0 + 5000, "1", "b"), "20"),
         {"the file announces 20 messages but holds 2"}},
        {"a lone surrogate",
         backup(sms("3", kT0, "1", "x&#55357;y")),
         {"1 characters could not be read as written and were replaced by \xEF\xBF\xBD"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ImportRun run =
            importer_.run({file("s" + std::to_string(++n) + ".xml", c.file)}, true);
        ASSERT_TRUE(run.ok());
        EXPECT_EQ(run.imports[0].problems, c.problems);
    }
}

// An iPhone backup and the Android backup of the same conversation after a
// phone change merge to one copy each; the Android copy of an iPhone
// reaction stays, as the iPhone's own backup has no text for it. The
// backup's attachment and names come along, and undo takes them back.
TEST_F(ImportSources, AnIphoneBackupMergesWithTheAndroidCopyAndIsUndone) {
    constexpr int64_t kApple = kT0 / 1000 - 978'307'200;
    test::BackupFolder iphone(temp_.path() / "iphone");
    {
        test::TestDb db(temp_.path() / "sms.db");
        db.exec(std::string(test::kSmsEras[2].message_table) + ";" + test::kSmsTables);
        db.exec(
            "INSERT INTO handle (id) VALUES ('+491701111111');"
            "INSERT INTO message (guid, text, handle_id, is_from_me, is_read, date) VALUES "
            "('a', 'See you', 1, 0, 1, " +
            std::to_string(kApple * 1'000'000'000) +
            "), "
            "('b', NULL, 1, 1, 1, " +
            std::to_string(kApple + 60) +
            "), "
            "('c', NULL, 1, 0, 1, " +
            std::to_string(kApple + 90) +
            ");"
            "UPDATE message SET associated_message_type = 2000 WHERE guid = 'c';"
            "INSERT INTO attachment (filename, mime_type) VALUES "
            "('~/Library/SMS/Attachments/x/IMG_7.heic', 'image/heic');"
            "INSERT INTO message_attachment_join (message_id, attachment_id) VALUES (2, 1)");
        db.exec_with_blob("UPDATE message SET attributedBody = ?1 WHERE guid = 'b'",
                          test::typedstream("On my way \xF0\x9F\x9A\x97\xEF\xBF\xBC"));
    }
    iphone.add_file("HomeDomain", "Library/SMS/sms.db", test::read_file(temp_.path() / "sms.db"));
    iphone.add_file("MediaDomain", "Library/SMS/Attachments/x/IMG_7.heic", "HEIC");
    {
        test::TestDb db(temp_.path() / "ab.db");
        db.exec(
            "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY, First TEXT, Last TEXT);"
            "CREATE TABLE ABMultiValue (record_id INTEGER, property INTEGER, value TEXT);"
            "INSERT INTO ABPerson VALUES (1, 'Ann', 'Lee');"
            "INSERT INTO ABMultiValue VALUES (1, 3, '0170 1111111')");
    }
    iphone.add_file("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb",
                    test::read_file(temp_.path() / "ab.db"));
    const fs::path android =
        file("android.xml",
             backup(sms("+491701111111", kT0, "1", "See you") +
                    sms("+491701111111", kT0 + 90'000, "1", "Liked &#8220;See you&#8221;")));

    const ImportRun run = importer_.run({iphone.path()}, false);
    ASSERT_TRUE(run.ok()) << (run.failures.empty() ? run.outcome.what() : run.failures[0]);
    EXPECT_EQ(run.imports[0].format, "iPhone backup");
    EXPECT_EQ(run.imports[0].added, 2u);
    EXPECT_EQ(run.imports[0].skipped,
              (std::vector<std::pair<std::string, size_t>>{{"a reaction", 1}}));
    EXPECT_EQ(run.contacts_added, 1u);
    EXPECT_EQ(contacts_.name_for_number("+491701111111"), u"Ann Lee");
    EXPECT_EQ(texts(BoxKind::SentItems),
              (std::vector<std::u16string>{u"On my way \U0001F697\n[picture: IMG_7.heic]"}));
    EXPECT_EQ(importer_.run({iphone.path()}, false).imports[0].duplicates, 2u);

    const ImportRun other = importer_.run({android}, false);
    ASSERT_TRUE(other.ok());
    EXPECT_EQ(other.imports[0].added, 1u);
    EXPECT_EQ(other.imports[0].duplicates, 1u);

    const UndoReport undone = importer_.undo(run.imports[0].id);
    ASSERT_TRUE(undone.ok()) << undone.outcome.what();
    EXPECT_EQ(undone.removed, 2u);
    EXPECT_EQ(undone.contacts_removed, 1u);
    EXPECT_TRUE(texts(BoxKind::SentItems).empty());
    EXPECT_EQ(texts(BoxKind::Inbox), (std::vector<std::u16string>{u"Liked \u201CSee you\u201D"}));
}

// A PIM Backup's zoneless times match the Android copy of the same text
// taken two hours ahead; its e-mails are counted; a dry run keeps nothing
// and undo takes out exactly what it added.
TEST_F(ImportSources, APimBackupMatchesAtItsZoneCountsMailsAndIsUndone) {
    const fs::path android = file("android.xml", backup(sms("+491701111111", kT0, "1", "Hi")));
    ASSERT_TRUE(importer_.run({android}, false).ok());
    // 2026-01-02 05:04:05 on a phone two hours ahead of UTC.
    const std::string lines =
        test::pim_line(
            test::pim_row("0170 1111111", "Hi").with(&test::PimRow::time, "2026,01,02,05,04,05")) +
        "\r\n" +
        test::pim_line(test::pim_row("", "Back soon")
                           .with(&test::PimRow::folder, "\\\\%MDF3")
                           .with(&test::PimRow::recipients_nbr, "1")
                           .with(&test::PimRow::recipients, "\"0;Ann;+491701111111;1\"")) +
        "\r\n" +
        test::pim_line(
            test::pim_row("ann@example.org", "Mail").with(&test::PimRow::kind, "IPM.Note"));
    const fs::path pib = pim_backup(lines);

    const ImportRun dry = importer_.run({pib}, true);
    ASSERT_TRUE(dry.ok()) << (dry.failures.empty() ? dry.outcome.what() : dry.failures[0]);
    EXPECT_EQ(dry.imports[0].added, 1u);
    EXPECT_TRUE(texts(BoxKind::SentItems).empty());

    const ImportRun run = importer_.run({pib}, false);
    ASSERT_TRUE(run.ok());
    EXPECT_EQ(run.imports[0].format, "PIM Backup");
    EXPECT_EQ(run.imports[0].added, 1u);
    EXPECT_EQ(run.imports[0].duplicates, 1u);
    EXPECT_EQ(run.imports[0].skipped,
              (std::vector<std::pair<std::string, size_t>>{{"an e-mail", 1}}));
    EXPECT_EQ(texts(BoxKind::SentItems), std::vector<std::u16string>{u"Back soon"});
    EXPECT_EQ(texts(BoxKind::Inbox), std::vector<std::u16string>{u"Hi"});

    ASSERT_TRUE(importer_.undo(run.imports[0].id).ok());
    EXPECT_TRUE(texts(BoxKind::SentItems).empty());
    EXPECT_EQ(texts(BoxKind::Inbox), std::vector<std::u16string>{u"Hi"});
}

// SMS Backup+ mail of the same conversation as an Android backup: the
// SMS (milliseconds) is kept already, the MMS (seconds) comes with its
// picture; undo takes out the MMS and its picture.
TEST_F(ImportSources, AnMboxMergesWithTheAndroidCopyAndIsUndone) {
    ASSERT_TRUE(
        importer_.run({file("android.xml", backup(sms("+491701111111", kT0, "1", "Hi")))}, false)
            .ok());
    const auto mail = [](std::string_view type, std::string_view direction, int64_t date,
                         std::string_view rest) {
        return "From 1@xxx Fri Jan 02 03:04:05 2026\nX-smssync-datatype: " + std::string(type) +
               "\nX-smssync-address: 0170 1111111\nX-smssync-type: " + std::string(direction) +
               "\nX-smssync-date: " + std::to_string(date) + "\n" + std::string(rest) + "\n";
    };
    const fs::path mbox = file(
        "takeout.mbox",
        mail("SMS", "1", kT0, "Content-Type: text/plain; charset=utf-8\n\nHi") +
            mail("MMS", "128", kT0 / 1000 + 60,
                 "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\n"
                 "Look\n--b\nContent-Type: image/png; name=\"dog.png\"\n"
                 "Content-Transfer-Encoding: base64\n\nUE5H\n--b--"));

    const ImportRun run = importer_.run({mbox}, false);
    ASSERT_TRUE(run.ok()) << (run.failures.empty() ? run.outcome.what() : run.failures[0]);
    EXPECT_EQ(run.imports[0].format, "SMS Backup+ mail");
    EXPECT_EQ(run.imports[0].added, 1u);
    EXPECT_EQ(run.imports[0].duplicates, 1u);
    EXPECT_EQ(run.imports[0].attachments, 1u);
    EXPECT_EQ(texts(BoxKind::SentItems), std::vector<std::u16string>{u"Look\n[picture: dog.png]"});
    EXPECT_EQ(test::read_file(importer_.folder().attachments(run.imports[0].id) / "dog.png"),
              "PNG");

    ASSERT_TRUE(importer_.undo(run.imports[0].id).ok());
    EXPECT_TRUE(texts(BoxKind::SentItems).empty());
    EXPECT_FALSE(fs::exists(importer_.folder().attachments(run.imports[0].id) / "dog.png"));
}

// The same 3,000 messages of 30 people, written by hand as an Android
// backup, an iPhone backup (a third of the texts only in attributedBody),
// SMS Backup+ mail, a PIM Backup and a Windows Phone backup (both zoneless,
// the PIM Backup in whole seconds), each number spelled differently: they
// merge to exactly 3,000, whichever comes first.
TEST_F(ImportSources, TheSameMessagesFromFiveSourcesMergeToOneEach) {
    constexpr int kCount = 3000;
    const auto when = [](int i) { return kT0 + int64_t{i} * 61'001; };
    const auto text = [](int i) { return "Message " + std::to_string(i) + " \xE2\x9C\x93"; };
    const auto number = [](int i) { return std::to_string(1'000'000 + i % 30); };
    std::string android, mbox, pim, wp;
    test::BackupFolder iphone(temp_.path() / "iphone");
    {
        test::TestDb db(iphone.add("HomeDomain", "Library/SMS/sms.db"));
        db.exec(std::string(test::kSmsEras[2].message_table) + ";" + test::kSmsTables + ";BEGIN");
        for (int p = 0; p < 30; ++p)
            db.exec("INSERT INTO handle (id) VALUES ('+49170" + number(p) + "')");
        for (int i = 0; i < kCount; ++i) {
            const bool received = i % 2 == 0;
            const std::string ns = std::to_string((when(i) - 978'307'200'000) * 1'000'000);
            db.exec(
                "INSERT INTO message (guid, text, handle_id, is_from_me, is_read, date) "
                "VALUES ('g" +
                std::to_string(i) + "', " + (i % 3 == 0 ? "NULL" : "'" + text(i) + "'") + ", " +
                std::to_string(i % 30 + 1) + ", " + (received ? "0" : "1") + ", 1, " + ns + ")");
            if (i % 3 == 0)
                db.exec_with_blob("UPDATE message SET attributedBody = ?1 WHERE guid = 'g" +
                                      std::to_string(i) + "'",
                                  test::typedstream(text(i)));
            android += sms("+49170" + number(i), when(i), received ? "1" : "2", text(i));
            mbox +=
                "From x@y Fri Jan 02 03:04:05 2026\nX-smssync-datatype: SMS\n"
                "X-smssync-address: 0170" +
                number(i) + "\nX-smssync-type: " + (received ? "1" : "2") +
                "\nX-smssync-date: " + std::to_string(when(i)) +
                "\nContent-Type: text/plain; charset=utf-8\n\n" + text(i) + "\n\n";
            const std::time_t seconds = when(i) / 1000;
            std::tm utc{};
            gmtime_r(&seconds, &utc);
            char wall[32];
            std::strftime(wall, sizeof wall, "%Y,%m,%d,%H,%M,%S", &utc);
            test::PimRow row = test::pim_row(received ? "0049170" + number(i) : "", text(i))
                                   .with(&test::PimRow::time, wall);
            if (!received) {
                row = row.with(&test::PimRow::folder, "\\\\%MDF3")
                          .with(&test::PimRow::recipients_nbr, "1")
                          .with(&test::PimRow::recipients, "\"0;;0049170" + number(i) + ";1\"");
            }
            pim += test::pim_line(row) + "\r\n";
            const std::string ticks = std::to_string((when(i) + 11'644'473'600'000) * 10'000);
            wp += "<Message><Recepients>" +
                  (received ? "" : "<string>+49 170 " + number(i) + "</string>") +
                  "</Recepients><Body>" + text(i) + "</Body><IsIncoming>" +
                  (received ? "true" : "false") + "</IsIncoming><Sender>" +
                  (received ? "+49 170 " + number(i) : "") + "</Sender><LocalTimestamp>" + ticks +
                  "</LocalTimestamp></Message>\n";
        }
        db.exec("COMMIT");
    }
    const fs::path pib = pim_backup(pim);
    const std::vector<fs::path> sources = {
        file("backup.mbox", mbox), iphone.path(), file("android.xml", backup(android)), pib,
        file("phone.msg",
             "<?xml version=\"1.0\"?>\n<ArrayOfMessage>\n" + wp + "</ArrayOfMessage>")};

    for (size_t n = 0; n < sources.size(); ++n) {
        SCOPED_TRACE(sources[n].filename().string());
        const ImportRun run = importer_.run({sources[n]}, false);
        ASSERT_TRUE(run.ok()) << (run.failures.empty() ? run.outcome.what() : run.failures[0]);
        EXPECT_EQ(run.imports[0].added, n == 0 ? size_t{kCount} : 0u);
        EXPECT_EQ(run.imports[0].duplicates, n == 0 ? 0u : size_t{kCount});
        EXPECT_EQ(run.imports[0].skipped_count(), 0u);
    }
    EXPECT_EQ(texts(BoxKind::Inbox).size() + texts(BoxKind::SentItems).size(), size_t{kCount});
}

}  // namespace
}  // namespace quillet
