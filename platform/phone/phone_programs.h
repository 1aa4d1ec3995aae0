// The programs running on the emulated phone: host processes started from
// files under the image's fs/ folder.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <vector>

namespace quillet::phone {

// This user's processes whose program file lies under image/fs.
std::vector<pid_t> programs_running_on(const std::filesystem::path& image);

// Ends them as pulling the cable ends them on a real phone: at once, with
// their connections broken, and nothing more sent. Waits (up to 5 s) until
// they are gone; returns how many there were.
size_t end_programs_on(const std::filesystem::path& image);

}  // namespace quillet::phone
