#include "desktop/library/data_folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace quillet {

DataFolderLock::DataFolderLock(const std::filesystem::path& folder, bool create)
    : fd_(::open((folder / kDataLockFileName).c_str(),
                 O_RDWR | (create ? O_CREAT : 0) | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600)) {
    if (!fd_.valid())
        return;
    while (::flock(fd_.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
}

DataFolderLock::~DataFolderLock() {
    if (fd_.valid())
        ::flock(fd_.get(), LOCK_UN);
}

ImportLock::ImportLock(const std::filesystem::path& folder)
    : fd_(::open((folder / kImportLockFileName).c_str(),
                 O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600)) {
    if (!fd_.valid()) {
        held_ = true;
        return;
    }
    int result = 0;
    while ((result = ::flock(fd_.get(), LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    held_ = result == 0;
}

ImportLock::~ImportLock() {
    if (fd_.valid() && held_)
        ::flock(fd_.get(), LOCK_UN);
}

}  // namespace quillet
