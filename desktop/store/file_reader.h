// Reads a regular file forward in pieces, handing out each piece as a span
// of the bytes asked for. A file up to the chunk size is read with one read
// into one buffer of its own size; a larger one a chunk at a time, so the
// buffer never grows past the chunk (or the largest piece asked for).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace quillet {

class FileReader {
  public:
    // Small enough that each piece is still in the cache when it is decoded
    // (one buffer the size of a large file measured slower: every load then
    // touches that much fresh memory), large enough to need few reads.
    static constexpr size_t kDefaultChunk = 256 * 1024;

    // Opens `path`; on failure ok() is false and error() says why. Reads
    // `chunk` bytes at a time (tests use tiny pieces to cross many borders).
    explicit FileReader(const std::filesystem::path& path, size_t chunk = kDefaultChunk);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool ok() const { return fd_ >= 0 && error_.empty(); }
    const std::string& error() const { return error_; }
    // Bytes not yet taken, by the file's size when it was opened.
    size_t left() const { return size_ - consumed_; }

    // The next n bytes, valid until the next call; nullopt when the file ends
    // first (then nothing is taken) or a read fails (then error() says why).
    std::optional<std::span<const uint8_t>> take(size_t n) {
        if (end_ - begin_ < n && !fill(n))
            return std::nullopt;
        const std::span<const uint8_t> piece(buffer_.get() + begin_, n);
        begin_ += n;
        consumed_ += n;
        return piece;
    }
    std::optional<uint8_t> byte() {
        if (end_ == begin_ && !fill(1))
            return std::nullopt;
        ++consumed_;
        return buffer_[begin_++];
    }

  private:
    // Makes at least n bytes buffered; false when the file cannot give them.
    bool fill(size_t n);

    int fd_ = -1;
    size_t chunk_;
    std::string error_;
    size_t size_ = 0;
    size_t consumed_ = 0;
    // Not zeroed: only bytes read are ever handed out.
    std::unique_ptr<uint8_t[]> buffer_;
    size_t capacity_ = 0;
    size_t begin_ = 0;  // first buffered byte not yet taken
    size_t end_ = 0;    // end of the buffered bytes
};

}  // namespace quillet
