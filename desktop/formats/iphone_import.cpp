#include "desktop/formats/iphone_import.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "desktop/formats/import_text.h"

namespace quillet {
namespace fs = std::filesystem;

namespace import {
namespace {

// A typedstream as NSArchiver writes it: integers of one signed byte, or a
// tag (0x81: two bytes, 0x82: four, little-endian) and the value; 0x84
// begins something new, 0x85 is nil, 0x86 ends an object, and a byte from
// 0x92 on refers to something met before.
class TypedStream {
  public:
    explicit TypedStream(std::string_view bytes) : in_(bytes) {}

    std::optional<std::string> text() {
        if (!header())
            return std::nullopt;
        // The archive's root: a group whose types are "@" (the string).
        return group(0);
    }

  private:
    static constexpr uint8_t kInt16 = 0x81, kInt32 = 0x82, kNew = 0x84, kNil = 0x85, kEnd = 0x86,
                             kFirstReference = 0x92;
    static constexpr int kMaxDepth = 32;

    bool byte(uint8_t& b) {
        if (at_ >= in_.size())
            return false;
        b = static_cast<uint8_t>(in_[at_++]);
        return true;
    }
    bool peek(uint8_t& b) const {
        if (at_ >= in_.size())
            return false;
        b = static_cast<uint8_t>(in_[at_]);
        return true;
    }
    bool little(size_t n, int64_t& value) {
        if (in_.size() - at_ < n)
            return false;
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i)
            v |= static_cast<uint64_t>(static_cast<uint8_t>(in_[at_ + i])) << (8 * i);
        at_ += n;
        value = n == 2 ? static_cast<int16_t>(v) : static_cast<int32_t>(v);
        return true;
    }
    // An integer whose first byte `tag` was read already.
    bool integer_after(uint8_t tag, int64_t& value) {
        if (tag == kInt16)
            return little(2, value);
        if (tag == kInt32)
            return little(4, value);
        value = static_cast<int8_t>(tag);
        return true;
    }
    bool integer(int64_t& value) {
        uint8_t tag = 0;
        return byte(tag) && integer_after(tag, value);
    }
    // A length: one unsigned byte, or the tagged forms.
    bool length(size_t& n) {
        uint8_t tag = 0;
        if (!byte(tag))
            return false;
        int64_t v = tag;
        if ((tag == kInt16 || tag == kInt32) && !integer_after(tag, v))
            return false;
        if (v < 0 || static_cast<uint64_t>(v) > in_.size() - at_)
            return false;
        n = static_cast<size_t>(v);
        return true;
    }
    bool bytes(size_t n, std::string& out) {
        if (in_.size() - at_ < n)
            return false;
        out.assign(in_.substr(at_, n));
        at_ += n;
        return true;
    }

    bool header() {
        uint8_t version = 0;
        size_t n = 0;
        std::string signature;
        int64_t system = 0;
        return byte(version) && version == 4 && length(n) && bytes(n, signature) &&
               signature == "streamtyped" && integer(system);
    }

    // A shared string (type encodings, class names): new, nil or met before.
    bool shared(std::optional<std::string>& out) {
        uint8_t tag = 0;
        if (!byte(tag))
            return false;
        if (tag == kNil) {
            out.reset();
            return true;
        }
        if (tag == kNew) {
            size_t n = 0;
            std::string s;
            if (!length(n) || !bytes(n, s))
                return false;
            strings_.push_back(s);
            out = std::move(s);
            return true;
        }
        size_t index = 0;
        if (!reference(tag, strings_.size(), index))
            return false;
        out = strings_[index];
        return true;
    }

    // A reference to the `count` strings or objects met so far, whose first
    // byte was `tag`: its place among them, false when it names none.
    bool reference(uint8_t tag, size_t count, size_t& index) {
        int64_t ref = 0;
        if (!integer_after(tag, ref))
            return false;
        const int64_t place = (tag == kInt16 || tag == kInt32 ? ref : tag) - kFirstReference;
        if (place < 0 || static_cast<size_t>(place) >= count)
            return false;
        index = static_cast<size_t>(place);
        return true;
    }

