// The real phone tool for benchmarks that make a phone: quillet-phone from
// the build's tools folder, run to its end with this process's environment.
#pragma once

#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

namespace quillet::bench {

// True when `quillet-phone args...` exited 0.
inline bool run_phone_tool(std::vector<std::string> args) {
    args.insert(args.begin(), std::string(QUILLET_TOOLS_DIR) + "/quillet-phone");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace quillet::bench
