// Who may set the phone link up: the running program or "quillet-cli get",
// never both at once, since two agents started on one phone would fight over
// its one connection.
//
// The lock is a file, "quillet-link.lock", in the user's private runtime
// folder, held with flock(): the system frees it when its holder ends, so a
// killed holder leaves nothing to clean up. The holder writes its name and
// process id into the file, for the other side to tell the user who it is.
// What the file holds never matters to the lock: an empty or garbled file is
// taken as any other, and one this user cannot open (its own, as the folder
// is private) is replaced.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/unique_fd.h"

namespace quillet {

// The user's private runtime folder: $XDG_RUNTIME_DIR when it is the user's
// own and closed to others, else "quillet-<uid>" in the temporary folder,
// else ".quillet-runtime" in the user's home; each made with mode 0700 when
// missing and used only when lstat finds a folder of the user's own with
// mode 0700 (another user may have taken the name in the temporary folder
// first). Empty when none can be had; `why` then says why.
std::filesystem::path private_runtime_folder(std::string* why = nullptr);

class LinkLock {
  public:
    static constexpr const char* kFileName = "quillet-link.lock";

    // The lock file `file_name` in `folder`; an empty folder means
    // private_runtime_folder(). (The one-instance guard is the same kind of
    // lock under another name.)
    explicit LinkLock(std::filesystem::path folder = {}, std::string_view file_name = kFileName);
    ~LinkLock() { release(); }
    LinkLock(const LinkLock&) = delete;
    LinkLock& operator=(const LinkLock&) = delete;

    // Takes the lock unless another process holds it, and records `holder`
    // ("quillet", "quillet-cli get"). True when held afterwards (also when
    // already held). Safe from several threads.
    bool try_acquire(std::string_view holder);
    bool held() const;
    // Frees it (also done at destruction).
    void release();

    // The other holder's record ("quillet-cli get (pid 123)"), or "" when
    // nobody holds the lock or it cannot be read.
    std::string other_holder() const;
    // Why try_acquire failed for a reason other than another holder: no
    // private folder, or the file could not be opened.
    const std::string& error() const { return error_; }

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
    mutable std::mutex mutex_;
    std::optional<UniqueFd> fd_;
    bool held_ = false;
    std::string error_;
};

// The program's gate for its link: takes `lock` for "quillet" at the first
// set-up that can and keeps it; refuses a set-up while another holds it,
// naming the holder. Without a private folder there is no lock to take, and
// every set-up is refused with the reason. `lock` must outlive the link.
SetUpGate program_set_up_gate(LinkLock& lock);

}  // namespace quillet
