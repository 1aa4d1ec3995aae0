// phone.db: the SQLite database of a phone image, and a small RAII layer
// over the SQLite handles.
//
// The schema is versioned with PRAGMA user_version. The database runs in WAL
// mode and every connection waits up to kBusyTimeoutMs for a lock, so the
// agent's phone services and the phone tool can use one image at once.
// Failures throw PhoneDbError; callers at a platform boundary turn it into
// the result code that the platform's own call would give.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace quillet::phone {

inline constexpr int kSchemaVersion = 1;
inline constexpr int kBusyTimeoutMs = 5000;

class PhoneDbError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One prepared statement. Bind indexes are 1-based, column indexes 0-based
// (as in SQLite). Text is bound and read as UTF-8 or UTF-16.
class Statement {
  public:
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&&) = delete;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, int64_t value);
    Statement& bind(int index, std::string_view utf8);
    Statement& bind(int index, std::u16string_view text);
    Statement& bind_blob(int index, std::span<const uint8_t> bytes);
    Statement& bind_null(int index);

    // True while a row is ready; false when the statement is done.
    bool step();
    // Runs a statement that returns no rows.
    void run();
    // Back to the start with the bindings cleared, ready to run again.
    void reset();

    bool is_null(int column) const;
    int64_t integer(int column) const;
    std::string text(int column) const;
    std::u16string text16(int column) const;
    std::vector<uint8_t> blob(int column) const;
    // The same, into storage the caller reuses from row to row.
    void text16(int column, std::u16string& out) const;
    void blob(int column, std::vector<uint8_t>& out) const;

  private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// One open connection to phone.db.
class PhoneDb {
  public:
    enum class Mode { ReadWrite, Create };

    // Opens image/phone.db. ReadWrite requires an image of a known schema
    // version; Create makes the folder, fs/ and an empty schema when the
    // database is missing. Throws PhoneDbError.
    PhoneDb(const std::filesystem::path& image, Mode mode);
    ~PhoneDb();
    PhoneDb(const PhoneDb&) = delete;
    PhoneDb& operator=(const PhoneDb&) = delete;

    Statement prepare(std::string_view sql) { return Statement(db_, sql); }
    // Runs one or more statements that return no rows.
    void exec(const std::string& sql);
    int64_t last_insert_id() const;
    int changes() const;
    const std::filesystem::path& image() const { return image_; }

  private:
    void create_schema();
    void check_schema();

    std::filesystem::path image_;
    sqlite3* db_ = nullptr;
};

// BEGIN IMMEDIATE on construction; commit() makes it stick, otherwise the
// destructor rolls back.
class Transaction {
  public:
    explicit Transaction(PhoneDb& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

  private:
    PhoneDb& db_;
    bool done_ = false;
};

}  // namespace quillet::phone
