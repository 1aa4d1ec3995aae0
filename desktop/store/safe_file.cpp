#include "safe_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <random>

#include "desktop/store/unique_fd.h"

namespace quillet {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kTempMarker = ".quillet-save-";
constexpr size_t kTempSuffixLength = 6;
constexpr std::string_view kSuffixLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// A save that cannot go on: Refused when the place holds what must not be
// replaced or followed, else Unwritable.
Outcome not_saved(const fs::path& path, std::string_view why, bool refused = false) {
    std::string line = "Could not save " + path.string() + " (" + std::string(why) + ")";
    return refused ? Outcome::refused(std::move(line)) : Outcome::unwritable(std::move(line));
}

Outcome failure(const fs::path& path, const char* step, int err) {
    return not_saved(path, std::string(step) + ": " + std::strerror(err));
}

bool write_all(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string random_suffix() {
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, kSuffixLetters.size() - 1);
    std::string out(kTempSuffixLength, ' ');
    for (char& c : out)
        c = kSuffixLetters[pick(random)];
    return out;
}

bool is_temp_name(std::string_view name) {
    const size_t at = name.rfind(kTempMarker);
    if (at == std::string_view::npos || at == 0)
        return false;
    const std::string_view suffix = name.substr(at + kTempMarker.size());
    return suffix.size() == kTempSuffixLength &&
           suffix.find_first_not_of(kSuffixLetters) == std::string_view::npos;
}

// The folder a save works in, held open so that every later step names the
// same folder whatever happens to the path meanwhile.
UniqueFd open_folder(const fs::path& folder) {
    const char* name = folder.empty() ? "." : folder.c_str();
    UniqueFd fd(::open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid() && errno == EACCES)  // a folder one may write but not list
        fd = UniqueFd(::open(name, O_PATH | O_DIRECTORY | O_CLOEXEC));
    return fd;
}

// Where a save puts its file: the name in a folder held open, and the file
// it replaces there, if any.
struct SaveSpot {
    UniqueFd folder;
    std::string name;
    bool replaces = false;
    struct stat old {};
    bool made_for_link = false;  // an empty file made where a dangling link points
};

// The rule the kernel applies to sticky folders when fs.protected_symlinks is
// on, applied here whether it is on or not, and to every folder others may
// write: a link there is followed only when it belongs to the user saving or
// to the folder's owner. Another user's link could lead anywhere the user
// saving may write.
bool may_follow(int folder, const struct stat& link) {
    struct stat st {};
    if (::fstat(folder, &st) != 0)
        return false;
    if ((st.st_mode & S_IWOTH) == 0)
        return true;
    return link.st_uid == ::geteuid() || link.st_uid == st.st_uid;
}

// Follows the link `name` in `spot.folder` by the kernel's own walk (never by
// reading links here) and moves the spot to the file it reaches. A dangling
// link gets an empty file where it points, which the save then replaces.
Outcome follow_link(const fs::path& path, SaveSpot& spot) {
    UniqueFd target(::openat(spot.folder.get(), spot.name.c_str(), O_PATH | O_CLOEXEC));
    if (!target.valid() && errno == ENOENT) {
        target = UniqueFd(::openat(spot.folder.get(), spot.name.c_str(),
                                   O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK,
                                   new_mode_in(spot.folder.get(), 0666)));
        spot.made_for_link = target.valid();
    }
    struct stat st {};
    if (!target.valid() || ::fstat(target.get(), &st) != 0)
        return not_saved(path, std::string("open the link's target: ") + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        return not_saved(path, "the link leads to something that is not a regular file", true);
    // Where the kernel's walk ended, as it reports it for the open file; the
    // save goes on only while that name still holds the very same file.
    std::error_code ec;
    const fs::path reached = fs::read_symlink("/proc/self/fd/" + std::to_string(target.get()), ec);
    UniqueFd folder = ec ? UniqueFd() : open_folder(reached.parent_path());
    struct stat there {};
    if (!folder.valid() ||
        ::fstatat(folder.get(), reached.filename().c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
        there.st_dev != st.st_dev || there.st_ino != st.st_ino) {
        if (spot.made_for_link)
            ::unlinkat(spot.folder.get(), spot.name.c_str(), 0);
        return not_saved(path, "the link's target moved while it was being saved");
    }
    spot.folder = std::move(folder);
    spot.name = reached.filename().string();
    spot.replaces = true;
    spot.old = st;
    return Outcome::done();
}

// Finds where a save of `path` goes: `path` itself when it names a regular
// file or nothing, the file a link there leads to when the link may be
// followed. Anything else (a FIFO, a device, a folder, another user's link in
// a shared folder) is refused, never replaced or written through.
Outcome locate(const fs::path& path, SaveSpot& spot) {
    spot.name = path.filename().string();
    if (spot.name.empty() || spot.name == "." || spot.name == "..")
        return not_saved(path, "not a file name", true);
    spot.folder = open_folder(path.parent_path());
    if (!spot.folder.valid())
        return not_saved(path, std::string("open the folder: ") + std::strerror(errno));
    struct stat st {};
    if (::fstatat(spot.folder.get(), spot.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return Outcome::done();
        return not_saved(path, std::strerror(errno));
    }
    if (S_ISREG(st.st_mode)) {
        spot.replaces = true;
        spot.old = st;
        return Outcome::done();
    }
    if (!S_ISLNK(st.st_mode))
        return not_saved(path, "not a regular file; it is left as it is", true);
    if (!may_follow(spot.folder.get(), st)) {
        return not_saved(
            path, "a link another user made in a folder others may write; not followed", true);
    }
    return follow_link(path, spot);
}

// A new temporary file in the spot's folder, locked for this save. A file
// that replaces another takes its mode (set before anything is written); a
// new one is created as the umask and its folder allow.
UniqueFd create_temp(const SaveSpot& spot, std::string& name) {
    const mode_t mode = spot.replaces ? 0600 : new_mode_in(spot.folder.get(), 0666);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = spot.name + std::string(kTempMarker) + random_suffix();
        UniqueFd fd(::openat(spot.folder.get(), name.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode));
        if (!fd.valid()) {
            if (errno == EEXIST)
                continue;
            return fd;
        }
        ::flock(fd.get(), LOCK_EX | LOCK_NB);
        if (spot.replaces)
            ::fchmod(fd.get(), spot.old.st_mode & 07777);
        return fd;
    }
    errno = EEXIST;
    return UniqueFd();
}

}  // namespace

Outcome save_file_atomically(const fs::path& path, std::span<const uint8_t> bytes) {
    return save_file_atomically(path, [&](const ChunkWriter& write) { return write(bytes); });
}

Outcome save_file_atomically(const fs::path& path,
                             const std::function<bool(const ChunkWriter&)>& produce) {
    SaveSpot spot;
    if (Outcome located = locate(path, spot); !located)
        return located;
    std::string temp;
    UniqueFd fd = create_temp(spot, temp);
    const auto discard = [&](const char* step) {
        const int err = errno;
        if (fd.valid())
            ::unlinkat(spot.folder.get(), temp.c_str(), 0);
        if (spot.made_for_link)
            ::unlinkat(spot.folder.get(), spot.name.c_str(), 0);
        return failure(path, step, err);
    };
    if (!fd.valid())
        return discard("create");
    const ChunkWriter write = [&](std::span<const uint8_t> piece) {
        return write_all(fd.get(), piece.data(), piece.size());
    };
    bool produced = false;
    try {
        produced = produce(write);
    } catch (const std::bad_alloc&) {
        // What was written goes; the file in place stays whole.
        errno = ENOMEM;
        return discard("write");
    }
    if (!produced)
        return discard("write");
    if (::fsync(fd.get()) != 0)
        return discard("flush");
    // The rename comes before the close, so the lock covers the whole life
    // of the temporary name.
    if (::renameat(spot.folder.get(), temp.c_str(), spot.folder.get(), spot.name.c_str()) != 0)
        return discard("rename");
    ::close(fd.release());  // flushed already: nothing is left for the close to report
    // The rename itself reaches the disk with the folder.
    ::fsync(spot.folder.get());
    return {};
}

Outcome save_file_atomically(const fs::path& path, std::string_view bytes) {
    return save_file_atomically(
        path, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

mode_t new_mode_in(int folder, mode_t mode) {
    struct stat st {};
    if (::fstat(folder, &st) != 0)
        return mode & 0700;  // a folder that cannot be asked: the owner alone
    if ((st.st_mode & S_IXGRP) == 0)
        mode &= ~static_cast<mode_t>(0070);
    if ((st.st_mode & S_IXOTH) == 0)
        mode &= ~static_cast<mode_t>(0007);
    return mode;
}

mode_t new_mode_at(const fs::path& path, mode_t mode) {
    const UniqueFd folder = open_folder(path.parent_path());
    return folder.valid() ? new_mode_in(folder.get(), mode) : mode;
}

bool make_folders(const fs::path& folder, std::error_code& ec) {
    ec.clear();
    if (fs::is_directory(folder, ec))
        return true;
    const fs::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder && !make_folders(parent, ec))
        return false;
    if (::mkdir(folder.c_str(), new_mode_at(folder, 0777)) != 0 && errno != EEXIST) {
        ec.assign(errno, std::generic_category());
        return false;
    }
    ec.clear();
    return true;
}

bool write_scratch_file(const fs::path& path, std::span<const uint8_t> bytes) {
    // The file in place is rewritten when it is a plain file of its own;
    // anything else there (a link, a FIFO) is removed, never followed or
    // waited on, and a new file made.
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat st {};
    if (fd.valid() && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1))
        fd = UniqueFd();
    if (!fd.valid()) {
        ::unlink(path.c_str());  // removes a link itself, never its target
        // O_EXCL also refuses a link planted again since the unlink.
        fd = UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                             new_mode_at(path, 0666)));
    }
    return fd.valid() && ::ftruncate(fd.get(), 0) == 0 &&
           write_all(fd.get(), bytes.data(), bytes.size());
}

