// The iPhone backup reader on folders the tests build: an sms.db of each
// iOS era with a group chat, an e-mail correspondent, reactions, an
// attachment and attributedBody-only texts; the address book; backups it
// must refuse, and hostile manifests and blobs.
#include <gtest/gtest.h>

#include "desktop/formats/iphone_import.h"
#include "import_test_support.h"
#include "iphone_backup_builder.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;
using namespace quillet::test;

constexpr int64_t kApple = 800'000'000;  // seconds since 2001
constexpr int64_t kUnixMs = kApple * 1000 + 978'307'200'000;
const std::string kLong = "Привет 👋 こんにちは " + std::string(150, 'x');

struct Read {
    RecordingSink sink;
    MemoryAttachments attachments;
    std::vector<ImportedContact> contacts;
    ReadReport read;
};

Read read(const fs::path& folder) {
    Read r;
    r.read = read_iphone_backup(folder, r.sink, r.attachments, r.contacts);
    return r;
}

// One conversation, a group chat, a mail correspondent and what is no
// message, in the schema of `era`.
void write_messages(BackupFolder& backup, const SmsEra& era) {
    TempFolder temp;
    {
        TestDb db(temp.path() / "sms.db");
        db.exec(std::string(era.message_table) + ";" + kSmsTables);
        db.exec(
            "INSERT INTO handle (id, service) VALUES ('+491701111111', 'SMS'), "
            "('ann@example.org', 'iMessage'), ('+491702222222', 'iMessage');"
            "INSERT INTO chat (style) VALUES (45), (43);"
            "INSERT INTO chat_handle_join VALUES (1, 1), (2, 1), (2, 3);");
        const std::string date = std::to_string(era.nanoseconds ? kApple * 1'000'000'000 : kApple);
        const auto message = [&](const std::string& guid, const std::string& text, int handle,
                                 int from_me, int read, int associated = 0, int item = 0) {
            db.exec(
                "INSERT INTO message (guid, text, handle_id, service, is_from_me, is_read, "
                "date, associated_message_type, item_type) VALUES ('" +
                guid + "', " + text + ", " + std::to_string(handle) + ", 'iMessage', " +
                std::to_string(from_me) + ", " + std::to_string(read) + ", " + date + ", " +
                std::to_string(associated) + ", " + std::to_string(item) + ")");
        };
        message("g1", "'Hello'", 1, 0, 1);
        message("g2", "'Mail me'", 2, 1, 1);
        message("g3", "'To all'", 0, 1, 1);
        message("g4", "'Liked \"Hello\"'", 1, 0, 1, 2001);
        message("g5", "NULL", 1, 0, 1, 1000);
        message("g6", "NULL", 1, 0, 1, 0, 1);
        message("g1", "'Hello'", 1, 0, 1);
        message("g8", "'\xEF\xBF\xBC'", 1, 0, 1);
        message("g9", "NULL", 3, 0, 0);
        message("g10", "NULL", 3, 0, 1);
        db.exec(
            "INSERT INTO chat_message_join VALUES (1, 1), (2, 3), (1, 8), (2, 9);"
            "INSERT INTO attachment (filename, mime_type, transfer_name) VALUES "
            "('~/Library/SMS/Attachments/ab/IMG_1.jpg', 'image/jpeg', 'IMG_1.jpg'), "
            "('~/Library/SMS/Attachments/cd/gone.mov', 'video/quicktime', 'gone.mov');"
            "INSERT INTO message_attachment_join (message_id, attachment_id) VALUES (8, 1), "
            "(8, 2);");
        db.exec_with_blob("UPDATE message SET attributedBody = ?1 WHERE guid = 'g9'",
                          typedstream(kLong));
        db.exec_with_blob("UPDATE message SET attributedBody = ?1 WHERE guid = 'g10'",
                          typedstream(kLong).substr(0, 40));
    }
    backup.add_file("HomeDomain", "Library/SMS/sms.db", read_file(temp.path() / "sms.db"));
    backup.add_file("MediaDomain", "Library/SMS/Attachments/ab/IMG_1.jpg", "JPEGBYTES");
}

TEST(IphoneImport, ReadsTheMessagesOfEachEra) {
    for (const SmsEra& era : kSmsEras) {
        SCOPED_TRACE(era.name);
        TempFolder temp;
        BackupFolder backup(temp.path() / "00008030-001A");
        write_messages(backup, era);
        const Read r = read(backup.path());
        ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
        const struct {
            bool received, read;
            const char* address;
            std::string text;
        } expected[] = {
            {true, true, "+491701111111", "Hello"},
            {false, true, "ann@example.org", "Mail me"},
            {false, true, "+491701111111;+491702222222", "To all"},
            {true, true, "+491701111111",
             "[picture: IMG_1.jpg]\n[video: gone.mov, not in the backup]"},
            {true, false, "+491702222222;+491701111111", kLong},
        };
        ASSERT_EQ(r.sink.messages.size(), std::size(expected));
        for (size_t i = 0; i < std::size(expected); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(r.sink.messages[i].received, expected[i].received);
            EXPECT_EQ(r.sink.messages[i].read, expected[i].read);
            EXPECT_EQ(r.sink.messages[i].address, expected[i].address);
            EXPECT_EQ(r.sink.text(i), expected[i].text);
            EXPECT_EQ(r.sink.messages[i].time_ms, kUnixMs);
        }
        EXPECT_EQ(r.attachments.files.at("IMG_1.jpg"), "JPEGBYTES");
        EXPECT_EQ(r.sink.skips,
                  (std::vector<std::string>{
                      "a reaction", "a sticker", "a group event (a member or the name changed)",
                      "the same message twice in the database",
                      "a message whose text is damaged (its attributedBody cannot "
                      "be read)"}));
    }
}

TEST(IphoneImport, TakesNamesFromTheAddressBook) {
    TempFolder temp;
    BackupFolder backup(temp.path() / "b");
    write_messages(backup, kSmsEras[2]);
    {
        TestDb db(temp.path() / "ab.sqlitedb");
        db.exec(
            "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY, First TEXT, Last TEXT, "
            "Organization TEXT);"
            "CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, "
            "property INTEGER, value TEXT);"
            "INSERT INTO ABPerson VALUES (1, 'Ben', 'Okafor', NULL), (2, NULL, NULL, 'Bakery'),"
            " (3, NULL, NULL, NULL);"
            "INSERT INTO ABMultiValue (record_id, property, value) VALUES "
            "(1, 3, '+49 170 1111111'), (1, 4, 'ben@example.org'), (1, 3, '0170 2222222'), "
            "(2, 3, '030 123456'), (3, 3, '0800 1')");
    }
    backup.add_file("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb",
                    read_file(temp.path() / "ab.sqlitedb"));
    const Read r = read(backup.path());
    ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
    ASSERT_EQ(r.contacts.size(), 2u);
    EXPECT_EQ(r.contacts[0].name, "Ben Okafor");
    EXPECT_EQ(r.contacts[0].numbers, (std::vector<std::string>{"+49 170 1111111", "0170 2222222"}));
    EXPECT_EQ(r.contacts[1].name, "Bakery");
}

// Each refusal says what the folder is and what to do.
TEST(IphoneImport, RefusesWhatItCannotReadAndSaysWhy) {
    // A binary property list: a dictionary {IsEncrypted: true}.
    std::string bplist("bplist00\xD1\x01\x02\x5BIsEncrypted\x09\x08\x0B\x17", 27);
    bplist += std::string(6, '\0') + "\x01\x01" + std::string(7, '\0') + "\x03" +
              std::string(8, '\0') + std::string(7, '\0') + "\x18";
    const struct {
        const char* what;
        std::function<void(const fs::path&)> make;
        const char* said;
    } cases[] = {
        {"encrypted (XML)",
         [](const fs::path& f) {
             BackupFolder b(f);
             write_file(f / "Manifest.plist",
                        "<plist><dict><key>IsEncrypted</key> <true/></dict></plist>");
         },
         "Make an unencrypted backup"},
        {"encrypted (binary)",
         [&](const fs::path& f) {
             BackupFolder b(f);
             write_file(f / "Manifest.plist", bplist);
         },
         "Make an unencrypted backup"},
        {"encrypted manifest without plist",
         [](const fs::path& f) {
             fs::create_directories(f);
             write_file(f / "Manifest.db", std::string(4096, '\x5A'));
         },
         "Make an unencrypted backup"},
        {"before iOS 10",
         [](const fs::path& f) {
             fs::create_directories(f);
             write_file(f / "Manifest.mbdb", "mbdb\x05\x00");
             write_file(f / "Info.plist", "<plist/>");
         },
         "older than iOS 10"},
        {"no messages", [](const fs::path& f) { BackupFolder b(f); }, "without messages"},
        {"no manifest",
         [](const fs::path& f) {
             fs::create_directories(f);
             write_file(f / "Info.plist", "<plist/>");
         },
         "without its Manifest.db"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        c.make(temp.path() / "b");
        EXPECT_EQ(detect_format(temp.path() / "b"), ImportFormat::IphoneBackup);
        const Read r = read(temp.path() / "b");
        EXPECT_EQ(r.read.outcome.kind(), Outcome::Kind::BadInput);
        EXPECT_NE(r.read.outcome.what().find(c.said), std::string::npos) << r.read.outcome.what();
        EXPECT_TRUE(r.sink.messages.empty());
    }
    TempFolder plain;
    EXPECT_EQ(detect_format(plain.path()), ImportFormat::Unknown);
}

// A manifest that names files outside the folder, by path or through a
// link, is not followed; the attachment is named as not in the backup.
TEST(IphoneImport, NeverFollowsTheManifestOutOfTheFolder) {
    TempFolder temp;
    write_file(temp.path() / "secret.jpg", "SECRET");
    BackupFolder backup(temp.path() / "b");
    write_messages(backup, kSmsEras[1]);
    backup.list("MediaDomain", "Library/SMS/Attachments/cd/gone.mov", "../../secret.jpg");
    fs::create_symlink(temp.path() / "secret.jpg",
                       backup.add("MediaDomain", "Library/SMS/Attachments/cd/gone.mov"));
    const Read r = read(backup.path());
    ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
    EXPECT_EQ(r.attachments.files.size(), 1u);
    EXPECT_EQ(r.sink.text(3), "[picture: IMG_1.jpg]\n[video: gone.mov, not in the backup]");

    TempFolder other;
    BackupFolder outside(other.path() / "b");
    write_file(other.path() / "sms.db", read_file(backup.path() / "Manifest.db"));
    outside.list("HomeDomain", "Library/SMS/sms.db", "../sms.db");
    EXPECT_NE(read(outside.path()).read.outcome.what().find("without messages"), std::string::npos);
}

TEST(Typedstream, DecodesTheLengthOfTheTextAndRefusesWhatIsCutShort) {
    for (const std::string& text :
         {std::string(), std::string("Hi"), kLong, std::string(70'000, 'y')}) {
        std::string archive = typedstream(text);
        if (text.size() > 0xFFFF) {
            // A length of four bytes.
            const size_t at = archive.find("\x01+") + 2;
            archive.replace(at, 3, std::string{'\x82', '\x70', '\x11', '\x01', '\x00'});
        }
        EXPECT_EQ(import::typedstream_text(archive), text);
    }
    const std::string whole = typedstream(kLong);
    for (size_t cut = 0; cut < 90; ++cut)
        EXPECT_EQ(import::typedstream_text(whole.substr(0, cut)), std::nullopt) << cut;
    std::string huge = whole;
    huge.replace(huge.find("\x01+") + 2, 3, std::string("\x82\xff\xff\xff\x7f", 5));
    EXPECT_EQ(import::typedstream_text(huge), std::nullopt);
    EXPECT_EQ(import::typedstream_text("\x04\x0bstreamtypeX"), std::nullopt);
}

}  // namespace
}  // namespace quillet
