// A FIFO made at a path and opened from the other side after a while, so
// that a reader or writer blocked on it is let go and the test fails instead
// of hanging.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace quillet::test {

class FifoWatchdog {
  public:
    // `patience`: how long a side may stay blocked; `hold`: how long the
    // other side then stays open.
    FifoWatchdog(std::filesystem::path path, std::chrono::milliseconds patience,
                 std::chrono::milliseconds hold)
        : path_(std::move(path)) {
        ::mkfifo(path_.c_str(), 0600);
        thread_ = std::thread([this, patience, hold] {
            for (auto waited = std::chrono::milliseconds(0); waited < patience && !done_;
                 waited += std::chrono::milliseconds(10))
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (done_)
                return;
            had_to_release_ = true;
            const int fd = ::open(path_.c_str(), O_RDWR | O_NONBLOCK);  // never blocks
            std::this_thread::sleep_for(hold);
            if (fd >= 0)
                ::close(fd);
        });
    }
    ~FifoWatchdog() { finish(); }
    FifoWatchdog(const FifoWatchdog&) = delete;
    FifoWatchdog& operator=(const FifoWatchdog&) = delete;
    // True when nothing had to be let go.
    bool finish() {
        done_ = true;
        if (thread_.joinable())
            thread_.join();
        return !had_to_release_;
    }

  private:
    std::filesystem::path path_;
    std::atomic<bool> done_{false};
    std::atomic<bool> had_to_release_{false};
    std::thread thread_;
};

}  // namespace quillet::test
