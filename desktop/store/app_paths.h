// Where the desktop program finds its files.
//
// The program folder holds the executable and its read-only resources
// ("ondevice", "templates", "help"). The data folder holds what the program
// writes (box files, settings, contacts, log, the message page): the program
// folder when it is writable, else $XDG_DATA_HOME/quillet (created on use).
// Backslashes in relative names are folder separators. Every call returns a
// value of its own, so both threads may use them.
#pragma once

#include <filesystem>
#include <string_view>

namespace quillet {

std::filesystem::path program_folder();
std::filesystem::path data_folder();

// A data file: `name` resolved against the data folder. A name beginning with
// "/" or "\" is returned as given.
std::filesystem::path app_file_path(std::u16string_view name);
// The same for an 8-bit (code page) name.
std::filesystem::path app_relative_path(std::string_view name);
// A read-only resource beside the executable.
std::filesystem::path resource_path(std::u16string_view name);

// Tests run the program's code from their own folders.
void set_app_folders_for_testing(const std::filesystem::path& program,
                                 const std::filesystem::path& data);

}  // namespace quillet
