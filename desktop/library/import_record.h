// What Quillet remembers of each import, beside the box files in the data
// folder's "imports" folder (the box files keep their format):
//
//   imports/<id>.record   "key=value" lines: id, time, file, format, state,
//                         added, duplicates, possible_duplicates,
//                         attachments, skipped; then "skip=<n>\t<why>"
//                         lines and "problem=<text>" lines
//   imports/<id>.added    one line per message the import added:
//                         box, FileTime, the number field in hex, a hash of
//                         the text (what undo removes)
//   imports/<id>.possible the possible duplicates, as .added
//   imports/<id>.contacts one line per contact it added to contacts.sql:
//                         the name field and the number field in hex
//   imports/<id>/         the attachment files it saved
//
// Every file is written atomically. The state is "pending" from before the
// boxes are saved until they are: a start that finds a pending import
// removes what it added, so an import is all or nothing across a kill.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "desktop/store/safe_file.h"
#include "desktop/store/sms_message.h"

namespace quillet {

struct ImportRecord {
    enum class State { Pending, Done, Undone };
    int id = 0;
    int64_t time = 0;  // seconds since 1970, when it ran
    std::string file;
    std::string format;
    State state = State::Pending;
    size_t added = 0;
    size_t duplicates = 0;  // already kept
    size_t possible_duplicates = 0;
    size_t attachments = 0;
    size_t contacts = 0;  // added to the contact list (imports/<id>.contacts)
    // Elements not taken, by reason, with how many of each.
    std::vector<std::pair<std::string, size_t>> skipped;
    std::vector<std::string> problems;
    size_t skipped_count() const;
};

// One added message, as undo finds it again.
struct AddedMessage {
    int box = 0;  // BoxKind
    FileTime time = 0;
    std::string number;
    uint64_t text_hash = 0;
    bool operator==(const AddedMessage&) const = default;
};
uint64_t text_hash(std::u16string_view text);
AddedMessage added_message(int box, const SmsMessage& m);

class ImportFolder {
  public:
    explicit ImportFolder(std::filesystem::path data_folder);
    const std::filesystem::path& path() const { return folder_; }

    // Every record, oldest first; damaged ones are left out.
    std::vector<ImportRecord> records() const;
    std::optional<ImportRecord> record(int id) const;
    int next_id() const;

    Outcome save_record(const ImportRecord& record) const;
    Outcome save_added(int id, const std::vector<AddedMessage>& added) const;
    Outcome save_possible(int id, const std::vector<AddedMessage>& possible) const;
    std::vector<AddedMessage> added(int id) const;
    std::vector<AddedMessage> possible(int id) const;
    Outcome save_contacts(int id, const std::vector<Contact>& contacts) const;
    std::vector<Contact> contacts(int id) const;
    std::filesystem::path attachments(int id) const;

  private:
    std::filesystem::path file(int id, std::string_view suffix) const;
    std::filesystem::path folder_;
};

}  // namespace quillet
