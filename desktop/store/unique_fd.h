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
inline UniqueFd open_for_reading(const std::filesystem::path& path) {
    return UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

}  // namespace quillet
