#include "platform/phone/phone_programs.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/phone/phone_image.h"

namespace quillet::phone {
namespace fs = std::filesystem;

std::vector<pid_t> programs_running_on(const fs::path& image) {
    std::error_code ec;
    const fs::path root = fs::weakly_canonical(fs_root(image), ec);
    std::vector<pid_t> pids;
    if (ec)
        return pids;
    const std::string prefix = root.string() + "/";
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code link_ec;
        // Another user's process cannot be read: it is not ours to end.
        const fs::path exe = fs::read_symlink(entry.path() / "exe", link_ec);
        if (link_ec || !exe.string().starts_with(prefix))
            continue;
        pids.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return pids;
}

size_t end_programs_on(const fs::path& image) {
    const std::vector<pid_t> pids = programs_running_on(image);
    for (const pid_t pid : pids)
        ::kill(pid, SIGKILL);
    // A killed process keeps its /proc entry until its parent collects it,
    // but its program file link goes at once.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!programs_running_on(image).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pids.size();
}

}  // namespace quillet::phone
