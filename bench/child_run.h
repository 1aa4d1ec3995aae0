// A program run to its end as a child of the benchmark, with what it cost
// on its own: the wall time and its peak resident memory (from wait4, so
// the benchmark's own memory is not in it).
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace quillet::bench {

struct ChildRun {
    bool ok = false;  // started, and exited with 0
    double seconds = 0;
    double peak_mb = 0;
};

// Runs `args` (the program first) with this process's environment and
// `env` ("NAME=value", set over it); its output goes to /dev/null.
inline ChildRun run_child(std::vector<std::string> args, std::vector<std::string> env = {}) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry(*e);
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        if (std::none_of(env.begin(), env.end(),
                         [&](const std::string& set) { return set.starts_with(name); }))
            envp.push_back(*e);
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ChildRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

}  // namespace quillet::bench
