#include "tests/link/link_test_support.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <fstream>

#include "desktop/store/app_paths.h"
#include "protocol/byte_order.h"
#include "protocol/wire_format.h"

extern char** environ;

namespace quillet::test {
namespace fs = std::filesystem;

ProgramResult run_program(const fs::path& exe, const std::vector<std::string>& args) {
    std::vector<std::string> all{exe.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    pid_t pid = 0;
    const int err = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    ProgramResult result;
    if (err != 0) {
        ::close(pipe_fds[0]);
        return result;
    }
    std::array<char, 4096> chunk{};
    for (;;) {
        const ssize_t n = ::read(pipe_fds[0], chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        result.output.append(chunk.data(), static_cast<size_t>(n));
    }
    ::close(pipe_fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

uint16_t free_port() {
    LinkSocket s = LinkSocket::listen_loopback(0, 1);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ::getsockname(s.fd(), reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

bool wait_until(const std::function<bool()>& ready, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

LinkSettings quick_settings() {
    LinkSettings s;
    s.rapi_wait = std::chrono::milliseconds(100);
    s.connect_poll = std::chrono::milliseconds(100);
    s.connect_polls = 100;  // 10 s: a set-up under a sanitizer takes a while
    s.pause_step = std::chrono::milliseconds(20);
    s.pause_steps = 5;
    s.accept_limit = std::chrono::seconds(20);
    s.sentinel_interval = std::chrono::milliseconds(20);
    return s;
}

static fs::path unique_folder() {
    static std::atomic<int> counter{0};
    const fs::path f =
        fs::temp_directory_path() / ("quillet-link-" + std::to_string(::getpid()) + "-" +
                                     std::to_string(counter++) + "-" + std::to_string(std::rand()));
    fs::create_directories(f);
    return f;
}

static fs::path program_folder_for(Agent agent, const fs::path& under) {
    if (agent == Agent::Real)
        return fs::path(QUILLET_PROGRAM_DIR);
    const fs::path program = under / "program";
    fs::create_directories(program);
    if (agent == Agent::Silent) {
        fs::create_directories(program / "ondevice");
        std::ofstream(program / "ondevice" / "phonelet.exe") << "#!/bin/sh\nexit 0\n";
    }
    return program;
}

LinkWorld::LinkWorld(Agent agent) : folder_(unique_folder()), port_(free_port()) {
    ::setenv("QUILLET_PLATFORM_ROOT", (folder_ / "root").c_str(), 1);
    ::setenv("QUILLET_LINK_PORT", std::to_string(port_).c_str(), 1);
    // Nothing of the test reaches the user's data folder.
    ::setenv("XDG_DATA_HOME", (folder_ / "xdg").c_str(), 1);
    fs::create_directories(folder_ / "root");
    fs::create_directories(folder_ / "data");
    set_app_folders_for_testing(program_folder_for(agent, folder_), folder_ / "data");
}

LinkWorld::~LinkWorld() {
    kill_agents();
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

fs::path LinkWorld::agent_on_phone() const {
    return image() / "fs" / "Temp" / "quillet" / "phonelet.exe";
}

ProgramResult LinkWorld::phone(const std::vector<std::string>& args) const {
    return run_program(fs::path(QUILLET_TOOLS_DIR) / "quillet-phone", args);
}

std::string LinkWorld::phone_ok(const std::vector<std::string>& args) const {
    const ProgramResult r = phone(args);
    std::string line = "quillet-phone";
    for (const std::string& a : args)
        line += " " + a;
    EXPECT_EQ(r.exit_code, 0) << line;
    return r.output;
}

std::vector<pid_t> LinkWorld::agent_pids() const {
    std::vector<pid_t> pids;
    const std::string agent = agent_on_phone().string();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code link_ec;
        const fs::path exe = fs::read_symlink(entry.path() / "exe", link_ec);
        if (link_ec || !exe.string().starts_with(agent))
            continue;
        pids.push_back(static_cast<pid_t>(std::stoi(name)));
    }
    return pids;
}

void LinkWorld::kill_agents() const {
    for (pid_t pid : agent_pids())
        ::kill(pid, SIGKILL);
}

FakeAgent::FakeAgent(uint16_t port, Script script)
    : thread_([this, port, script = std::move(script)] {
          for (int i = 0; i < 2000; ++i) {
              LinkSocket s = LinkSocket::connect_ipv4(INADDR_LOOPBACK, port);
              {
                  std::lock_guard guard(mutex_);
                  if (stopping_)
                      return;
                  if (s.valid()) {
                      socket_ = std::move(s);
                      break;
                  }
              }
              std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
          if (socket_.valid())
              script(socket_);
      }) {}

FakeAgent::~FakeAgent() {
    {
        std::lock_guard guard(mutex_);
        stopping_ = true;
        socket_.shutdown();
    }
    join();
}

void FakeAgent::join() {
    if (thread_.joinable())
        thread_.join();
}

int read_command(LinkSocket& s) {
    std::array<uint8_t, kCommandBlockSize> block{};
    if (!s.receive_exact(block))
        return -1;
    return get_i32le(block, 0);
}

void send_int32(LinkSocket& s, int32_t v) {
    std::array<uint8_t, 4> bytes{};
    put_i32le(bytes, 0, v);
    s.send_all(bytes);
}

bool desktop_closed(LinkSocket& s) {
    std::array<uint8_t, 1> byte{};
    return !s.receive_exact(byte);
}

}  // namespace quillet::test
