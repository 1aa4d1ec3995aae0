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
    if (n > left())
        return false;
    if (end_ - begin_ >= n)
        return true;
    // Keep what is buffered, at the front, and read on behind it.
    if (end_ > begin_)
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
    if (buffer_.size() < n)
        buffer_.resize(std::max(n, chunk_));
    if (buffer_.size() < chunk_)
        buffer_.resize(chunk_);
    while (end_ < n) {
        const ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
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

std::optional<std::span<const uint8_t>> FileReader::take(size_t n) {
    if (!ok() || !fill(n))
        return std::nullopt;
    const std::span<const uint8_t> piece(buffer_.data() + begin_, n);
    begin_ += n;
    consumed_ += n;
    return piece;
}

std::optional<uint8_t> FileReader::byte() {
    const auto piece = take(1);
    if (!piece)
        return std::nullopt;
    return (*piece)[0];
}

}  // namespace quillet
