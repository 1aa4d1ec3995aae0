// What Quillet does with the messages of one data folder, for the window and
// quillet-cli alike: the three boxes loaded and saved by one rule, Get SMS,
// and deletion here, on the phone or both. The front ends parse, call and
// show; they neither load, save, import nor delete box messages themselves.
//
// Saving: every box counts its changes (SmsBox::revision). The library
// remembers the revision each file holds and writes a box only when its
// revision moved past it. A box whose file could not be read is never
// written. Before writing, it checks that the file is still the one it read
// (device, inode, size, time); when another writer changed it meanwhile,
// the file's messages are taken in first (SmsBox::take_in), so nothing that
// writer kept is lost. Reading and writing happen under the data folder's
// lock (data_folder_lock.h).
//
// No Qt, no link: the phone is reached through DeviceOperations.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "desktop/library/background_save.h"
#include "desktop/store/data_move.h"
#include "desktop/store/message_ref.h"
#include "desktop/store/options.h"
#include "desktop/store/orx_exception.h"
#include "desktop/store/outcome.h"
#include "desktop/store/sms_box.h"
#include "desktop/store/status_sink.h"

namespace quillet {

struct BoxSaveReport {
    // One per box that could not be written, its line "inbox1.sms: why";
    // the other boxes were written all the same.
    std::vector<Outcome> failures;
    // Messages another writer had put in the files, now in the boxes too.
    size_t taken_in = 0;
    bool ok() const { return failures.empty(); }
    // The first failure, for a caller that tells one; done when none.
    Outcome outcome() const { return failures.empty() ? Outcome() : failures.front(); }
};

struct GetSmsReport {
    size_t new_messages = 0;  // across the boxes fetched
    size_t arrived = 0;       // of them, in the Inbox
    std::optional<SmsMessage> newest_arrived;
    // The link failed part-way; what was fetched before it is kept.
    std::optional<ORX_Exception> link_failure;
    // A fetched folder did not fit in memory: its box is as it was (the
    // boxes fetched before it keep what they took in), or, when only the
    // matching with imported copies did not fit, holds the phone's copies
    // beside them. Nothing is lost.
    bool out_of_memory = false;
    bool ok() const { return !link_failure && !out_of_memory; }
};

enum class DeleteWhere {
    HereAndOnPhone,  // Delete: gone from the box and from the phone
    OnPhoneOnly,     // Delete on device: kept here, marked as no longer on the phone
};

struct DeletionReport {
    size_t asked = 0;
    size_t deleted = 0;
    // The phone could not be reached; the messages after the failing one
    // are untouched.
    std::optional<ORX_Exception> link_failure;
};

class MessageLibrary {
  public:
    // The boxes of `folder`, not read yet; an empty folder is the user's
    // data folder, once open_user_folder has settled it.
    explicit MessageLibrary(std::filesystem::path folder = {});

    // Every program that works on the user's own data folder calls this
    // first, before anything there is read: the one-time move of an earlier
    // run's files (data_move.h), then the folder it left is this library's.
    // A dry run leaves a move still to be done (Pending) and reads the files
    // where they are, and this library makes no lock file there.
    DataMoveReport open_user_folder(bool dry_run = false);

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path box_path(BoxKind kind) const;

    SmsBox& box(BoxKind kind) { return boxes_[index(kind)]; }
    const SmsBox& box(BoxKind kind) const { return boxes_[index(kind)]; }

    // Reads one box file into its box, under the folder's lock.
    LoadBoxResult load_box(BoxKind kind);
    // Takes in what other writers saved in the loaded boxes' files since
    // this library read or wrote them, as a save does first, without
    // writing: an import or an undo starts from what is on disk.
    BoxSaveReport take_in_changes();
    // Whether the box's file is older than the box (it will be written by
    // the next save_changed).
    bool file_behind(BoxKind kind) const;
    // Writes each box whose file is behind, by the rule above. A save still
    // running in the background is waited for first, and its failures are
    // in the report.
    BoxSaveReport save_changed();
    // The same, but a box of at least background_from() messages is written
    // on a thread of its own from a copy (background_save.h), so the caller
    // does not wait for its file; the smaller boxes are written at once and
    // their failures reported here. `ended` is called on the saving thread
    // when it is done: the caller then calls finish_background_save() on its
    // own. While a save runs, no second one starts; boxes changed meanwhile
    // stay behind for the next call.
    BoxSaveReport save_changed_in_background(std::function<void()> ended);
    // Waits for the background save and takes in its outcome: the boxes it
    // wrote are saved, the ones another writer changed meanwhile stay behind.
    BoxSaveReport finish_background_save();
    bool saving_in_background() const { return background_->running(); }
    // Below this many messages a box is saved at once: its file is written
    // in a few milliseconds. Tests lower it.
    size_t background_from() const { return background_from_; }
    void set_background_from(size_t messages) { background_from_ = messages; }
    // Writes every loaded box whose file is behind into `folder` instead
    // (its own files there, named as here), when the data folder cannot be
    // written: the session's changes are kept somewhere the user chose. The
    // data folder and what this library knows of it stay as they were.
    BoxSaveReport save_copy_to(const std::filesystem::path& folder);

    // Fetches the boxes `options` selects from the phone and merges them
    // (message_merge.h: one kept message stands for one phone message). A
    // fetched message that a kept message without an entry id is (an
    // imported one, one a restore wrote) by MessageMatcher's looser rule is
    // not added again: the kept one takes the phone's entry id and on-phone
    // state. `sink` hears the fetch's texts and progress. Nothing
    // is saved here.
    GetSmsReport get_sms(DeviceOperations& device, const Options& options, StatusSink* sink);

    // Deletes `refs` (any order, duplicates allowed) as `where` says, each
    // box from its end so the places still to come stay valid. Stops at the
    // first message the phone could not be told about.
    DeletionReport delete_messages(std::vector<MessageRef> refs, DeleteWhere where,
                                   DeviceOperations& device);

  private:
    using FileIdentity = BoxFileIdentity;
    static size_t index(BoxKind kind) { return static_cast<size_t>(kind); }
    std::optional<FileIdentity> identity_of(BoxKind kind) const;
    // After a fetch appended messages from `before` on: a kept message no
    // longer on the phone that one of them is takes the phone's entry and
    // the copy goes; the rest are reported as new. Out of memory, nothing is
    // adopted and the std::bad_alloc goes on.
    void adopt_imported(SmsBox& b, size_t before, GetSmsReport& report);
    void adopt_matches(SmsBox& b, size_t before, GetSmsReport& report);
    // Takes in what another writer put in the box's file since it was read;
    // returns the file as it found it.
    std::optional<FileIdentity> take_in_if_changed(BoxKind kind, BoxSaveReport& report);
    // Writes one box now, by the rule above; the caller holds the lock.
    void save_now(SmsBox& b, BoxSaveReport& report);

    static constexpr uint64_t kFileBehind = UINT64_MAX;
    std::filesystem::path folder_;
    bool dry_run_ = false;
    std::array<SmsBox, 3> boxes_{SmsBox(BoxKind::Inbox), SmsBox(BoxKind::SentItems),
                                 SmsBox(BoxKind::DeletedItems)};
    // Per box: the revision its file holds; unset until the box was loaded.
    std::array<std::optional<uint64_t>, 3> saved_revision_;
    // Per box: the file as this library last read or wrote it.
    std::array<std::optional<FileIdentity>, 3> known_file_;
    size_t background_from_ = 50'000;
    // Its own object, so the library can move while a save runs.
    std::unique_ptr<BackgroundSave> background_ = std::make_unique<BackgroundSave>();
};

}  // namespace quillet