    // A class and its superclasses; true in `is_string` when one is NSString.
    bool klass(bool& is_string, int depth) {
        uint8_t tag = 0;
        if (depth > kMaxDepth || !byte(tag))
            return false;
        if (tag == kNil)
            return true;
        if (tag != kNew) {
            size_t index = 0;
            if (!reference(tag, objects_.size(), index))
                return false;
            is_string = is_string || objects_[index];
            return true;
        }
        std::optional<std::string> name;
        int64_t version = 0;
        if (!shared(name) || !name || !integer(version))
            return false;
        const bool string = *name == "NSString" || *name == "NSMutableString";
        objects_.push_back(string);
        is_string = is_string || string;
        return klass(is_string, depth + 1);
    }

    // One value of type `type`; the string's text once it is met.
    bool value(char type, int depth, std::optional<std::string>& found, bool in_string) {
        switch (type) {
            case '@':
                return object(depth + 1, found);
            case '+': {
                size_t n = 0;
                std::string s;
                if (!length(n) || !bytes(n, s))
                    return false;
                if (in_string && !found)
                    found = std::move(s);
                return true;
            }
            case '*':
            case ':': {
                std::optional<std::string> s;
                return shared(s);
            }
            case '#': {
                bool ignored = false;
                return klass(ignored, depth + 1);
            }
            case 'f':
            case 'd': {
                uint8_t tag = 0;
                if (!byte(tag))
                    return false;
                if (tag != 0x83) {
                    int64_t ignored = 0;
                    return integer_after(tag, ignored);
                }
                const size_t width = type == 'f' ? 4 : 8;
                if (in_.size() - at_ < width)
                    return false;
                at_ += width;
                return true;
            }
            case 'c':
            case 'C':
            case 's':
            case 'S':
            case 'i':
            case 'I':
            case 'l':
            case 'L':
            case 'q':
            case 'Q':
            case 'B': {
                int64_t ignored = 0;
                return integer(ignored);
            }
            default:
                return false;  // a type this reader does not know: stop, say so
        }
    }

    // An object: new (its class, then groups of values until its end),
    // nil, or one met before.
    bool object(int depth, std::optional<std::string>& found) {
        uint8_t tag = 0;
        if (depth > kMaxDepth || !byte(tag))
            return false;
        if (tag == kNil)
            return true;
        if (tag != kNew) {
            int64_t ignored = 0;
            return integer_after(tag, ignored);
        }
        bool is_string = false;
        objects_.push_back(false);
        if (!klass(is_string, depth))
            return false;
        while (!found) {
            uint8_t next = 0;
            if (!peek(next))
                return false;
            if (next == kEnd) {
                ++at_;
                return true;
            }
            std::optional<std::string> types;
            if (!shared(types) || !types)
                return false;
            for (const char t : *types) {
                if (!value(t, depth, found, is_string))
                    return false;
                if (found)
                    return true;
            }
        }
        return true;
    }

    std::optional<std::string> group(int depth) {
        std::optional<std::string> types;
        if (!shared(types) || !types)
            return std::nullopt;
        std::optional<std::string> found;
        for (const char t : *types) {
            if (!value(t, depth, found, false) || found)
                break;
        }
        return found;
    }

