#include "link_lock.h"

#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "desktop/store/orx_exception.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxRecord = 256;

// A folder of this user that nobody else can enter or write, seen as it is
// (lstat: a link, even to a private folder, is not one).
bool private_folder(const fs::path& folder) {
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 0777) == 0700;
}

// `folder`, made with mode 0700 when missing, once it has been checked to be
// private; empty with `why` when it is not.
fs::path made_private(const fs::path& folder, std::string& why) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        why = "cannot make " + folder.string() + ": " + std::strerror(errno);
        return {};
    }
    if (!private_folder(folder)) {
        why = folder.string() + " is not a folder of this user closed to others (mode 0700)";
        return {};
    }
    return folder;
}

fs::path home_folder() {
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return home;
    const passwd* user = ::getpwuid(::getuid());
    return user && user->pw_dir ? fs::path(user->pw_dir) : fs::path();
}

}  // namespace

fs::path private_runtime_folder(std::string* why) {
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg == '/') {
        if (private_folder(xdg))
            return fs::path(xdg);
    }
    // In the shared temporary folder another user may have taken the name
    // first; then the one under the user's home serves.
    std::error_code ec;
    std::string in_temp;
    const fs::path temp = fs::temp_directory_path(ec) / ("quillet-" + std::to_string(::getuid()));
    if (fs::path folder = made_private(temp, in_temp); !folder.empty())
        return folder;
    std::string in_home = "no home folder";
    if (const fs::path home = home_folder(); !home.empty()) {
        if (fs::path folder = made_private(home / ".quillet-runtime", in_home); !folder.empty())
            return folder;
    }
    if (why)
        *why = in_temp + "; " + in_home;
    return {};
}

LinkLock::LinkLock(fs::path folder, std::string_view file_name) {
    if (folder.empty())
        folder = private_runtime_folder(&error_);
    if (!folder.empty())
        path_ = folder / file_name;
}

bool LinkLock::try_acquire(std::string_view holder) {
    std::lock_guard guard(mutex_);
    if (held_)
        return true;
    if (path_.empty())
        return false;  // error_ says why
    // Opened without following a link: the folder is private, and a link
    // there would still be nobody's business.
    const auto open_lock = [this] {
        return UniqueFd(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    };
    fd_.emplace(open_lock());
    // Left unreadable (or as a link) by something else of this user: the
    // folder is private, so nobody else's lock is lost by replacing it.
    if (!fd_->valid() && (errno == EACCES || errno == ELOOP) && ::unlink(path_.c_str()) == 0)
        fd_.emplace(open_lock());
    if (!fd_->valid()) {
        error_ = "cannot open " + path_.string() + ": " + std::strerror(errno);
        fd_.reset();
        return false;
    }
    if (::flock(fd_->get(), LOCK_EX | LOCK_NB) != 0) {
        fd_.reset();
        return false;
    }
    held_ = true;
    error_.clear();
    const std::string record = std::string(holder) + " (pid " + std::to_string(::getpid()) + ")\n";
    if (::ftruncate(fd_->get(), 0) == 0) {
        [[maybe_unused]] const ssize_t n = ::pwrite(fd_->get(), record.data(), record.size(), 0);
    }
    return true;
}

bool LinkLock::held() const {
    std::lock_guard guard(mutex_);
    return held_;
}

void LinkLock::release() {
    std::lock_guard guard(mutex_);
    if (!held_)
        return;
    // The record goes before the lock, so nobody reads a stale name.
    [[maybe_unused]] const int ignored = ::ftruncate(fd_->get(), 0);
    fd_.reset();
    held_ = false;
}

std::string LinkLock::other_holder() const {
    if (path_.empty())
        return {};
    UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.valid())
        return {};
    char buffer[kMaxRecord] = {};
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    std::string record(buffer, static_cast<size_t>(n));
    while (!record.empty() && (record.back() == '\n' || record.back() == '\r'))
        record.pop_back();
    return record;
}

SetUpGate program_set_up_gate(LinkLock& lock) {
    return [&lock]() -> std::optional<ORX_Exception> {
        if (lock.try_acquire("quillet"))
            return std::nullopt;
        // Without a lock of its own the program could start a second agent
        // beside quillet-cli get's.
        if (lock.path().empty())
            return ORX_Exception("The phone link cannot be guarded against a second program: " +
                                 lock.error());
        const std::string holder = lock.other_holder();
        return ORX_Exception(ORX_Exception::Kind::PhoneInUse,
                             from_utf8(holder.empty() ? "quillet-cli get" : holder));
    };
}

}  // namespace quillet
