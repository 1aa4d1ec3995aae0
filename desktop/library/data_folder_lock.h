// Who may write the data folder's box files, and when: every writer (the
// window, quillet-cli, an import) reads and writes them only while it holds
// this lock, and holds it only for the reading or the writing itself, never
// across an exchange with the phone. A writer that finds a file changed
// since it read it takes the file's messages in before it saves
// (MessageLibrary::save_changed), so no writer puts an old copy back.
//
// The lock is flock() on ".quillet-data.lock" in the data folder: the system
// frees it when its holder ends. Where the file cannot be made (a read-only
// folder) there is nothing another writer could change either, and the
// lock is taken as held.
#pragma once

#include <filesystem>

#include "desktop/store/unique_fd.h"

namespace quillet {

inline constexpr char kDataLockFileName[] = ".quillet-data.lock";
inline constexpr char kImportLockFileName[] = ".quillet-import.lock";

class DataFolderLock {
  public:
    // Blocks until the folder's lock is held (or cannot be had, see above).
    // Without `create`, a folder without the lock file is left without one
    // (a dry run changes nothing) and the lock is taken as held: only a
    // writer, which makes the file, could change what is read.
    explicit DataFolderLock(const std::filesystem::path& folder, bool create = true);
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

  private:
    UniqueFd fd_;
};

// One import, undo or clean-up of interrupted imports at a time on a data
// folder, held for the whole run (reading the backups included), so that a
// clean-up never takes a running import for the remains of a killed one.
// flock() on ".quillet-import.lock" in the data folder, never waited for:
// the system frees it when its holder ends. Where the file cannot be made
// (a read-only folder) nothing could be imported there either, and the lock
// is taken as held.
class ImportLock {
  public:
    explicit ImportLock(const std::filesystem::path& folder);
    ~ImportLock();
    ImportLock(const ImportLock&) = delete;
    ImportLock& operator=(const ImportLock&) = delete;

    // False: another process (or another ImportLock of this one) holds it.
    bool held() const { return held_; }

  private:
    UniqueFd fd_;
    bool held_ = false;
};

}  // namespace quillet
