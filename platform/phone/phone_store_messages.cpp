// The message store part of PhoneStore.
#include "platform/phone/phone_store.h"

#include <algorithm>

#include "protocol/byte_order.h"

namespace quillet::phone {
namespace {

constexpr const char* kMessageColumns =
    "SELECT id, entry_id, message_class, subject, delivery_time, sender, flags, body "
    "FROM messages";
// The same columns without the body, which a folder's table does not show.
constexpr const char* kRowColumns =
    "SELECT id, entry_id, message_class, subject, delivery_time, sender, flags, NULL "
    "FROM messages";

Message message_from_row(const Statement& s) {
    Message m;
    m.id = s.integer(0);
    m.entry_id = s.blob(1);
    m.message_class = s.text16(2);
    m.subject = s.text16(3);
    m.delivery_time = static_cast<FileTime>(s.integer(4));
    m.sender = s.text16(5);
    m.flags = static_cast<uint32_t>(s.integer(6));
    if (!s.is_null(7))
        m.body = s.text16(7);
    return m;
}

}  // namespace

std::vector<uint8_t> PhoneStore::add_message(const Folder& folder, const Message& message) {
    return add_messages(folder, std::span(&message, 1)).front();
}

std::vector<std::vector<uint8_t>> PhoneStore::add_messages(const Folder& folder,
                                                           std::span<const Message> messages) {
    Transaction t(db_);
    Statement insert = db_.prepare(
        "INSERT INTO messages(folder_id, entry_id, message_class, subject, delivery_time, "
        "sender, flags, body) VALUES(?, randomblob(16), ?, ?, ?, ?, ?, ?)");
    Statement set_entry_id = db_.prepare("UPDATE messages SET entry_id = ? WHERE id = ?");
    Statement add_recipient = db_.prepare(
        "INSERT INTO recipients(message_id, position, display_to, email) VALUES(?, ?, ?, ?)");
    const uint32_t store = store_id();
    std::vector<std::vector<uint8_t>> entry_ids;
    entry_ids.reserve(messages.size());
    for (const Message& m : messages) {
        insert.bind(1, folder.id)
            .bind(2, std::u16string_view(m.message_class))
            .bind(3, std::u16string_view(m.subject))
            .bind(4, static_cast<int64_t>(m.delivery_time))
            .bind(5, std::u16string_view(m.sender))
            .bind(6, int64_t{m.flags});
        if (m.body) {
            insert.bind(7, std::u16string_view(*m.body));
        } else {
            insert.bind_null(7);
        }
        insert.run();
        insert.reset();
        const int64_t id = db_.last_insert_id();

        // The entry id carries the store id and the row's own number, which
        // AUTOINCREMENT never hands out twice: an id the desktop kept can
        // never name a later message.
        std::vector<uint8_t> entry_id(kEntryIdBytes, 0);
        put_u32le(entry_id, 4, store);
        put_u64le(entry_id, 8, static_cast<uint64_t>(id));
        set_entry_id.bind_blob(1, entry_id).bind(2, id).run();
        set_entry_id.reset();

        int64_t position = 0;
        for (const Recipient& r : m.recipients) {
            add_recipient.bind(1, id)
                .bind(2, position++)
                .bind(3, std::u16string_view(r.display_to))
                .bind(4, std::u16string_view(r.email))
                .run();
            add_recipient.reset();
        }
        entry_ids.push_back(std::move(entry_id));
    }
    t.commit();
    return entry_ids;
}

std::vector<Message> PhoneStore::messages(const Folder& folder, bool details) {
    Statement s = db_.prepare(std::string(details ? kMessageColumns : kRowColumns) +
                              " WHERE folder_id = ? ORDER BY delivery_time, id");
    s.bind(1, folder.id);
    std::vector<Message> out;
    while (s.step())
        out.push_back(message_from_row(s));
    if (details) {
        for (Message& m : out)
            m.recipients = recipients(m.id);
    }
    return out;
}

std::optional<Message> PhoneStore::message(std::span<const uint8_t> entry_id,
                                           bool with_recipients) {
    if (!message_by_entry_id_) {
        message_by_entry_id_.emplace(
            db_.prepare(std::string(kMessageColumns) + " WHERE entry_id = ?"));
    }
    Statement& s = *message_by_entry_id_;
    s.reset();
    s.bind_blob(1, entry_id);
    if (!s.step())
        return std::nullopt;
    Message m = message_from_row(s);
    s.reset();
    if (with_recipients)
        m.recipients = recipients(m.id);
    return m;
}

int64_t PhoneStore::message_count(int64_t folder_id) {
    Statement s = db_.prepare("SELECT COUNT(*) FROM messages WHERE folder_id = ?");
    s.bind(1, folder_id);
    return s.step() ? s.integer(0) : 0;
}

std::optional<int64_t> PhoneStore::message_id(std::span<const uint8_t> entry_id) {
    if (snapshot_holds_ > 0 && last_row_ &&
        std::equal(entry_id.begin(), entry_id.end(), last_row_->entry_id.begin(),
                   last_row_->entry_id.end())) {
        return last_row_->id;
    }
    if (!id_by_entry_id_)
        id_by_entry_id_.emplace(db_.prepare("SELECT id FROM messages WHERE entry_id = ?"));
    Statement& s = *id_by_entry_id_;
    s.reset();
    s.bind_blob(1, entry_id);
    std::optional<int64_t> id;
    if (s.step())
        id = s.integer(0);
    s.reset();
    return id;
}

std::vector<Recipient> PhoneStore::recipients(int64_t message_id) {
    if (!recipients_of_) {
        recipients_of_.emplace(db_.prepare(
            "SELECT display_to, email FROM recipients WHERE message_id = ? ORDER BY position"));
    }
    Statement& s = *recipients_of_;
    s.reset();
    s.bind(1, message_id);
    std::vector<Recipient> out;
    while (s.step())
        out.push_back({s.text16(0), s.text16(1)});
    s.reset();
    return out;
}

bool PhoneStore::delete_message(const Folder& folder, std::span<const uint8_t> entry_id) {
    last_row_.reset();
    db_.prepare("DELETE FROM messages WHERE folder_id = ? AND entry_id = ?")
        .bind(1, folder.id)
        .bind_blob(2, entry_id)
        .run();
    return db_.changes() > 0;
}

}  // namespace quillet::phone

