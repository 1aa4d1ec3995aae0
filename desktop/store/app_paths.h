// Where the desktop program finds its files.
//
// The program folder is the executable's folder. The read-only resources
// ("ondevice", "templates", "help") lie in it in the build tree and in a
// copied program folder; in the installed layout (the executable in
// <prefix>/bin) the agent is in <prefix>/lib/quillet and the rest in
// <prefix>/share/quillet.
//
// The data folder holds what the program writes (box files, settings,
// contacts, log, the message page): $XDG_DATA_HOME/quillet (default
// ~/.local/share/quillet, created on use for its owner alone, 0700), unless a file named "portable"
// stands in the program folder: then the program folder is the data folder.
// Backslashes in relative names are folder separators. Every call returns a
// value of its own, so both threads may use them.
#pragma once

#include <filesystem>
#include <string_view>

namespace quillet {

inline constexpr std::string_view kPortableMarker = "portable";

std::filesystem::path program_folder();
// A file named "portable" stands in the program folder.
bool is_portable();
// $XDG_DATA_HOME/quillet (an absolute XDG_DATA_HOME only), else
// ~/.local/share/quillet; not created.
std::filesystem::path user_data_folder();
std::filesystem::path data_folder();
// Makes the data folder `folder` where it is missing: only its owner may
// enter it (0700), as it holds every message; the folders above it are made
// as usual. A folder that is there already keeps the rights its owner gave
// it (the manual says how to close one).
bool make_data_folder(const std::filesystem::path& folder, std::error_code& ec);

// A data file: `name` resolved against the data folder. A name beginning with
// "/" or "\" is returned as given.
std::filesystem::path app_file_path(std::u16string_view name);
// The same for an 8-bit (code page) name.
std::filesystem::path app_relative_path(std::string_view name);
// A read-only resource, in the program folder or the installed layout.
std::filesystem::path resource_path(std::u16string_view name);

// For this run only, the program folder is the data folder (the files of an
// earlier run could not be moved out of it).
void keep_data_in_program_folder(bool keep);

// Tests run the program's code from their own folders: a fixed program and
// data folder, or only a program folder (the data folder then follows the
// rule, from the test's XDG_DATA_HOME).
void set_app_folders_for_testing(const std::filesystem::path& program,
                                 const std::filesystem::path& data);
void set_program_folder_for_testing(const std::filesystem::path& program);
// True while a fixed data folder is set: its place is settled.
bool data_folder_fixed_for_testing();

}  // namespace quillet
