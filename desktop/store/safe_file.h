// Saving a file without ever losing the old one.
//
// The new contents go to a temporary file in the same folder, are flushed to
// disk, and only then renamed over the old file. A save that fails at any
// step leaves the old file whole and says why.
#pragma once

#include <cstdint>
#include <filesystem>
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

// The whole file, or nothing when it cannot be read.
bool read_whole_file(const std::filesystem::path& path, std::string& out);

}  // namespace quillet
