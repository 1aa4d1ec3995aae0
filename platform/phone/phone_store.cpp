#include "platform/phone/phone_store.h"

#include <random>
#include <system_error>

#include "platform/phone/phone_image.h"
#include "protocol/byte_order.h"

namespace quillet::phone {
namespace {

struct StandardFolder {
    FolderRole role;
    const char* name;
};
constexpr StandardFolder kStandardFolders[] = {
    {FolderRole::Inbox, "Inbox"},
    {FolderRole::SentItems, "Sent Items"},
    {FolderRole::DeletedItems, "Deleted Items"},
};

std::optional<FolderRole> role_from_text(const std::string& text) {
    for (const auto& f : kStandardFolders) {
        if (folder_role_name(f.role) == text)
            return f.role;
    }
    return std::nullopt;
}

// The tags of the entry ids this store makes: "FOLD" for a folder, "TORE"
// for the store itself, as they read in the id's bytes.
constexpr uint32_t kFolderEntryTag = 0x444C4F46;
constexpr uint32_t kStoreEntryTag = 0x45524F54;

// Four zero flag bytes, the store id, then eight bytes of `tag` and `number`.
std::vector<uint8_t> make_entry_id(uint32_t store, uint32_t tag, uint32_t number) {
    std::vector<uint8_t> id(kEntryIdBytes, 0);
    put_u32le(id, 4, store);
    put_u32le(id, 8, tag);
    put_u32le(id, 12, number);
    return id;
}

void remove_image_files(const std::filesystem::path& image) {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(image / (std::string(kDatabaseName) + suffix), ec);
    }
    std::filesystem::remove(image / "debug.log", ec);
    std::filesystem::remove_all(fs_root(image), ec);
}

Folder folder_from_row(const Statement& s) {
    Folder f;
    f.id = s.integer(0);
    f.name = s.text(1);
    if (!s.is_null(2))
        f.role = role_from_text(s.text(2));
    f.entry_id = s.blob(3);
    return f;
}

constexpr const char* kFolderColumns = "SELECT id, name, role, entry_id FROM folders";

}  // namespace

std::string_view folder_role_name(FolderRole role) {
    switch (role) {
        case FolderRole::Inbox:
            return "inbox";
        case FolderRole::SentItems:
            return "sent";
        case FolderRole::DeletedItems:
            return "deleted";
    }
    return "inbox";
}

PhoneStore::PhoneStore(const std::filesystem::path& image)
    : PhoneStore(image, PhoneDb::Mode::ReadWrite) {}

PhoneStore::PhoneStore(const std::filesystem::path& image, PhoneDb::Mode mode) : db_(image, mode) {}

void PhoneStore::create(const std::filesystem::path& image, bool replace) {
    if (image_exists(image)) {
        if (!replace)
            throw PhoneDbError("a phone image is already there: " + image.string());
        remove_image_files(image);
    }
    PhoneStore store(image, PhoneDb::Mode::Create);
    store.initialise();
}

void PhoneStore::initialise() {
    Transaction t(db_);
    std::random_device random;
    const uint32_t store = random();
    set_setting("store_id", store);
    set_setting("plugged", 1);
    set_setting("sms_refusing", 0);
    set_setting("sim_size", kDefaultSimSize);
    Statement insert = db_.prepare("INSERT INTO folders(name, role, entry_id) VALUES(?, ?, ?)");
    uint32_t number = 1;
    for (const auto& f : kStandardFolders) {
        insert.bind(1, std::string_view(f.name)).bind(2, folder_role_name(f.role));
        insert.bind_blob(3, make_entry_id(store, kFolderEntryTag, number++)).run();
        insert.reset();
    }
    t.commit();
}

int64_t PhoneStore::setting(std::string_view key, int64_t fallback) {
    Statement s = db_.prepare("SELECT value FROM settings WHERE key = ?");
    s.bind(1, key);
    return s.step() ? s.integer(0) : fallback;
}

void PhoneStore::set_setting(std::string_view key, int64_t value) {
    db_.prepare("INSERT OR REPLACE INTO settings(key, value) VALUES(?, ?)")
        .bind(1, key)
        .bind(2, value)
        .run();
}

bool PhoneStore::plugged() {
    return setting("plugged", 0) != 0;
}
void PhoneStore::set_plugged(bool on) {
    set_setting("plugged", on ? 1 : 0);
}
bool PhoneStore::sms_refusing() {
    return setting("sms_refusing", 0) != 0;
}
void PhoneStore::set_sms_refusing(bool on) {
    set_setting("sms_refusing", on ? 1 : 0);
}
int PhoneStore::sim_size() {
    return static_cast<int>(setting("sim_size", 0));
}
void PhoneStore::set_sim_size(int slots) {
    set_setting("sim_size", slots);
}
uint32_t PhoneStore::store_id() {
    return static_cast<uint32_t>(setting("store_id", 0));
}

std::vector<uint8_t> PhoneStore::store_entry_id() {
    return make_entry_id(store_id(), kStoreEntryTag, 1);
}

std::vector<Folder> PhoneStore::folders() {
    Statement s = db_.prepare(std::string(kFolderColumns) + " ORDER BY id");
    std::vector<Folder> out;
    while (s.step())
        out.push_back(folder_from_row(s));
    return out;
}

std::optional<Folder> PhoneStore::folder(FolderRole role) {
    Statement s = db_.prepare(std::string(kFolderColumns) + " WHERE role = ?");
    s.bind(1, folder_role_name(role));
    if (!s.step())
        return std::nullopt;
    return folder_from_row(s);
}