    std::string_view in_;
    size_t at_ = 0;
    std::vector<std::string> strings_;
    std::vector<bool> objects_;  // classes and objects, in order; true: a string class
};

// The top dictionary of a binary property list: key "IsEncrypted" and its
// boolean, read through the offset table with every index checked.
std::optional<bool> binary_plist_encrypted(std::string_view p) {
    if (p.size() < 8 + 32)
        return std::nullopt;
    const auto uint_at = [&](size_t at, size_t width) -> std::optional<uint64_t> {
        if (width == 0 || width > 8 || at > p.size() || p.size() - at < width)
            return std::nullopt;
        uint64_t v = 0;
        for (size_t i = 0; i < width; ++i)
            v = (v << 8) | static_cast<uint8_t>(p[at + i]);
        return v;
    };
    const size_t trailer = p.size() - 32;
    const size_t offset_size = static_cast<uint8_t>(p[trailer + 6]);
    const size_t ref_size = static_cast<uint8_t>(p[trailer + 7]);
    const auto count = uint_at(trailer + 8, 8);
    const auto top = uint_at(trailer + 16, 8);
    const auto table = uint_at(trailer + 24, 8);
    if (!count || !top || !table || *top >= *count || *table > trailer ||
        *count > (trailer - *table) / std::max<size_t>(offset_size, 1))
        return std::nullopt;
    const auto offset_of = [&](uint64_t ref) -> std::optional<size_t> {
        if (ref >= *count)
            return std::nullopt;
        const auto at = uint_at(static_cast<size_t>(*table + ref * offset_size), offset_size);
        if (!at || *at >= trailer)
            return std::nullopt;
        return static_cast<size_t>(*at);
    };
    // An object's count: the low nibble, or 0xF and an int object after it.
    const auto size_at = [&](size_t at, size_t& after) -> std::optional<uint64_t> {
        const uint8_t marker = static_cast<uint8_t>(p[at]);
        after = at + 1;
        if ((marker & 0x0F) != 0x0F)
            return marker & 0x0F;
        if (after >= trailer || (static_cast<uint8_t>(p[after]) & 0xF0) != 0x10)
            return std::nullopt;
        const size_t width = size_t{1} << (static_cast<uint8_t>(p[after]) & 0x0F);
        const auto n = uint_at(after + 1, width);
        after += 1 + width;
        return n;
    };
    const auto dict_at = offset_of(*top);
    if (!dict_at || (static_cast<uint8_t>(p[*dict_at]) & 0xF0) != 0xD0)
        return std::nullopt;
    size_t refs = 0;
    const auto entries = size_at(*dict_at, refs);
    if (!entries || *entries > *count)
        return std::nullopt;
    for (uint64_t i = 0; i < *entries; ++i) {
        const auto key_ref = uint_at(static_cast<size_t>(refs + i * ref_size), ref_size);
        const auto value_ref =
            uint_at(static_cast<size_t>(refs + (*entries + i) * ref_size), ref_size);
        if (!key_ref || !value_ref)
            return std::nullopt;
        const auto key_at = offset_of(*key_ref);
        if (!key_at || (static_cast<uint8_t>(p[*key_at]) & 0xF0) != 0x50)
            continue;  // not an ASCII string key
        size_t chars = 0;
        const auto n = size_at(*key_at, chars);
        if (!n || *n > trailer - chars || p.substr(chars, *n) != "IsEncrypted")
            continue;
        const auto value_at = offset_of(*value_ref);
        if (!value_at)
            return std::nullopt;
        return static_cast<uint8_t>(p[*value_at]) == 0x09;
    }
    return false;
}

}  // namespace

std::optional<std::string> typedstream_text(std::string_view archive) {
    return TypedStream(archive).text();
}

std::optional<bool> plist_says_encrypted(std::string_view plist) {
    if (plist.starts_with("bplist00"))
        return binary_plist_encrypted(plist);
    if (plist.find("<plist") == std::string_view::npos)
        return std::nullopt;
    const size_t key = plist.find("<key>IsEncrypted</key>");
    if (key == std::string_view::npos)
        return false;
    const size_t value = plist.find('<', key + 22);
    return value != std::string_view::npos && plist.substr(value).starts_with("<true");
}

}  // namespace import

