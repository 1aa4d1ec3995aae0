// Owns a file descriptor and closes it on every path.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

namespace quillet {

class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0)
                ::close(fd_);
            fd_ = other.release();
        }
        return *this;
    }

    bool valid() const { return fd_ >= 0; }
    int get() const { return fd_; }
    // Hands the descriptor over; this object no longer closes it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

// `path` opened read-only; invalid when it cannot be (errno says why).
// Never waits: a FIFO or device in a data file's place opens at once (the
// caller checks the type with fstat before reading), and reads of a regular
// file are not affected by the flag.
inline UniqueFd open_for_reading(const std::filesystem::path& path) {
    return UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
}

}  // namespace quillet
