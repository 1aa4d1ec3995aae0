#include "tools/quillet-phone/autostart.h"

#include <spawn.h>

#include <iostream>
#include <string>

#include "platform/registry/registry.h"
#include "protocol/text_codec.h"

extern char** environ;

namespace quillet::phone_tool {
namespace {

// A value may hold its program's path in double quotes.
std::string program_path(std::u16string_view value) {
    std::string path = to_utf8(value);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
        path = path.substr(1, path.size() - 2);
    }
    return path;
}

}  // namespace

void start_autostart_programs() {
    for (const auto& [name, value] : registry::values(registry::kAutoStartKey)) {
        const std::string path = program_path(value);
        if (path.empty())
            continue;
        std::string arg0 = path;
        char* argv[] = {arg0.data(), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) {
            std::cerr << "quillet-phone: cannot start " << name << " (" << path << ")\n";
            continue;
        }
        std::cout << "started " << name << " (" << path << ")\n";
    }
}

}  // namespace quillet::phone_tool
