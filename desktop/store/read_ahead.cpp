#include "read_ahead.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace quillet {

ReadAhead::ReadAhead(int fd, uint8_t* dest, size_t size) : fd_(fd), dest_(dest), size_(size) {
    try {
        reader_ = std::thread([this] { read_all(); });
    } catch (const std::system_error&) {
        read_all();  // no thread to be had: read it all now, more slowly
    }
}

ReadAhead::~ReadAhead() {
    stop_.store(true, std::memory_order_relaxed);
    if (reader_.joinable())
        reader_.join();
}

void ReadAhead::read_all() {
    size_t filled = 0;
    while (filled < size_ && !stop_.load(std::memory_order_relaxed)) {
        const ssize_t n = ::read(fd_, dest_ + filled, std::min(kPiece, size_ - filled));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error_ = std::strerror(errno);
        if (n <= 0)
            break;  // an error, or the file shrank since it was measured
        filled += static_cast<size_t>(n);
        progress_.store(filled, std::memory_order_release);
        progress_.notify_one();
    }
    progress_.store(filled | kEnded, std::memory_order_release);
    progress_.notify_one();
}

size_t ReadAhead::wait_for(size_t end) {
    for (;;) {
        const uint64_t seen = progress_.load(std::memory_order_acquire);
        const auto filled = static_cast<size_t>(seen & ~kEnded);
        if (filled >= end || (seen & kEnded) != 0)
            return filled;
        progress_.wait(seen, std::memory_order_acquire);
    }
}

}  // namespace quillet
