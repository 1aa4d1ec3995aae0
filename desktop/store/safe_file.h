// Saving a file without ever losing the old one.
//
// The new contents go to a temporary file in the same folder, are flushed to
// disk, and only then renamed over the old file. A save that fails at any
// step leaves the old file whole and says why.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

namespace quillet {

struct SaveResult {
    bool ok = true;
    std::string error;  // what failed, for the user; empty when ok
    explicit operator bool() const { return ok; }
};

SaveResult save_file_atomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);
SaveResult save_file_atomically(const std::filesystem::path& path, std::string_view bytes);

// Takes one piece of the new contents; false when it could not be written.
using ChunkWriter = std::function<bool(std::span<const uint8_t>)>;
// The same save for contents made piece by piece, so a large file needs no
// buffer of its whole size: `produce` hands the pieces in order to the
// writer it is given, and returns false when a write failed.
SaveResult save_file_atomically(const std::filesystem::path& path,
                                const std::function<bool(const ChunkWriter&)>& produce);

// The whole file, or false when it is not a readable regular file or is
// larger than `max_bytes`.
inline constexpr uintmax_t kMaxWholeFile = 256 * 1024 * 1024;
bool read_whole_file(const std::filesystem::path& path, std::string& out,
                     uintmax_t max_bytes = kMaxWholeFile);

}  // namespace quillet