fs::path free_aside_name(const fs::path& path, std::string_view suffix) {
    constexpr int kMostKeptAside = 10'000;
    for (int n = 1; n <= kMostKeptAside; ++n) {
        fs::path candidate = path;
        candidate += std::string(suffix) + std::to_string(n);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec)))
            return candidate;
    }
    return {};
}

fs::path keep_copy_aside(const fs::path& path, std::string_view suffix) {
    const fs::path copy = free_aside_name(path, suffix);
    std::error_code ec;
    if (copy.empty() || !fs::copy_file(path, copy, ec))
        return {};
    return copy;
}

RemovedTemps remove_interrupted_saves(const fs::path& folder) {
    RemovedTemps removed;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& file = it->path();
        if (!is_temp_name(file.filename().string()))
            continue;
        const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        struct stat st {};
        if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        // A save still writing holds the lock: its file is left alone.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (::unlink(file.c_str()) == 0) {
            ++removed.files;
            removed.bytes += static_cast<uintmax_t>(st.st_size);
        }
    }
    return removed;
}

Outcome read_data_file(const fs::path& path, std::string& out, uintmax_t max_bytes) {
    const UniqueFd fd = open_for_reading(path);
    if (!fd.valid()) {
        if (errno == ENOENT)
            return Outcome::missing(std::strerror(errno));
        return Outcome::unreadable(std::strerror(errno));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return Outcome::unreadable(std::strerror(errno));
    // A folder or a device in the file's place reads as no file at all, and
    // nothing is allocated for a file larger than the caller can use.
    if (!S_ISREG(st.st_mode))
        return Outcome::unreadable("not a regular file");
    if (static_cast<uintmax_t>(st.st_size) > max_bytes)
        return Outcome::unreadable("larger than " + std::to_string(max_bytes) + " bytes");
    out.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd.get(), out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Outcome::unreadable(std::strerror(errno));
        if (n == 0)
            break;  // the file shrank meanwhile
        done += static_cast<size_t>(n);
    }
    out.resize(done);
    return Outcome::done();
}

bool read_whole_file(const fs::path& path, std::string& out, uintmax_t max_bytes) {
    return read_data_file(path, out, max_bytes).ok();
}

}  // namespace quillet
