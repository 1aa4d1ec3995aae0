#include "app_paths.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <optional>

#include "protocol/text_codec.h"

namespace quillet {
namespace fs = std::filesystem;
namespace {

std::mutex g_mutex;
std::optional<fs::path> g_program_override;
std::optional<fs::path> g_data_override;

fs::path executable_folder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path();
    return exe.parent_path();
}

bool writable(const fs::path& folder) {
    return ::access(folder.c_str(), W_OK) == 0;
}

fs::path xdg_data_folder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && *xdg == '/')
        return fs::path(xdg) / "quillet";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : "/tmp") / ".local/share/quillet";
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

}  // namespace

fs::path program_folder() {
    {
        std::lock_guard lock(g_mutex);
        if (g_program_override)
            return *g_program_override;
    }
    return executable_folder();
}

fs::path data_folder() {
    {
        std::lock_guard lock(g_mutex);
        if (g_data_override)
            return *g_data_override;
    }
    const fs::path program = executable_folder();
    if (writable(program))
        return program;
    const fs::path data = xdg_data_folder();
    std::error_code ec;
    fs::create_directories(data, ec);
    return data;
}

fs::path app_file_path(std::u16string_view name) {
    return resolve(data_folder(), name);
}

fs::path app_relative_path(std::string_view name) {
    return app_file_path(from_ansi(name));
}

fs::path resource_path(std::u16string_view name) {
    return resolve(program_folder(), name);
}

void set_app_folders_for_testing(const fs::path& program, const fs::path& data) {
    std::lock_guard lock(g_mutex);
    g_program_override = program;
    g_data_override = data;
}

}  // namespace quillet
