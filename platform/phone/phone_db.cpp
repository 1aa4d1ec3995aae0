#include "platform/phone/phone_db.h"

#include <sqlite3.h>

#include <system_error>
#include <utility>

#include "platform/phone/phone_image.h"

namespace quillet::phone {
namespace {

// Version 1. Text is UTF-16 in the database; times are FILETIME values.
// Entry ids are 16 bytes: four zero flag bytes, the image's store id (four
// bytes) and eight bytes unique within the image.
constexpr const char* kSchema = R"sql(
CREATE TABLE settings(key TEXT PRIMARY KEY, value INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE folders(
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE COLLATE NOCASE,
    role TEXT UNIQUE,
    entry_id BLOB NOT NULL UNIQUE);
CREATE TABLE messages(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    folder_id INTEGER NOT NULL REFERENCES folders(id),
    entry_id BLOB NOT NULL UNIQUE,
    message_class TEXT NOT NULL,
    subject TEXT NOT NULL DEFAULT '',
    delivery_time INTEGER NOT NULL,
    sender TEXT NOT NULL DEFAULT '',
    flags INTEGER NOT NULL DEFAULT 0,
    body TEXT);
CREATE INDEX messages_by_folder ON messages(folder_id, delivery_time, id);
CREATE TABLE recipients(
    message_id INTEGER NOT NULL REFERENCES messages(id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    display_to TEXT NOT NULL,
    email TEXT NOT NULL,
    PRIMARY KEY(message_id, position)) WITHOUT ROWID;
CREATE TABLE sim_entries(slot INTEGER PRIMARY KEY, name TEXT NOT NULL, number TEXT NOT NULL);
CREATE TABLE contacts(
    id INTEGER PRIMARY KEY,
    first_name TEXT NOT NULL,
    last_name TEXT NOT NULL,
    mobile TEXT NOT NULL DEFAULT '',
    other_numbers TEXT NOT NULL DEFAULT '');
CREATE TABLE sms_submissions(
    id INTEGER PRIMARY KEY,
    address TEXT NOT NULL,
    address_type INTEGER NOT NULL,
    message_class INTEGER NOT NULL,
    text TEXT NOT NULL,
    data_size INTEGER NOT NULL,
    submitted_at INTEGER NOT NULL);
CREATE TABLE screen(
    id INTEGER PRIMARY KEY,
    text TEXT NOT NULL,
    caption TEXT NOT NULL,
    style INTEGER NOT NULL,
    shown_at INTEGER NOT NULL);
)sql";

[[noreturn]] void fail(sqlite3* db, std::string_view what) {
    std::string message(what);
    message += ": ";
    message += db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    throw PhoneDbError(message);
}

}  // namespace

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
        SQLITE_OK) {
        fail(db_, "cannot prepare a phone image query");
    }
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::bind(int index, int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK)
        fail(db_, "bind");
    return *this;
}

