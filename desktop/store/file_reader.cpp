#include "file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quillet {
FileReader::FileReader(const std::filesystem::path& path, size_t chunk)
    : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), chunk_(std::max<size_t>(chunk, 1)) {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        error_ = std::strerror(errno);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        error_ = "not a regular file";
        return;
    }
    size_ = static_cast<size_t>(st.st_size);
}

FileReader::~FileReader() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool FileReader::fill(size_t n) {
    if (!ok() || n > left())
        return false;
    const size_t buffered = end_ - begin_;
    // The buffer holds the rest of the file when it fits in a chunk.
    const size_t wanted = std::max(n, std::min(chunk_, left()));
    if (capacity_ < wanted) {
        auto larger = std::make_unique_for_overwrite<uint8_t[]>(wanted);
        if (buffered > 0)
            std::memcpy(larger.get(), buffer_.get() + begin_, buffered);
        buffer_ = std::move(larger);
        capacity_ = wanted;
    } else if (buffered > 0 && begin_ > 0) {
        // Keep what is buffered, at the front, and read on behind it.
        std::memmove(buffer_.get(), buffer_.get() + begin_, buffered);
    }
    begin_ = 0;
    end_ = buffered;
    while (end_ < n) {
        const ssize_t got = ::read(fd_, buffer_.get() + end_, capacity_ - end_);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error_ = std::strerror(errno);
            return false;
        }
        if (got == 0)
            return false;  // the file shrank since it was opened
        end_ += static_cast<size_t>(got);
    }
    return true;
}

}  // namespace quillet
