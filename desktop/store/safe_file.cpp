#include "safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "desktop/store/unique_fd.h"

namespace quillet {
namespace {

SaveResult failure(const std::filesystem::path& path, const char* step, int err) {
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

}  // namespace

SaveResult save_file_atomically(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    return save_file_atomically(path, [&](const ChunkWriter& write) { return write(bytes); });
}

SaveResult save_file_atomically(const std::filesystem::path& path,
                                const std::function<bool(const ChunkWriter&)>& produce) {
    std::string temp = path.string() + ".XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (fd.get() < 0)
        return failure(path, "create", errno);
    ::fchmod(fd.get(), 0644);
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
    if (::close(fd.release()) != 0)
        return discard("close");
    if (::rename(temp.c_str(), path.c_str()) != 0)
        return discard("rename");
    // The rename itself reaches the disk with the folder.
    UniqueFd dir(::open(path.parent_path().empty() ? "." : path.parent_path().c_str(),
                        O_RDONLY | O_DIRECTORY));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return {};
}

SaveResult save_file_atomically(const std::filesystem::path& path, std::string_view bytes) {
    return save_file_atomically(
        path, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

bool read_whole_file(const std::filesystem::path& path, std::string& out, uintmax_t max_bytes) {
    // A folder or a device in the file's place reads as no file at all, and
    // nothing is allocated for a file larger than the caller can use.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > max_bytes)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.resize(static_cast<size_t>(size));
    in.read(out.data(), static_cast<std::streamsize>(size));
    out.resize(static_cast<size_t>(in.gcount()));
    return !in.bad();
}

}  // namespace quillet