namespace {

constexpr std::string_view kMakeUnencrypted =
    "an encrypted iPhone backup: Quillet cannot read it. Make an unencrypted backup (untick "
    "\"Encrypt local backup\" in iTunes or Finder) and import that";
constexpr std::string_view kTooOld =
    "an iPhone backup older than iOS 10 (it has a Manifest.mbdb): Quillet reads backups from iOS "
    "10 on. Make a new backup with a current iTunes or Finder and import that";
constexpr size_t kMaxPlistBytes = 4u << 20;
constexpr size_t kMaxTextBytes = 8u << 20;
constexpr int64_t kAppleEpochMs = 978'307'200'000;  // 2001-01-01 as Unix time

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
struct StmtCloser {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtCloser>;

// Opened read-only and immutable: no journal, no lock, nothing written
// into the backup.
Db open_database(const fs::path& path) {
    sqlite3* db = nullptr;
    std::string uri = "file:";
    for (const char c : path.string()) {
        if (c == '%' || c == '?' || c == '#')
            uri += c == '%' ? "%25" : c == '?' ? "%3f" : "%23";
        else
            uri += c;
    }
    uri += "?immutable=1";
    if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return Db();
    }
    return Db(db);
}

Stmt prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        return Stmt();
    }
    return Stmt(s);
}

std::set<std::string> columns_of(sqlite3* db, const std::string& table) {
    std::set<std::string> names;
    const Stmt s = prepare(db, "PRAGMA table_info(" + table + ")");
    while (s && sqlite3_step(s.get()) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 1));
        names.insert(name ? name : "");
    }
    return names;
}

std::string text_of(sqlite3_stmt* s, int column) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return t ? std::string(t, static_cast<size_t>(sqlite3_column_bytes(s, column))) : std::string();
}

// "col" when the table has it, else "NULL": the query keeps its shape.
std::string column_or_null(const std::set<std::string>& columns, const char* name,
                           std::string_view table = "") {
    return columns.count(name) ? std::string(table) + name : std::string("NULL");
}

std::optional<std::string> read_small_file(const fs::path& path, size_t limit) {
    Outcome why;
    const UniqueFd fd = open_regular_file(path, why);
    if (!fd.valid())
        return std::nullopt;
    std::string out;
    char piece[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd.get(), piece, sizeof piece);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return out;
        if (out.size() + static_cast<size_t>(n) > limit)
            return std::nullopt;
        out.append(piece, static_cast<size_t>(n));
    }
}

// The backup's files, found through Manifest.db.
class Manifest {
  public:
    explicit Manifest(const fs::path& folder) : folder_(folder) {
        std::error_code ec;
        root_ = fs::weakly_canonical(folder, ec);
    }

    // Why the backup cannot be read, or nothing.
    std::optional<std::string> open() {
        db_ = open_database(folder_ / "Manifest.db");
        if (!db_)
            return "its Manifest.db cannot be opened";
        const Stmt s = prepare(db_.get(),
                               "SELECT fileID, flags FROM Files WHERE domain = ?1 AND "
                               "relativePath = ?2");
        if (!s) {
            // An encrypted Manifest.db reads as no database at all.
            if (sqlite3_errcode(db_.get()) == SQLITE_NOTADB)
                return std::string(kMakeUnencrypted);
            return "its Manifest.db holds no file list (" + std::string(sqlite3_errmsg(db_.get())) +
                   "): not a backup Quillet can read";
        }
        return std::nullopt;
    }

