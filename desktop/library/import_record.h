// What Quillet remembers of each import, beside the box files in the data
// folder's "imports" folder (the box files keep their format):
//
//   imports/<id>.record   "key=value" lines: id, time, file, format, state,
//                         added, duplicates, possible_duplicates,
//                         attachments, skipped, part_of (when carried by
//                         a folder's import); then "skip=<n>\t<why>"
//                         lines and "problem=<text>" lines
//   imports/<id>.added    one line per message the import added:
//                         box, FileTime, the number field in hex, a hash of
//                         the text (what undo removes)
//   imports/<id>.possible the possible duplicates, as .added
//   imports/<id>.contacts one line per contact it added to contacts.sql:
//                         the name field and the number field in hex
//   imports/<id>.targets  one line per message of .added (box, FileTime,
//                         number, text hash, count): how many copies of it
//                         the boxes are to hold when an interrupted import
//                         or undo is finished (as many as there were before
//                         the import; as many as the undo leaves)
//   imports/<id>.kept     after an undo, the messages it kept (the phone
//                         holds them now), as .added
//   imports/<id>/         the attachment files it saved
//
// Every file is written atomically. The state is "pending" from before the
// boxes are saved until they are, "undoing" from before an undo saves them
// until it has: a start that finds either finishes it by bringing each
// message's copies down to its target, never below, so that only what the
// interrupted run saved goes, however often it is run.
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
    enum class State { Pending, Done, Undoing, Undone };
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
    // Carried by import `part_of` (a Quillet folder, whose messages came
    // from this import there); undone with it. 0: an import of its own.
    int part_of = 0;
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

// How many copies of a message the boxes are to hold.
struct MessageTarget {
    AddedMessage message;
    size_t copies = 0;
};

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
    Outcome save_kept(int id, const std::vector<AddedMessage>& kept) const;
    Outcome save_targets(int id, const std::vector<MessageTarget>& targets) const;
    std::vector<AddedMessage> added(int id) const;
    std::vector<AddedMessage> possible(int id) const;
    Outcome save_contacts(int id, const std::vector<Contact>& contacts) const;
    std::vector<Contact> contacts(int id) const;
    std::vector<AddedMessage> kept(int id) const;
    // Empty when the import wrote none (an earlier version's).
    std::vector<MessageTarget> targets(int id) const;
    std::filesystem::path attachments(int id) const;
    // Every file of import `id` (record, lists, attachments) removed.
    void remove(int id) const;

  private:
    std::filesystem::path file(int id, std::string_view suffix) const;
    std::filesystem::path folder_;
};

}  // namespace quillet
