// The PC's registry, as much of it as the program uses: string values under
// keys of HKEY_LOCAL_MACHINE, kept in "registry.ini" in the platform root
// ($QUILLET_PLATFORM_ROOT, else $XDG_DATA_HOME/quillet-platform).
//
// registry.ini holds one section per key and one line per value:
//   [Software\Microsoft\Windows CE Services\AutoStartOnConnect]
//   Quillet=/opt/quillet/quillet
// Values are UTF-8; a backslash, CR or LF in a value is written as \\, \r, \n.
// Changes are written to a temporary file and renamed over the old one.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillet::registry {

// The key whose values the phone-synchronisation service starts when a
// phone connects.
inline constexpr std::string_view kAutoStartKey =
    "Software\\Microsoft\\Windows CE Services\\AutoStartOnConnect";

std::filesystem::path registry_file();

std::optional<std::u16string> query_string(std::string_view key, std::string_view name);
// Creates the key when needed. False when the file cannot be written.
bool set_string(std::string_view key, std::string_view name, std::u16string_view value);
// An absent value is no error.
bool delete_value(std::string_view key, std::string_view name);
// Every value of the key, in file order.
std::vector<std::pair<std::string, std::u16string>> values(std::string_view key);

}  // namespace quillet::registry
