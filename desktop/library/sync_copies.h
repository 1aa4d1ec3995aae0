// A data folder kept in a file-sync folder (Syncthing, Nextcloud or
// ownCloud, Dropbox) so that two computers share it. When both changed a
// box between two syncs, the sync program keeps one version under the box's
// name and the other beside it as a conflict copy
// ("inbox1.sync-conflict-20261210-101010-ABCDEFG.sms",
// "inbox1 (conflicted copy 2026-12-10).sms", "inbox1_conflict-….sms"):
// the messages kept only on the other computer are in that copy. The
// window offers to take such copies in through the importer (each copy is
// a Quillet box file it reads, one undoable import).
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "desktop/library/import_record.h"

namespace quillet {

enum class SyncService { None, Syncthing, Nextcloud, Dropbox };

// The conflict copies of the three box files in `folder`, sorted; only
// regular files.
std::vector<std::filesystem::path> box_conflict_copies(const std::filesystem::path& folder);

// Those of `copies` no import of `imports` read yet (undone ones count as
// read: the user took them out on purpose).
std::vector<std::filesystem::path> not_imported(const std::vector<std::filesystem::path>& copies,
                                                const ImportFolder& imports);

// The sync program that keeps `folder` in step, told by the marks it leaves
// in the folder it syncs (`folder` or one above it): Syncthing's
// ".stfolder", the Nextcloud and ownCloud clients' ".sync_….db" journal,
// Dropbox's ".dropbox" and ".dropbox.cache".
SyncService sync_service_of(const std::filesystem::path& folder);
std::string_view sync_service_name(SyncService service);

}  // namespace quillet
