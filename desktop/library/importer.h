// Bringing in other phones' backups: the import use case over a
// MessageLibrary. Each file read is one import, recorded
// (import_record.h) and undoable. Received messages go to the Inbox, sent
// ones to Sent Items, marked as not on the phone; a message already kept
// (message_matcher.h) is counted, not added; a possible duplicate is added,
// counted and listed.
//
// All or nothing: a run reads and matches every file first and changes
// nothing until all are read; then it records each import as pending,
// appends the messages, saves the boxes and marks the imports done. A
// cancelled run or one whose boxes cannot be saved keeps nothing; a kill
// before "done" is undone at the next start (finish_interrupted).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/formats/import_source.h"
#include "desktop/library/import_record.h"
#include "desktop/library/message_library.h"
#include "desktop/store/contact_list.h"

namespace quillet {

// Told how far a run is; returns false to cancel it.
class ImportProgress {
  public:
    virtual ~ImportProgress() = default;
    virtual bool progress(std::string_view file, uint64_t done, uint64_t total) = 0;
};

struct ImportRun {
    std::vector<ImportRecord> imports;  // one per file read (ids 0 in a dry run)
    std::vector<std::string> failures;  // "FILE: why" for each file not read
    // Cancelled, or the boxes or records could not be saved (the saving
    // failure's line): nothing kept either way.
    Outcome outcome;
    size_t contacts_added = 0;  // from vCards and Quillet folders
    size_t added() const;
    // Something was read and kept (or would be, in a dry run), no file failed.
    bool ok() const { return failures.empty() && outcome.ok(); }
};

struct UndoReport {
    // Missing: no such import; Refused: undone already; else the saving
    // failure.
    Outcome outcome;
    size_t removed = 0;
    // Added by the import but matched by a phone message since: kept.
    size_t kept = 0;
    size_t contacts_removed = 0;
};

class Importer {
  public:
    // `library` has its three boxes loaded. `contacts`, when given, takes
    // the contacts read (saved to the library's folder). Both outlive it.
    Importer(MessageLibrary& library, ContactList* contacts);

    // Imports each path: a backup file, a Quillet data or archive folder,
    // or a folder of backups (every file in it that is one).
    ImportRun run(const std::vector<std::filesystem::path>& paths, bool dry_run,
                  ImportProgress* progress = nullptr);
    // Removes exactly the messages import `id` added that no phone message
    // has matched since, its attachments, and the contacts it added.
    UndoReport undo(int id);
    // Undoes every import a kill left pending; returns how many.
    size_t finish_interrupted();

    ImportFolder& folder() { return folder_; }

  private:
    struct Source;
    std::vector<std::filesystem::path> expand(const std::vector<std::filesystem::path>& paths,
                                              std::vector<std::string>& failures) const;
    size_t remove_added(const std::vector<AddedMessage>& added, size_t& kept);
    // The contacts whose numbers the list does not know yet (compared as
    // the conversations compare numbers); added to it unless `dry_run`.
    // Numbers it knows already are counted in `record`'s skips.
    std::vector<Contact> add_contacts(const std::vector<ImportedContact>& contacts, bool dry_run,
                                      ImportRecord& record);

    MessageLibrary& library_;
    ContactList* contacts_;
    ImportFolder folder_;
};

}  // namespace quillet