    // The file of `domain` / `relative` in the backup, when the manifest
    // lists it as a file and it lies inside the backup folder: a file ID
    // is 40 hexadecimal digits, nothing else is trusted as a path.
    std::optional<fs::path> find(std::string_view domain, std::string_view relative) const {
        const Stmt s = prepare(db_.get(),
                               "SELECT fileID, flags FROM Files WHERE domain = ?1 AND "
                               "relativePath = ?2");
        if (!s)
            return std::nullopt;
        sqlite3_bind_text(s.get(), 1, domain.data(), static_cast<int>(domain.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_text(s.get(), 2, relative.data(), static_cast<int>(relative.size()),
                          SQLITE_TRANSIENT);
        while (sqlite3_step(s.get()) == SQLITE_ROW) {
            const std::string id = text_of(s.get(), 0);
            const int64_t flags = sqlite3_column_int64(s.get(), 1);
            if (flags != 1 || id.size() != 40 ||
                id.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                continue;
            const fs::path file = folder_ / id.substr(0, 2) / id;
            std::error_code ec;
            const fs::path real = fs::weakly_canonical(file, ec);
            if (ec || !inside(real))
                continue;
            return file;
        }
        return std::nullopt;
    }

  private:
    bool inside(const fs::path& real) const {
        const auto [a, b] = std::mismatch(root_.begin(), root_.end(), real.begin(), real.end());
        return a == root_.end();
    }

    fs::path folder_;
    fs::path root_;
    Db db_;
};

// Who is on the other side of each chat, and which chats hold each message.
struct Chats {
    std::unordered_map<int64_t, std::string> handles;              // handle ROWID -> id
    std::unordered_map<int64_t, std::vector<int64_t>> members;     // chat -> handles
    std::unordered_map<int64_t, std::vector<int64_t>> of_message;  // message -> chats

    void load(sqlite3* db) {
        for (Stmt s = prepare(db, "SELECT ROWID, id FROM handle");
             s && sqlite3_step(s.get()) == SQLITE_ROW;)
            handles[sqlite3_column_int64(s.get(), 0)] = text_of(s.get(), 1);
        for (Stmt s = prepare(db,
                              "SELECT chat_id, handle_id FROM chat_handle_join ORDER BY "
                              "chat_id, handle_id");
             s && sqlite3_step(s.get()) == SQLITE_ROW;)
            members[sqlite3_column_int64(s.get(), 0)].push_back(sqlite3_column_int64(s.get(), 1));
        for (Stmt s = prepare(db, "SELECT message_id, chat_id FROM chat_message_join");
             s && sqlite3_step(s.get()) == SQLITE_ROW;)
            of_message[sqlite3_column_int64(s.get(), 0)].push_back(
                sqlite3_column_int64(s.get(), 1));
    }

    // The correspondents of a message ";"-joined: its own handle first
    // (the sender of a received one), then every member of its chats.
    std::string correspondents(int64_t message, int64_t handle) const {
        std::vector<int64_t> ids;
        if (handle != 0)
            ids.push_back(handle);
        if (const auto chats = of_message.find(message); chats != of_message.end()) {
            for (const int64_t chat : chats->second) {
                if (const auto m = members.find(chat); m != members.end())
                    ids.insert(ids.end(), m->second.begin(), m->second.end());
            }
        }
        std::string out;
        std::unordered_set<int64_t> seen;
        for (const int64_t id : ids) {
            const auto h = handles.find(id);
            if (!seen.insert(id).second || h == handles.end() || h->second.empty())
                continue;
            if (!out.empty())
                out += ';';
            out += h->second;
        }
        return out;
    }
};

struct AttachmentRow {
    std::string filename;
    std::string mime;
    std::string name;
};

class SmsReader {
  public:
    SmsReader(const Manifest& manifest, ImportSink& sink, AttachmentSink& attachments)
        : manifest_(manifest), sink_(sink), attachments_(attachments) {}

    ReadReport read(sqlite3* db) {
        ReadReport report;
        const std::set<std::string> columns = columns_of(db, "message");
        if (!columns.count("date") || !columns.count("is_from_me")) {
            report.outcome = Outcome::bad_input(
                "its sms.db has no message table Quillet can read: not an iPhone message "
                "database");
            return report;
        }
        chats_.load(db);
        load_attachments(db);
        uint64_t total = 0;
        if (const Stmt c = prepare(db, "SELECT count(*) FROM message");
            c && sqlite3_step(c.get()) == SQLITE_ROW)
            total = static_cast<uint64_t>(sqlite3_column_int64(c.get(), 0));
        const char* wanted[] = {
            "guid",    "text", "attributedBody",          "handle_id", "is_from_me",
            "is_read", "date", "associated_message_type", "item_type"};
        std::string sql = "SELECT ROWID";
        for (const char* name : wanted)
            sql += ", " + column_or_null(columns, name);
        sql += " FROM message ORDER BY ROWID";
        const Stmt s = prepare(db, sql);
        if (!s) {
            report.outcome = Outcome::unreadable("its sms.db cannot be read: " +
                                                 std::string(sqlite3_errmsg(db)));
            return report;
        }
        uint64_t done = 0;
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(s.get())) == SQLITE_ROW) {
            if (++done % 512 == 0 && !sink_.progress(done, total)) {
                report.outcome = Outcome::cancelled();
                return report;
            }
            row(s.get());
        }
        if (step != SQLITE_DONE)
            report.damage = "sms.db is damaged after " + std::to_string(done) +
                            " messages: " + sqlite3_errmsg(db);
        sink_.progress(total, total);
        report.replaced = replaced_;
        report.held = done;
        return report;
    }

  private:
    void load_attachments(sqlite3* db) {
        const std::set<std::string> columns = columns_of(db, "attachment");
        if (columns.empty())
            return;
        const Stmt s = prepare(db, "SELECT j.message_id, a." + column_or_null(columns, "filename") +
                                       ", a." + column_or_null(columns, "mime_type") + ", a." +
                                       column_or_null(columns, "transfer_name") +
                                       " FROM message_attachment_join j JOIN attachment a ON "
                                       "a.ROWID = j.attachment_id ORDER BY j.ROWID");
        while (s && sqlite3_step(s.get()) == SQLITE_ROW)
            attachments_of_[sqlite3_column_int64(s.get(), 0)].push_back(
                {text_of(s.get(), 1), text_of(s.get(), 2), text_of(s.get(), 3)});
    }

    // Why a row is not a message for people, or nothing.
    static std::optional<std::string_view> not_a_message(int64_t associated, int64_t item_type) {
        if (associated == 1000)
            return "a sticker";
        if (associated >= 2000 && associated < 3000)
            return "a reaction";
        if (associated >= 3000 && associated < 4000)
            return "a reaction taken back";
        if (item_type != 0)
            return "a group event (a member or the name changed)";
        return std::nullopt;
    }

    // Seconds since 2001 up to iOS 10, nanoseconds since: told by size.
    static int64_t unix_ms(int64_t apple) {
        constexpr int64_t kNanosecondsFrom = 100'000'000'000;  // ~ year 5170 in seconds
        if (apple > kNanosecondsFrom || apple < -kNanosecondsFrom)
            return apple / 1'000'000 + kAppleEpochMs;
        return apple * 1000 + kAppleEpochMs;
    }

    void row(sqlite3_stmt* s) {
        const int64_t rowid = sqlite3_column_int64(s, 0);
        const std::string guid = text_of(s, 1);
        if (!guid.empty() && !guids_.insert(guid).second) {
            sink_.skipped("the same message twice in the database");
            return;
        }
        if (const auto why =
                not_a_message(sqlite3_column_int64(s, 8), sqlite3_column_int64(s, 9))) {
            sink_.skipped(*why);
            return;
        }
        if (sqlite3_column_type(s, 7) == SQLITE_NULL) {
            sink_.skipped("a message without a date");
            return;
        }
        const int64_t ms = unix_ms(sqlite3_column_int64(s, 7));
        if (const auto why = import::time_out_of_range(ms)) {
            sink_.skipped("a message with " + std::string(*why));
            return;
        }
        std::string text = text_of(s, 2);
        if (text.empty() && sqlite3_column_type(s, 3) == SQLITE_BLOB) {
            const auto size = static_cast<size_t>(sqlite3_column_bytes(s, 3));
            if (size > kMaxTextBytes) {
                sink_.skipped("a message whose text is longer than 8 MB");
                return;
            }
            const auto* blob = static_cast<const char*>(sqlite3_column_blob(s, 3));
            std::optional<std::string> decoded =
                import::typedstream_text(std::string_view(blob ? blob : "", size));
            if (!decoded) {
                sink_.skipped(
                    "a message whose text is damaged (its attributedBody cannot be read)");
                return;
            }
            text = std::move(*decoded);
        }
        // Each attachment stands in the text as U+FFFC; its line follows.
        for (size_t at; (at = text.find("\xEF\xBF\xBC")) != std::string::npos;)
            text.erase(at, 3);
        ImportedMessage m;
        m.received = sqlite3_column_int64(s, 5) == 0;
        m.read = !m.received || sqlite3_column_int64(s, 6) != 0;
        m.time_ms = ms;
        m.address = chats_.correspondents(rowid, sqlite3_column_int64(s, 4));
        m.text = import::utf16_from_utf8(text, replaced_);
        attach(rowid, m);
        if (m.text.empty()) {
            sink_.skipped("a message without text or attachment");
            return;
        }
        if (m.address.empty()) {
            sink_.skipped("a message without a correspondent");
            return;
        }
        sink_.message(std::move(m));
    }

    void attach(int64_t rowid, ImportedMessage& m) {
        const auto found = attachments_of_.find(rowid);
        if (found == attachments_of_.end())
            return;
        for (const AttachmentRow& a : found->second) {
            std::string relative = a.filename;
            for (const std::string_view home : {"~/", "/var/mobile/", "/private/var/mobile/"}) {
                if (relative.starts_with(home)) {
                    relative.erase(0, home.size());
                    break;
                }
            }
            std::string name = import::without_controls(
                a.name.empty() ? fs::path(relative).filename().string() : a.name);
            if (name.empty())
                name = "attachment";
            const ImportedAttachment line{std::string(import::attachment_kind(a.mime)), name};
            const std::optional<fs::path> file =
                relative.empty() ? std::nullopt : manifest_.find("MediaDomain", relative);
            const std::optional<std::string> saved = file ? copy(*file, name) : std::nullopt;
            if (!saved) {
                import::append_attachment_line(m.text, line, replaced_, true);
                continue;
            }
            ImportedAttachment kept{line.kind, *saved};
            import::append_attachment_line(m.text, kept, replaced_);
            m.attachments.push_back(std::move(kept));
        }
    }

    std::optional<std::string> copy(const fs::path& file, const std::string& name) {
        Outcome why;
        const UniqueFd fd = open_regular_file(file, why);
        if (!fd.valid())
            return std::nullopt;
        const std::optional<std::string> saved = attachments_.begin(name);
        if (!saved)
            return std::nullopt;
        char piece[64 * 1024];
        for (;;) {
            const ssize_t n = ::read(fd.get(), piece, sizeof piece);
            if (n < 0 ||
                (n > 0 && !attachments_.write(std::string_view(piece, static_cast<size_t>(n))))) {
                attachments_.end(false);
                return std::nullopt;
            }
            if (n == 0)
                break;
        }
        return attachments_.end(true) ? saved : std::nullopt;
    }

    const Manifest& manifest_;
    ImportSink& sink_;
    AttachmentSink& attachments_;
    Chats chats_;
    std::unordered_map<int64_t, std::vector<AttachmentRow>> attachments_of_;
    std::unordered_set<std::string> guids_;
    uint64_t replaced_ = 0;
};

// The address book's people with their numbers (property 3 of
// ABMultiValue), by name; an address book that cannot be read is named.
void read_address_book(const Manifest& manifest, ImportSink& sink,
                       std::vector<ImportedContact>& contacts) {
    const std::optional<fs::path> file =
        manifest.find("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb");
    if (!file)
        return;
    const Db db = open_database(*file);
    const std::set<std::string> people =
        db ? columns_of(db.get(), "ABPerson") : std::set<std::string>{};
    const Stmt s =
        people.empty()
            ? Stmt()
            : prepare(db.get(), "SELECT p.ROWID, " + column_or_null(people, "First", "p.") + ", " +
                                    column_or_null(people, "Last", "p.") + ", " +
                                    column_or_null(people, "Organization", "p.") +
                                    ", v.value FROM ABPerson p JOIN ABMultiValue v ON "
                                    "v.record_id = p.ROWID WHERE v.property = 3 ORDER BY p.ROWID");
    if (!s) {
        sink.skipped("the address book, which cannot be read");
        return;
    }
    int64_t last = -1;
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
        const std::string number = text_of(s.get(), 4);
        if (number.empty())
            continue;
        const int64_t person = sqlite3_column_int64(s.get(), 0);
        if (person != last || contacts.empty()) {
            if (contacts.size() >= kMaxImportedContacts) {
                sink.skipped("a contact beyond the 100,000 a backup may bring");
                continue;
            }
            std::string name = text_of(s.get(), 1);
            const std::string family = text_of(s.get(), 2);
            if (!family.empty())
                name += (name.empty() ? "" : " ") + family;
            if (name.empty())
                name = text_of(s.get(), 3);
            contacts.push_back({import::without_controls(name), {}});
            last = person;
        }
        contacts.back().numbers.push_back(number);
    }
    // A person without a name is no name for a number.
    std::erase_if(contacts, [](const ImportedContact& c) { return c.name.empty(); });
}

}  // namespace

