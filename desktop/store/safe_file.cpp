#include "safe_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "desktop/store/unique_fd.h"

namespace quillet {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kTempMarker = ".quillet-save-";
constexpr size_t kTempSuffixLength = 6;
constexpr std::string_view kSuffixLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

SaveResult failure(const fs::path& path, const char* step, int err) {
    return {false, std::string("Could not save ") + path.string() + " (" + step + ": " +
                       std::strerror(err) + ")"};
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

// A new temporary file beside `target`, locked for this save. A file that
// replaces another takes its mode (set before anything is written); a new
// one is created as the umask allows.
UniqueFd create_temp(const fs::path& target, std::string& name) {
    struct stat old {};
    const bool replaces = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target.string() + std::string(kTempMarker) + random_suffix();
        UniqueFd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                           replaces ? 0600 : 0666));
        if (!fd.valid()) {
            if (errno == EEXIST)
                continue;
            return fd;
        }
        ::flock(fd.get(), LOCK_EX | LOCK_NB);
        if (replaces)
            ::fchmod(fd.get(), old.st_mode & 07777);
        return fd;
    }
    errno = EEXIST;
    return UniqueFd();
}

}  // namespace

fs::path save_target(const fs::path& path) {
    constexpr int kMostLinks = 40;  // as the kernel follows
    fs::path target = path;
    for (int hops = 0; hops < kMostLinks; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(target, ec)))
            return target;
        const fs::path next = fs::read_symlink(target, ec);
        if (ec)
            return path;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return path;
}

SaveResult save_file_atomically(const fs::path& path, std::span<const uint8_t> bytes) {
    return save_file_atomically(path, [&](const ChunkWriter& write) { return write(bytes); });
}

SaveResult save_file_atomically(const fs::path& path,
                                const std::function<bool(const ChunkWriter&)>& produce) {
    const fs::path target = save_target(path);
    std::string temp;
    UniqueFd fd = create_temp(target, temp);
    if (!fd.valid())
        return failure(path, "create", errno);
    const auto discard = [&](const char* step) {
        const int err = errno;
        ::unlink(temp.c_str());
        return failure(path, step, err);
    };
    const ChunkWriter write = [&](std::span<const uint8_t> piece) {
        return write_all(fd.get(), piece.data(), piece.size());
    };
    if (!produce(write))
        return discard("write");
    if (::fsync(fd.get()) != 0)
        return discard("flush");
    // The rename comes before the close, so the lock covers the whole life
    // of the temporary name.
    if (::rename(temp.c_str(), target.c_str()) != 0)
        return discard("rename");
    ::close(fd.release());  // flushed already: nothing is left for the close to report
    // The rename itself reaches the disk with the folder.
    UniqueFd dir(::open(target.parent_path().empty() ? "." : target.parent_path().c_str(),
                        O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
    return {};
}

SaveResult save_file_atomically(const fs::path& path, std::string_view bytes) {
    return save_file_atomically(
        path, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
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
        fd = UniqueFd(
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
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

ReadStatus read_data_file(const fs::path& path, std::string& out, std::string& error,
                          uintmax_t max_bytes) {
    const UniqueFd fd = open_for_reading(path);
    if (!fd.valid()) {
        if (errno == ENOENT)
            return ReadStatus::Missing;
        error = std::strerror(errno);
        return ReadStatus::Unreadable;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        error = std::strerror(errno);
        return ReadStatus::Unreadable;
    }
    // A folder or a device in the file's place reads as no file at all, and
    // nothing is allocated for a file larger than the caller can use.
    if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
        return ReadStatus::Unreadable;
    }
    if (static_cast<uintmax_t>(st.st_size) > max_bytes) {
        error = "larger than " + std::to_string(max_bytes) + " bytes";
        return ReadStatus::Unreadable;
    }
    out.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd.get(), out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = std::strerror(errno);
            return ReadStatus::Unreadable;
        }
        if (n == 0)
            break;  // the file shrank meanwhile
        done += static_cast<size_t>(n);
    }
    out.resize(done);
    return ReadStatus::Read;
}

bool read_whole_file(const fs::path& path, std::string& out, uintmax_t max_bytes) {
    std::string error;
    return read_data_file(path, out, error, max_bytes) == ReadStatus::Read;
}

}  // namespace quillet