namespace quillet::phone {

FolderCursor::FolderCursor(PhoneStore& store, int64_t folder_id, bool newest_first)
    : store_(store),
      statement_(store.db().prepare(
          std::string(kRowColumns) +
          (newest_first ? " WHERE folder_id = ? ORDER BY delivery_time DESC, id DESC"
                        : " WHERE folder_id = ? ORDER BY delivery_time, id"))),
      folder_id_(folder_id) {
    statement_.bind(1, folder_id_);
}

void FolderCursor::rewind() {
    statement_.reset();
    statement_.bind(1, folder_id_);
    done_ = false;
}

bool FolderCursor::next() {
    // A finished statement would start over if stepped again.
    if (done_ || !statement_.step()) {
        done_ = true;
        return false;
    }
    row_.id = statement_.integer(0);
    statement_.blob(1, row_.entry_id);
    statement_.text16(2, row_.message_class);
    statement_.text16(3, row_.subject);
    row_.delivery_time = static_cast<FileTime>(statement_.integer(4));
    statement_.text16(5, row_.sender);
    row_.flags = static_cast<uint32_t>(statement_.integer(6));
    if (store_.snapshot_holds_ > 0) {
        auto& last = store_.last_row_ ? *store_.last_row_ : store_.last_row_.emplace();
        last.entry_id.assign(row_.entry_id.begin(), row_.entry_id.end());
        last.id = row_.id;
    }
    return true;
}

ReadSnapshot::ReadSnapshot(std::shared_ptr<PhoneStore> store) : store_(std::move(store)) {
    if (store_->snapshot_holds_ == 0)
        store_->db_.exec("BEGIN");
    ++store_->snapshot_holds_;
}

ReadSnapshot::~ReadSnapshot() {
    if (--store_->snapshot_holds_ > 0)
        return;
    store_->last_row_.reset();
    try {
        store_->db_.exec("COMMIT");
    } catch (const PhoneDbError&) {
        // A read transaction has nothing to lose; closing ends it.
    }
}

}  // namespace quillet::phone