std::optional<Folder> PhoneStore::folder(std::string_view name) {
    if (auto role = role_from_text(std::string(name)))
        return folder(*role);
    Statement s = db_.prepare(std::string(kFolderColumns) + " WHERE name = ?");
    s.bind(1, name);
    if (!s.step())
        return std::nullopt;
    return folder_from_row(s);
}

std::optional<Folder> PhoneStore::folder_by_entry_id(std::span<const uint8_t> entry_id) {
    Statement s = db_.prepare(std::string(kFolderColumns) + " WHERE entry_id = ?");
    s.bind_blob(1, entry_id);
    if (!s.step())
        return std::nullopt;
    return folder_from_row(s);
}

Folder PhoneStore::ensure_folder(std::string_view name) {
    if (auto f = folder(name))
        return *f;
    Transaction t(db_);
    const uint32_t store = store_id();
    Statement s = db_.prepare("SELECT COALESCE(MAX(id), 0) + 1 FROM folders");
    const auto number = static_cast<uint32_t>(s.step() ? s.integer(0) : 1);
    db_.prepare("INSERT INTO folders(name, role, entry_id) VALUES(?, NULL, ?)")
        .bind(1, name)
        .bind_blob(2, make_entry_id(store, kFolderEntryTag, number))
        .run();
    t.commit();
    return *folder(name);
}

std::vector<SimEntry> PhoneStore::sim_entries() {
    Statement s = db_.prepare("SELECT slot, name, number FROM sim_entries ORDER BY slot");
    std::vector<SimEntry> out;
    while (s.step())
        out.push_back({static_cast<int>(s.integer(0)), s.text16(1), s.text16(2)});
    return out;
}

std::optional<SimEntry> PhoneStore::sim_entry(int slot) {
    Statement s = db_.prepare("SELECT slot, name, number FROM sim_entries WHERE slot = ?");
    s.bind(1, int64_t{slot});
    if (!s.step())
        return std::nullopt;
    return SimEntry{slot, s.text16(1), s.text16(2)};
}

void PhoneStore::set_sim_entry(const SimEntry& entry) {
    db_.prepare("INSERT OR REPLACE INTO sim_entries(slot, name, number) VALUES(?, ?, ?)")
        .bind(1, int64_t{entry.slot})
        .bind(2, std::u16string_view(entry.name))
        .bind(3, std::u16string_view(entry.number))
        .run();
}

std::vector<PhoneContact> PhoneStore::contacts() {
    Statement s = db_.prepare(
        "SELECT id, first_name, last_name, mobile, other_numbers FROM contacts ORDER BY id");
    std::vector<PhoneContact> out;
    while (s.step()) {
        out.push_back({s.integer(0), s.text16(1), s.text16(2), s.text16(3), s.text16(4)});
    }
    return out;
}

int64_t PhoneStore::add_contact(const PhoneContact& c) {
    db_.prepare(
           "INSERT INTO contacts(first_name, last_name, mobile, other_numbers) "
           "VALUES(?, ?, ?, ?)")
        .bind(1, std::u16string_view(c.first_name))
        .bind(2, std::u16string_view(c.last_name))
        .bind(3, std::u16string_view(c.mobile))
        .bind(4, std::u16string_view(c.other_numbers))
        .run();
    return db_.last_insert_id();
}

std::vector<SmsSubmission> PhoneStore::submissions() {
    Statement s = db_.prepare(
        "SELECT address, address_type, message_class, text, data_size, submitted_at "
        "FROM sms_submissions ORDER BY id");
    std::vector<SmsSubmission> out;
    while (s.step()) {
        out.push_back({s.text16(0), static_cast<int>(s.integer(1)), static_cast<int>(s.integer(2)),
                       s.text16(3), static_cast<uint32_t>(s.integer(4)),
                       static_cast<FileTime>(s.integer(5))});
    }
    return out;
}

void PhoneStore::add_submission(const SmsSubmission& m) {
    db_.prepare(
           "INSERT INTO sms_submissions(address, address_type, message_class, text, data_size, "
           "submitted_at) VALUES(?, ?, ?, ?, ?, ?)")
        .bind(1, std::u16string_view(m.address))
        .bind(2, int64_t{m.address_type})
        .bind(3, int64_t{m.message_class})
        .bind(4, std::u16string_view(m.text))
        .bind(5, int64_t{m.data_size})
        .bind(6, static_cast<int64_t>(m.submitted_at))
        .run();
}

std::vector<ScreenMessage> PhoneStore::screen() {
    Statement s = db_.prepare("SELECT text, caption, style, shown_at FROM screen ORDER BY id");
    std::vector<ScreenMessage> out;
    while (s.step()) {
        out.push_back({s.text16(0), s.text16(1), static_cast<uint32_t>(s.integer(2)),
                       static_cast<FileTime>(s.integer(3))});
    }
    return out;
}

void PhoneStore::add_screen_message(const ScreenMessage& m) {
    db_.prepare("INSERT INTO screen(text, caption, style, shown_at) VALUES(?, ?, ?, ?)")
        .bind(1, std::u16string_view(m.text))
        .bind(2, std::u16string_view(m.caption))
        .bind(3, int64_t{m.style})
        .bind(4, static_cast<int64_t>(m.shown_at))
        .run();
}

}  // namespace quillet::phone
