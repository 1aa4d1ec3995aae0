// Small iPhone backup folders written by the tests: a Manifest.db whose
// rows name files under two-hex-digit folders, an sms.db of the schema of
// one iOS era, an address book, and the typedstream of an attributedBody.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tests/store/store_test_support.h"

namespace quillet::test {

// The three eras of sms.db's message table: which columns there are, in
// which order, and whether dates are seconds (up to iOS 10) or nanoseconds.
struct SmsEra {
    const char* name;
    const char* message_table;
    bool nanoseconds;
};

inline const SmsEra kSmsEras[] = {
    {"up to iOS 13",
     "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT, text TEXT, "
     "service TEXT, handle_id INTEGER, date INTEGER, is_from_me INTEGER, is_read INTEGER, "
     "item_type INTEGER DEFAULT 0, associated_message_type INTEGER DEFAULT 0, "
     "attributedBody BLOB, cache_has_attachments INTEGER)",
     false},
    {"iOS 14 and 15",
     "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT, "
     "attributedBody BLOB, text TEXT, handle_id INTEGER, service TEXT, is_read INTEGER, "
     "is_from_me INTEGER, date INTEGER, date_read INTEGER, associated_message_guid TEXT, "
     "associated_message_type INTEGER DEFAULT 0, item_type INTEGER DEFAULT 0, "
     "thread_originator_guid TEXT)",
     true},
    {"iOS 16 and later",
     "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT, text TEXT, "
     "replace INTEGER, service_center TEXT, handle_id INTEGER, subject TEXT, country TEXT, "
     "attributedBody BLOB, version INTEGER, type INTEGER, service TEXT, account TEXT, "
     "date INTEGER, date_read INTEGER, date_delivered INTEGER, is_from_me INTEGER, "
     "is_read INTEGER, item_type INTEGER DEFAULT 0, associated_message_type INTEGER DEFAULT 0, "
     "date_edited INTEGER, date_retracted INTEGER, part_count INTEGER)",
     true},
};

inline constexpr const char* kSmsTables =
    "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT, service TEXT);"
    "CREATE TABLE chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT, style INTEGER, "
    "chat_identifier TEXT, display_name TEXT);"
    "CREATE TABLE chat_message_join (chat_id INTEGER, message_id INTEGER);"
    "CREATE TABLE chat_handle_join (chat_id INTEGER, handle_id INTEGER);"
    "CREATE TABLE message_attachment_join (ROWID INTEGER PRIMARY KEY, message_id INTEGER, "
    "attachment_id INTEGER);"
    "CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT, filename TEXT, "
    "mime_type TEXT, transfer_name TEXT, total_bytes INTEGER);";

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// An SQLite database the test fills with statements; a statement that
// fails throws (the tests that use it are of both kinds: gtest and Qt's).
class TestDb {
  public:
    explicit TestDb(const std::filesystem::path& path) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK)
            throw std::runtime_error("cannot make " + path.string());
    }
    ~TestDb() { sqlite3_close(db_); }
    TestDb(const TestDb&) = delete;
    TestDb& operator=(const TestDb&) = delete;
    void exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string why = (error ? error : "") + std::string(" in ") + sql;
            sqlite3_free(error);
            throw std::runtime_error(why);
        }
    }
    // One row with a blob bound to "?1".
    void exec_with_blob(const std::string& sql, std::string_view blob) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr);
        sqlite3_bind_blob(s, 1, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
        const int step = sqlite3_step(s);
        sqlite3_finalize(s);
        if (step != SQLITE_DONE)
            throw std::runtime_error("cannot run " + sql);
    }

  private:
    sqlite3* db_ = nullptr;
};

// A backup folder: each file added is written under a file ID of 40 hex
// digits (derived from its number) and listed in Manifest.db.
class BackupFolder {
  public:
    explicit BackupFolder(std::filesystem::path folder) : folder_(made(std::move(folder))) {
        manifest_.exec(
            "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, "
            "flags INTEGER, file BLOB)");
        write_file(folder_ / "Manifest.plist",
                   "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>IsEncrypted</key>"
                   "<false/></dict></plist>");
    }
    const std::filesystem::path& path() const { return folder_; }

    // Lists `relative` with `file_id` without writing a file.
    void list(std::string_view domain, std::string_view relative, const std::string& file_id) {
        manifest_.exec("INSERT INTO Files VALUES ('" + file_id + "', '" + std::string(domain) +
                       "', '" + std::string(relative) + "', 1, NULL)");
    }
    // Where the file of `relative` goes, listed in the manifest.
    std::filesystem::path add(std::string_view domain, std::string_view relative) {
        std::string id = std::to_string(++files_);
        id = std::string(40 - id.size(), 'a') + id;
        list(domain, relative, id);
        std::filesystem::create_directories(folder_ / id.substr(0, 2));
        return folder_ / id.substr(0, 2) / id;
    }
    void add_file(std::string_view domain, std::string_view relative, std::string_view bytes) {
        write_file(add(domain, relative), bytes);
    }

  private:
    static std::filesystem::path made(std::filesystem::path folder) {
        std::filesystem::create_directories(folder);
        return folder;
    }
    std::filesystem::path folder_;
    TestDb manifest_{folder_ / "Manifest.db"};
    int files_ = 0;
};

// The typedstream NSArchiver writes for an NSAttributedString holding
// `text`, attributes after it as the phone writes them.
inline std::string typedstream(std::string_view text) {
    const auto length = [](size_t n) {
        if (n < 0x80)
            return std::string(1, static_cast<char>(n));
        return std::string{'\x81', static_cast<char>(n & 0xFF), static_cast<char>(n >> 8)};
    };
    std::string out("\x04\x0bstreamtyped\x81\xe8\x03\x84\x01@", 19);
    out += std::string("\x84\x84\x84\x12NSAttributedString\x00\x84\x84\x08NSObject\x00\x85", 36);
    out += std::string("\x92\x84\x84\x84\x08NSString\x01\x94\x84\x01+", 18);
    out += length(text.size()) + std::string(text) + "\x86";
    // The attributes' run: "iI" with a range, then a dictionary.
    out +=
        std::string("\x84\x02iI\x01\x05\x92\x84\x84\x84\x0cNSDictionary\x00\x94\x84\x01i\x01", 29);
    return out + "\x86\x86";
}

}  // namespace quillet::test
