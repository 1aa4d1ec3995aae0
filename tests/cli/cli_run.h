// quillet-cli run through the shell, as a user runs it: what it printed on
// standard output and how it ended.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace quillet::test {

struct CliRun {
    int status = -1;  // the exit status, -1 when it did not exit
    std::string out;
};

// Runs `command` (a shell command line) and reads its standard output.
inline CliRun run_shell(const std::string& command) {
    CliRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t n = 0; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.out.append(buffer, n);
    const int status = pipe ? ::pclose(pipe) : -1;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace quillet::test