bool looks_like_iphone_backup(const fs::path& folder) {
    std::error_code ec;
    for (const char* name : {"Manifest.db", "Manifest.plist", "Manifest.mbdb", "Info.plist"}) {
        if (fs::is_regular_file(folder / name, ec))
            return true;
    }
    return false;
}

ReadReport read_iphone_backup(const fs::path& folder, ImportSink& sink, AttachmentSink& attachments,
                              std::vector<ImportedContact>& contacts) {
    ReadReport report;
    std::error_code ec;
    if (const auto plist = read_small_file(folder / "Manifest.plist", kMaxPlistBytes)) {
        const std::optional<bool> encrypted = import::plist_says_encrypted(*plist);
        if (encrypted.value_or(false)) {
            report.outcome = Outcome::bad_input(std::string(kMakeUnencrypted));
            return report;
        }
    }
    if (!fs::is_regular_file(folder / "Manifest.db", ec)) {
        report.outcome = Outcome::bad_input(
            fs::is_regular_file(folder / "Manifest.mbdb", ec)
                ? std::string(kTooOld)
                : std::string("an iPhone backup folder without its Manifest.db: the backup is "
                              "incomplete. Make the backup again and import the new folder"));
        return report;
    }
    Manifest manifest(folder);
    if (const auto why = manifest.open()) {
        report.outcome = Outcome::bad_input(*why);
        return report;
    }
    const std::optional<fs::path> sms = manifest.find("HomeDomain", "Library/SMS/sms.db");
    if (!sms) {
        report.outcome = Outcome::bad_input(
            "an iPhone backup without messages (its manifest lists no sms.db): back up the "
            "phone with its messages and import that");
        return report;
    }
    const Db db = open_database(*sms);
    if (!db) {
        report.outcome = Outcome::unreadable("its sms.db cannot be opened");
        return report;
    }
    if (const Stmt probe = prepare(db.get(), "SELECT 1 FROM sqlite_master");
        !probe || sqlite3_step(probe.get()) == SQLITE_NOTADB) {
        report.outcome = Outcome::bad_input(std::string(kMakeUnencrypted));
        return report;
    }
    report = SmsReader(manifest, sink, attachments).read(db.get());
    if (report.outcome)
        read_address_book(manifest, sink, contacts);
    return report;
}

}  // namespace quillet
