#include "app_paths.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "desktop/store/safe_file.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace fs = std::filesystem;
namespace {

std::mutex g_mutex;
std::optional<fs::path> g_program_override;
std::optional<fs::path> g_data_override;
bool g_data_in_program_folder = false;

fs::path executable_folder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path();
    return exe.parent_path();
}

fs::path resolve(const fs::path& folder, std::u16string_view name) {
    std::string utf8 = to_utf8(name);
    if (!utf8.empty() && (utf8[0] == '/' || utf8[0] == '\\'))
        return fs::path(utf8);
    for (char& c : utf8) {
        if (c == '\\')
            c = '/';
    }
    return folder / utf8;
}

// <prefix> when the program runs from <prefix>/bin beside
// <prefix>/share/quillet; empty for a program folder of its own.
fs::path installed_prefix(const fs::path& program) {
    if (program.filename() != "bin")
        return {};
    const fs::path prefix = program.parent_path();
    std::error_code ec;
    if (!fs::is_directory(prefix / "share/quillet", ec))
        return {};
    return prefix;
}

bool is_agent(std::u16string_view name) {
    return name.starts_with(u"ondevice\\") || name.starts_with(u"ondevice/") || name == u"ondevice";
}

}  // namespace

fs::path program_folder() {
    {
        std::lock_guard lock(g_mutex);
        if (g_program_override)
            return *g_program_override;
    }
    return executable_folder();
}

bool is_portable() {
    std::error_code ec;
    return fs::exists(program_folder() / kPortableMarker, ec);
}

fs::path user_data_folder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && *xdg == '/')
        return fs::path(xdg) / "quillet";
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr && *home == '/' ? home : "/tmp") / ".local/share/quillet";
}

fs::path data_folder() {
    bool in_program_folder = false;
    {
        std::lock_guard lock(g_mutex);
        if (g_data_override)
            return *g_data_override;
        in_program_folder = g_data_in_program_folder;
    }
    if (in_program_folder || is_portable())
        return program_folder();
    const fs::path data = user_data_folder();
    std::error_code ec;
    make_data_folder(data, ec);
    return data;
}

bool make_data_folder(const fs::path& folder, std::error_code& ec) {
    ec.clear();
    if (fs::is_directory(folder, ec))
        return true;
    fs::create_directories(folder.parent_path(), ec);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        ec.assign(errno, std::generic_category());
        return false;
    }
    ec.clear();
    return true;
}

fs::path app_file_path(std::u16string_view name) {
    return resolve(data_folder(), name);
}

fs::path app_relative_path(std::string_view name) {
    return app_file_path(from_ansi(name));
}

fs::path resource_path(std::u16string_view name) {
    const fs::path program = program_folder();
    const fs::path prefix = installed_prefix(program);
    if (prefix.empty())
        return resolve(program, name);
    return resolve(prefix / (is_agent(name) ? "lib/quillet" : "share/quillet"), name);
}

void keep_data_in_program_folder(bool keep) {
    std::lock_guard lock(g_mutex);
    g_data_in_program_folder = keep;
}

void set_app_folders_for_testing(const fs::path& program, const fs::path& data) {
    std::lock_guard lock(g_mutex);
    g_program_override = program;
    g_data_override = data;
}

void set_program_folder_for_testing(const fs::path& program) {
    std::lock_guard lock(g_mutex);
    g_program_override = program;
    g_data_override.reset();
}

bool data_folder_fixed_for_testing() {
    std::lock_guard lock(g_mutex);
    return g_data_override.has_value();
}

}  // namespace quillet
