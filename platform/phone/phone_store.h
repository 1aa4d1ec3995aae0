// The contents of a phone image: message store, SIM phone book, contacts,
// SMS service, screen and settings, as typed records over phone.db.
//
// One PhoneStore is one connection; it is used by one thread at a time.
// Text is UTF-16 as the phone keeps it. Every operation may throw
// PhoneDbError (damaged image, disk full, lock held past the busy timeout).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/phone/phone_db.h"
#include "protocol/filetime.h"

namespace quillet::phone {

inline constexpr size_t kEntryIdBytes = 16;
// The message flag that marks a message as read.
inline constexpr uint32_t kFlagRead = 0x0001;
inline constexpr int kDefaultSimSize = 100;

enum class FolderRole { Inbox, SentItems, DeletedItems };

struct Folder {
    int64_t id = 0;
    std::string name;
    std::optional<FolderRole> role;
    std::vector<uint8_t> entry_id;
};

struct Recipient {
    std::u16string display_to;
    std::u16string email;
};

// A row of the message store as the folder's contents table shows it, plus
// the body and recipients when asked for.
struct Message {
    int64_t id = 0;
    std::vector<uint8_t> entry_id;
    std::u16string message_class;
    std::u16string subject;
    FileTime delivery_time = 0;
    std::u16string sender;
    uint32_t flags = 0;
    std::optional<std::u16string> body;  // none: the message has no body property
    std::vector<Recipient> recipients;
};

struct SimEntry {
    int slot = 0;
    std::u16string name;
    std::u16string number;
};

struct PhoneContact {
    int64_t id = 0;
    std::u16string first_name;
    std::u16string last_name;
    std::u16string mobile;
    std::u16string other_numbers;
};

// What the SMS service accepted. address_type: 0 unknown, 1 international.
struct SmsSubmission {
    std::u16string address;
    int address_type = 0;
    int message_class = 0;
    std::u16string text;
    uint32_t data_size = 0;
    FileTime submitted_at = 0;
};

struct ScreenMessage {
    std::u16string text;
    std::u16string caption;
    uint32_t style = 0;
    FileTime shown_at = 0;
};

class PhoneStore {
  public:
    // Opens an existing image. Throws PhoneDbError when it is missing or not
    // a phone image.
    explicit PhoneStore(const std::filesystem::path& image);
    // Makes a new, empty image: the three folders, a SIM of kDefaultSimSize
    // slots, the SMS service working, plugged in. An image already there is
    // replaced when `replace`, else PhoneDbError.
    static void create(const std::filesystem::path& image, bool replace);

    PhoneDb& db() { return db_; }

    bool plugged();
    void set_plugged(bool on);
    bool sms_refusing();
    void set_sms_refusing(bool on);
    // 0 means the phone has no SIM card.
    int sim_size();
    void set_sim_size(int slots);
    // Four bytes that every entry id of this image carries.
    uint32_t store_id();
    std::vector<uint8_t> store_entry_id();

    std::vector<Folder> folders();
    std::optional<Folder> folder(FolderRole role);
    // By name, ignoring case; "inbox", "sent" and "deleted" name the three
    // standard folders.
    std::optional<Folder> folder(std::string_view name);
    std::optional<Folder> folder_by_entry_id(std::span<const uint8_t> entry_id);
    // The folder of that name, made when missing.
    Folder ensure_folder(std::string_view name);

    // Adds a message and returns its entry id.
    std::vector<uint8_t> add_message(const Folder& folder, const Message& message);
    // Adds many messages in one transaction (all or none); their entry ids
    // in the same order.
    std::vector<std::vector<uint8_t>> add_messages(const Folder& folder,
                                                   std::span<const Message> messages);
    // The folder's rows by delivery time, then by insertion, without bodies
    // and recipients unless `details`.
    std::vector<Message> messages(const Folder& folder, bool details);
    // The message with exactly this entry id, with its body; its
    // recipients too when `with_recipients`.
    std::optional<Message> message(std::span<const uint8_t> entry_id, bool with_recipients = true);
    std::vector<Recipient> recipients(int64_t message_id);
    int64_t message_count(int64_t folder_id);
    // The row number of the message with exactly this entry id.
    std::optional<int64_t> message_id(std::span<const uint8_t> entry_id);
    // True when a message of that folder with that entry id was removed.
    bool delete_message(const Folder& folder, std::span<const uint8_t> entry_id);

    std::vector<SimEntry> sim_entries();
    // Adds or replaces the entry of a slot (1 to sim_size()).
    void set_sim_entry(const SimEntry& entry);
    std::optional<SimEntry> sim_entry(int slot);

    std::vector<PhoneContact> contacts();
    int64_t add_contact(const PhoneContact& contact);

    std::vector<SmsSubmission> submissions();
    void add_submission(const SmsSubmission& submission);

    std::vector<ScreenMessage> screen();
    void add_screen_message(const ScreenMessage& message);

  private:
    PhoneStore(const std::filesystem::path& image, PhoneDb::Mode mode);
    int64_t setting(std::string_view key, int64_t fallback);
    void set_setting(std::string_view key, int64_t value);
    void initialise();
    friend class ReadSnapshot;

    PhoneDb db_;
    std::optional<Statement> message_by_entry_id_;
    std::optional<Statement> recipients_of_;
    std::optional<Statement> id_by_entry_id_;
    int snapshot_holds_ = 0;
    // The row a folder cursor last stepped to within the current snapshot:
    // a message is usually opened right after its row was read.
    struct LastRow {
        std::vector<uint8_t> entry_id;
        int64_t id = 0;
    };
    std::optional<LastRow> last_row_;
    friend class FolderCursor;
};

// Steps through a folder's rows, without bodies and recipients, by delivery
// time and then by insertion (both reversed when newest first). The row's
// storage is reused from one step to the next. `store` must outlive it.
class FolderCursor {
  public:
    // Within a read snapshot of `store`, the row last stepped to is found
    // again by PhoneStore::message_id without a query.
    FolderCursor(PhoneStore& store, int64_t folder_id, bool newest_first);
    // Back to before the first row.
    void rewind();
    // False at the end, and after it until rewound.
    bool next();
    const Message& row() const { return row_; }

  private:
    PhoneStore& store_;
    Statement statement_;
    int64_t folder_id_;
    Message row_;
    bool done_ = false;
};

// While alive, every read of the store sees the image as it was at the
// first read after construction (one read transaction), and needs no new
// locks. Holds nest. Writes of the same connection may fail meanwhile.
class ReadSnapshot {
  public:
    explicit ReadSnapshot(std::shared_ptr<PhoneStore> store);
    ~ReadSnapshot();
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

  private:
    std::shared_ptr<PhoneStore> store_;
};

std::string_view folder_role_name(FolderRole role);

}  // namespace quillet::phone
