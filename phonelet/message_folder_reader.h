// Reads the text messages of one folder of the phone's store, deletes
// single messages and adds restored ones, for one command at a time.
//
// A text message is a row whose message class begins with "IPM.SMSText" or
// "IPM.Note" (compared ignoring case, as the store treats classes); every
// other row is neither counted nor sent.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "phonelet/desktop_connection.h"
#include "phonelet/service_holder.h"
#include "platform/ce/mapi.h"
#include "protocol/wire_format.h"

namespace quillet {

enum class FolderKind { Inbox = 0, SentItems = 1, DeletedItems = 2 };
enum class SortOrder { OldestFirst, NewestFirst };

class MessageFolderReader : public ServiceHolder {
  public:
    ~MessageFolderReader() override;

    // Opens the folder with its rows sorted on delivery time. 0 on success,
    // else the number of the step that failed (1 to 10); nothing stays open
    // after a failure.
    int open(FolderKind kind, SortOrder order);
    // position -1: the number of text messages (0 when they cannot be
    // read). position p >= 0: reads the p-th text message (in sort order)
    // into the current record and returns 0; -1 when there are fewer text
    // messages or the rows cannot be read, and there is no current record
    // then.
    int find(int position);
    // Sends the size and the current record; false when there is none.
    bool send_current_record(DesktopConnection& connection);
    // Walks the folder once from its beginning and appends the whole folder
    // reply to `reply`: the number of text messages, then size and record of
    // each, in sort order. False when the store failed during the walk: what
    // was appended is then not a whole reply. A table that cannot be walked
    // at all gives the reply of an empty folder.
    bool append_all(std::vector<uint8_t>& reply);
    // Deletes the message of the open folder whose entry id is these 16
    // bytes; true when the store reports success.
    bool delete_message(std::span<const uint8_t, kEntryIdSize> entry_id);
    // Saves a new text message into the open folder, read when its flags
    // are non-zero, as the phone keeps each kind: a received one with its
    // address as sender and its text as subject and body, a sent one with
    // its address as recipient and its text as body (travelling back as
    // they came). Its new entry id; none when the store refused it.
    std::optional<EntryId> add_message(const SmsWireRecord& record, bool received);
    // Releases the folder and its table and ends the session.
    void close();

  private:
    int open_folder(FolderKind kind);
    enum class Walk { Row, End, Failed };
    // Reads rows from the table's cursor on until `rows` holds a text
    // message (its only row): Row; End at the end of the table, Failed when
    // the store failed.
    Walk next_text_row(ce::SRowSet& rows);
    void read_row(const ce::SRow& row);

    std::unique_ptr<ce::IMAPISession> session_;
    std::unique_ptr<ce::IMAPIFolder> folder_;
    std::unique_ptr<ce::IMAPITable> table_;
    bool mapi_initialised_ = false;
    std::optional<SmsWireRecord> current_;
};

}  // namespace quillet