Statement& Statement::bind(int index, std::string_view utf8) {
    if (sqlite3_bind_text(stmt_, index, utf8.data(), static_cast<int>(utf8.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK) {
        fail(db_, "bind");
    }
    return *this;
}

Statement& Statement::bind(int index, std::u16string_view text) {
    if (sqlite3_bind_text16(stmt_, index, text.data(), static_cast<int>(text.size() * 2),
                            SQLITE_TRANSIENT) != SQLITE_OK) {
        fail(db_, "bind");
    }
    return *this;
}

Statement& Statement::bind_blob(int index, std::span<const uint8_t> bytes) {
    if (sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK) {
        fail(db_, "bind");
    }
    return *this;
}

Statement& Statement::bind_null(int index) {
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK)
        fail(db_, "bind");
    return *this;
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(db_, "phone image query failed");
}

void Statement::run() {
    while (step()) {
    }
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

bool Statement::is_null(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::string Statement::text(int column) const {
    const auto* p = sqlite3_column_text(stmt_, column);
    const int n = sqlite3_column_bytes(stmt_, column);
    if (p == nullptr)
        return {};
    return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
}

std::u16string Statement::text16(int column) const {
    const void* p = sqlite3_column_text16(stmt_, column);
    const int n = sqlite3_column_bytes16(stmt_, column);
    if (p == nullptr)
        return {};
    return std::u16string(static_cast<const char16_t*>(p), static_cast<size_t>(n) / 2);
}

std::vector<uint8_t> Statement::blob(int column) const {
    const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    const int n = sqlite3_column_bytes(stmt_, column);
    if (p == nullptr)
        return {};
    return std::vector<uint8_t>(p, p + n);
}

void Statement::text16(int column, std::u16string& out) const {
    const void* p = sqlite3_column_text16(stmt_, column);
    const int n = sqlite3_column_bytes16(stmt_, column);
    if (p == nullptr) {
        out.clear();
        return;
    }
    out.assign(static_cast<const char16_t*>(p), static_cast<size_t>(n) / 2);
}

void Statement::blob(int column, std::vector<uint8_t>& out) const {
    const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    const int n = sqlite3_column_bytes(stmt_, column);
    if (p == nullptr) {
        out.clear();
        return;
    }
    out.assign(p, p + n);
}

PhoneDb::PhoneDb(const std::filesystem::path& image, Mode mode) : image_(image) {
    const bool creating = mode == Mode::Create && !image_exists(image);
    if (creating) {
        std::error_code ec;
        std::filesystem::create_directories(fs_root(image), ec);
        if (ec)
            throw PhoneDbError("cannot create the phone image " + image.string());
    }
    const int flags =
        SQLITE_OPEN_READWRITE | (creating ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(database_path(image).c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        const std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw PhoneDbError("cannot open the phone image " + image.string() + ": " + why);
    }
    try {
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        // The write-ahead log is never removed by name when a connection
        // closes, only emptied: a connection still open on an image that
        // was replaced would otherwise remove the new image's log.
        int persist = 1;
        sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
        exec("PRAGMA journal_size_limit = 0");
        exec("PRAGMA foreign_keys = ON");
        // A folder of ten thousand messages is read whole by one command:
        // keep its pages in memory rather than reading them again per row.
        exec("PRAGMA cache_size = -32768");
        exec("PRAGMA mmap_size = 268435456");
        if (creating)
            create_schema();
        check_schema();
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

PhoneDb::~PhoneDb() {
    sqlite3_close(db_);
}

void PhoneDb::exec(const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        fail(db_, "phone image update failed");
    }
}

int64_t PhoneDb::last_insert_id() const {
    return sqlite3_last_insert_rowid(db_);
}

int PhoneDb::changes() const {
    return sqlite3_changes(db_);
}

void PhoneDb::create_schema() {
    // The phone's text is UTF-16: kept so, it is read without conversion.
    exec("PRAGMA encoding = 'UTF-16le'");
    exec("PRAGMA journal_mode = WAL");
    Transaction t(*this);
    exec(kSchema);
    exec("PRAGMA user_version = " + std::to_string(kSchemaVersion));
    t.commit();
}

void PhoneDb::check_schema() {
    Statement s(db_, "PRAGMA user_version");
    const int64_t version = s.step() ? s.integer(0) : 0;
    if (version == kSchemaVersion)
        return;
    if (version > kSchemaVersion) {
        throw PhoneDbError("the phone image " + image_.string() +
                           " was made by a newer version (schema " + std::to_string(version) + ")");
    }
    throw PhoneDbError(image_.string() + " is not a phone image");
}

Transaction::Transaction(PhoneDb& db) : db_(db) {
    db_.exec("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (done_)
        return;
    try {
        db_.exec("ROLLBACK");
    } catch (const PhoneDbError&) {
        // Nothing more can be done; SQLite rolls back on close.
    }
}

void Transaction::commit() {
    db_.exec("COMMIT");
    done_ = true;
}

}  // namespace quillet::phone
