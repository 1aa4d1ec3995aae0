// Reads a whole file into memory on a thread of its own, a piece at a time,
// while its caller works on what has already arrived: loading a large box
// then costs little more than decoding it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace quillet {

class ReadAhead {
  public:
    // Starts reading `size` bytes from `fd` (at its current offset) into
    // `dest`. Both must outlive this object; `fd` is not closed here. When
    // no thread can be started, reads everything before returning.
    ReadAhead(int fd, uint8_t* dest, size_t size);
    // Stops the reading (after the piece under way) and waits for it.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Waits until at least `end` bytes have arrived or the reading has
    // ended, and returns how many have arrived. Bytes below the returned
    // count may be read (and changed) by the caller; the reader never
    // touches them again.
    size_t wait_for(size_t end);
    // Why the reading ended before `size` bytes; empty when it did not, or
    // when the file was simply shorter. Call after wait_for returned less
    // than was asked.
    const std::string& error() const { return error_; }

  private:
    // Small enough for a piece to be still in the cache when it is decoded,
    // large enough to need few reads.
    static constexpr size_t kPiece = 256 * 1024;
    // Set in progress_ with the count when the reading has ended.
    static constexpr uint64_t kEnded = uint64_t{1} << 63;

    void read_all();

    int fd_;
    uint8_t* dest_;
    size_t size_;
    std::string error_;  // written by the reader before it sets kEnded
    std::atomic<uint64_t> progress_{0};
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

}  // namespace quillet
