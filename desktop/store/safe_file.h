// Saving a file without ever losing the old one.
//
// The new contents go to a temporary file in the same folder, are flushed to
// disk, and only then renamed over the old file. A save that fails at any
// step leaves the old file whole and says why.
//
// The file keeps what the user gave it: a replaced file keeps its mode, a new
// one gets the mode the umask allows (as any file the user creates), and a
// symbolic link stays a link, its target taking the new contents.
//
// A save replaces only a regular file: a FIFO, a device or a folder in its
// place is refused. A link is followed by the kernel, never read here, and
// only when it is the user's own or the folder owner's wherever others may
// write the folder (the rule of fs.protected_symlinks, kept whether the
// system turns it on or not): another user's link in /tmp is refused.
//
// A new file is no more open than its folder: what the group or others
// cannot enter the folder for, they get no rights to in the file either
// (new_mode_in), so the files of a private data folder stay private.
//
// Temporary files are named "<file>.quillet-save-XXXXXX" (six letters or
// digits) and are locked while a save writes them, so that the leftovers of
// a save that was killed can be told apart and removed at the next start.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "desktop/store/outcome.h"

namespace quillet {

// A failure is Refused when the place holds something a save must not
// replace or follow (see above), else Unwritable; its line names the file and
// the step that failed.
Outcome save_file_atomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);
Outcome save_file_atomically(const std::filesystem::path& path, std::string_view bytes);

// Takes one piece of the new contents; false when it could not be written.
using ChunkWriter = std::function<bool(std::span<const uint8_t>)>;
// The same save for contents made piece by piece, so a large file needs no
// buffer of its whole size: `produce` hands the pieces in order to the
// writer it is given, and returns false when a write failed.
Outcome save_file_atomically(const std::filesystem::path& path,
                             const std::function<bool(const ChunkWriter&)>& produce);

// The mode for a new file or folder in the open folder `folder`: `mode`
// (0666 for a file, 0777 for a folder; the umask applies as always) less
// the group's rights when the group may not enter the folder, and less the
// others' when they may not: a folder only its owner enters (the data
// folder, 0700) gets new files and folders only its owner reads.
mode_t new_mode_in(int folder, mode_t mode);
// The same for a new file or folder at `path`, in the folder it names.
mode_t new_mode_at(const std::filesystem::path& path, mode_t mode);
// Makes `folder` and the folders above it that are missing, each with the
// mode new_mode_in gives in the folder it is made in. False, with `ec` set,
// when one cannot be made.
bool make_folders(const std::filesystem::path& folder, std::error_code& ec);

// Writes a scratch file the program alone reads back (such as the message
// page): a regular file of its own at `path` is rewritten in place; anything
// else there (a symbolic or hard link, a FIFO) is removed, never written
// through or waited on, and a new file is made. Not flushed to disk. False
// when it could not be written.
bool write_scratch_file(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// "<file><suffix><n>" for the first n from 1 that names nothing yet; empty
// when a folder somehow holds all of them.
std::filesystem::path free_aside_name(const std::filesystem::path& path, std::string_view suffix);
// A copy of `path` as it is now, kept beside it as free_aside_name names it
// (such as "inbox1.sms.damaged-1"); empty when no copy could be made.
std::filesystem::path keep_copy_aside(const std::filesystem::path& path, std::string_view suffix);

// What a start-up clean-up removed.
struct RemovedTemps {
    size_t files = 0;
    uintmax_t bytes = 0;
};
// Removes the temporary files of saves that were interrupted (killed, power
// lost) from `folder`: regular files named by the pattern above that no save
// holds locked. Nothing else is touched.
RemovedTemps remove_interrupted_saves(const std::filesystem::path& folder);

inline constexpr uintmax_t kMaxWholeFile = 256 * 1024 * 1024;
// The whole file into `out`. Never waits on a FIFO or device in the file's
// place, and allocates nothing for a file larger than `max_bytes`. Missing
// when no file has that name; Unreadable, with the reason alone ("not a
// regular file"), when the file is there but is not a readable regular file
// of at most `max_bytes`.
Outcome read_data_file(const std::filesystem::path& path, std::string& out,
                       uintmax_t max_bytes = kMaxWholeFile);
// The whole file, or false when it is not a readable regular file or is
// larger than `max_bytes`.
bool read_whole_file(const std::filesystem::path& path, std::string& out,
                     uintmax_t max_bytes = kMaxWholeFile);

}  // namespace quillet
