#include "tests/link/link_test_support.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

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
    if (agent == Agent::Played) {
        // exec: the process the desktop started is the one that connects.
        fs::create_directories(program / "ondevice");
        std::ofstream(program / "ondevice" / "phonelet.exe")
            << "#!/bin/sh\nexec '" << LINK_PEER_HELPER << "' handover '"
            << (under / "handover.sock").string() << "'\n";
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

bool intruder_is_another_user() {
    return ::geteuid() == 0;
}

ProgramResult run_intruder(const std::string& mode, uint16_t port, int ms) {
    const std::vector<std::string> args{mode, std::to_string(port), std::to_string(ms)};
    if (!intruder_is_another_user())
        return run_program(LINK_PEER_HELPER, args);
    std::vector<std::string> as_nobody{"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                       LINK_PEER_HELPER};
    as_nobody.insert(as_nobody.end(), args.begin(), args.end());
    return run_program("/usr/bin/setpriv", as_nobody);
}

FakeAgent::FakeAgent(const LinkWorld& world, Script script, bool held)
    : path_(world.handover_socket()), released_(!held) {
    fs::remove(path_);
    listener_ = LinkSocket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path_.c_str(), sizeof addr.sun_path - 1);
    if (::bind(listener_.fd(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_.fd(), 4) != 0) {
        ADD_FAILURE() << "cannot listen on " << path_;
    }
    thread_ = std::thread([this, script = std::move(script)] { run(script); });
}

void FakeAgent::run(const Script& script) {
    LinkSocket conn;
    while (!conn.valid()) {
        {
            std::lock_guard guard(mutex_);
            if (stopping_)
                return;
        }
        conn = listener_.accept_one(50);
    }
    {
        std::unique_lock guard(mutex_);
        gate_.wait(guard, [this] { return released_ || stopping_; });
        if (stopping_)
            return;
    }
    const uint8_t go = 'g';
    conn.send_all(std::span(&go, 1));
    const int fd = receive_handover(conn.fd());
    if (fd < 0)
        return;
    {
        std::lock_guard guard(mutex_);
        socket_ = LinkSocket(fd);
        if (stopping_)
            return;
    }
    script(socket_);
    // Closing `conn` lets the agent process end.
}

int FakeAgent::receive_handover(int conn) {
    for (;;) {
        {
            std::lock_guard guard(mutex_);
            if (stopping_)
                return -1;
        }
        pollfd p{conn, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0)
            break;
    }
    char byte = 0;
    iovec iov{&byte, 1};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(int))> control{};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control.data();
    msg.msg_controllen = control.size();
    if (::recvmsg(conn, &msg, MSG_CMSG_CLOEXEC) != 1)
        return -1;
    const cmsghdr* c = CMSG_FIRSTHDR(&msg);
    if (c == nullptr || c->cmsg_type != SCM_RIGHTS)
        return -1;
    int fd = -1;
    std::memcpy(&fd, CMSG_DATA(c), sizeof fd);
    return fd;
}

void FakeAgent::release() {
    {
        std::lock_guard guard(mutex_);
        released_ = true;
    }
    gate_.notify_all();
}

FakeAgent::~FakeAgent() {
    {
        std::lock_guard guard(mutex_);
        stopping_ = true;
        socket_.shutdown();
    }
    gate_.notify_all();
    join();
    std::error_code ec;
    fs::remove(path_, ec);
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

std::string file_text(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool desktop_closed(LinkSocket& s) {
    std::array<uint8_t, 1> byte{};
    return !s.receive_exact(byte);
}

}  // namespace quillet::test
