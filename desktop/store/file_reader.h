// Reads a regular file forward in pieces, handing out each piece as a span
// of the bytes asked for. Holds only a small buffer (more only while one
// piece is larger), so reading a large file does not first copy all of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillet {

class FileReader {
  public:
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
    std::optional<std::span<const uint8_t>> take(size_t n);
    std::optional<uint8_t> byte();

  private:
    bool fill(size_t n);

    int fd_ = -1;
    size_t chunk_;
    std::string error_;
    size_t size_ = 0;
    size_t consumed_ = 0;
    std::vector<uint8_t> buffer_;
    size_t begin_ = 0;  // first buffered byte not yet taken
    size_t end_ = 0;    // end of the buffered bytes
};

}  // namespace quillet
