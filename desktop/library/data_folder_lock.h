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

class DataFolderLock {
  public:
    // Blocks until the folder's lock is held (or cannot be had, see above).
    explicit DataFolderLock(const std::filesystem::path& folder);
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

  private:
    UniqueFd fd_;
};

}  // namespace quillet
