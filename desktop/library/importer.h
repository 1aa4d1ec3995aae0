// Bringing in other phones' backups: the import use case over a
// MessageLibrary. Each file read is one import, recorded
// (import_record.h) and undoable. Received messages go to the Inbox, sent
// ones to Sent Items, marked as not on the phone; a message already kept
// (message_matcher.h) is counted, not added; a possible duplicate is added,
// counted and listed. Attachments are saved only for the messages added.
//
// All or nothing: a run reads and matches every file first and changes
// nothing until all are read; then it records each import as pending,
// appends the messages, saves the boxes and marks the imports done. A
// cancelled run, or one whose boxes or records cannot be saved, keeps
// nothing; a kill before "done" is undone at the next start
// (finish_interrupted), which takes out only what the killed run saved.
//
// One run, undo or clean-up at a time on a data folder (ImportLock, held
// throughout): a clean-up that finds the lock held leaves every pending
// import alone, as a living process is still at it. An import only adds,
// so it may run beside another writer (the window); an undo removes, and
// a writer that still holds the removed messages would save them again:
// its callers keep it to the one program that holds the boxes
// (import_command.h of quillet-cli).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
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
    // Missing: no such import, or none of its messages can be found (then
    // nothing was changed); Refused: undone already, or another import
    // runs; else the saving failure (the undo is then finished at the next
    // start, as one killed half-way).
    Outcome outcome;
    size_t removed = 0;
    // Added by the import but taken over by a phone message since: kept,
    // with the attachments they name.
    size_t kept = 0;
    size_t contacts_removed = 0;
    // Added by the import but no longer in the boxes as it added them
    // (deleted or changed since): removed + kept + missing is what it added.
    size_t missing = 0;
    bool ok() const { return outcome.ok() && missing == 0; }
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
    // has taken over since, the attachments no kept message names and the contacts it added. A
    // dry run says what it would do and changes nothing.
    UndoReport undo(int id, bool dry_run = false);
    // Finishes every import or undo a kill left half-done, unless another
    // process holds the import lock (it is still at it); returns how many.
    size_t finish_interrupted();

    ImportFolder& folder() { return folder_; }

  private:
    struct Source;
    struct Part;
    struct UndoPlan;
    std::vector<std::filesystem::path> expand(const std::vector<std::filesystem::path>& paths,
                                              std::vector<std::string>& failures) const;
    void commit(ImportRun& run, std::vector<std::unique_ptr<Source>>& sources,
                const std::vector<std::filesystem::path>& staging);
    std::vector<MessageTarget> copies_before(const std::vector<AddedMessage>& added) const;
    UndoPlan plan_undo(const std::vector<AddedMessage>& added) const;
    // Removes copies of `added` until each is down to its target (none
    // given: 0), never more copies than `added` lists; returns how many.
    size_t bring_down(const std::vector<AddedMessage>& added,
                      const std::vector<MessageTarget>& targets);
    UndoReport undo_one(ImportRecord& record, bool dry_run);
    void finish_undo(ImportRecord& record, UndoReport& result);
    void mark_undone(ImportRecord& record, bool attachments_known, UndoReport& result);
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
