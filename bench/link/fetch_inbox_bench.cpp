// fetch_inbox end to end: the desktop's link, the real agent started
// through the remote API, the phone image made with the real phone tool.
// Against it, in the same run, the agent's own time: a second agent on the
// same phone, its READINBOX reply read by a plain peer through a receive
// buffer. The goal is 1.3 times that; the run prints the ratios from 1,000
// to 100,000 messages at the end.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_main.h"
#include "bench/port_of.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/app_paths.h"
#include "platform/phone/phone_image.h"
#include "protocol/byte_order.h"
#include "protocol/link_socket.h"
#include "protocol/receive_buffer.h"
#include "protocol/wire_format.h"

extern char** environ;

namespace quillet {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

pid_t spawn(std::vector<std::string> args, std::vector<std::string> env) {
    for (char** e = environ; *e != nullptr; ++e)
        env.emplace_back(*e);
    std::vector<char*> argv, envp;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        std::abort();
    return pid;
}

bool run_phone_tool(std::vector<std::string> args) {
    args.insert(args.begin(), (fs::path(QUILLET_TOOLS_DIR) / "quillet-phone").string());
    int status = 0;
    ::waitpid(spawn(std::move(args), {}), &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A phone with `count` Inbox messages, a link set up to it, and a second
// agent on the same phone connected to a plain socket. The temporary
// platform root goes with it.
// READINBOX read by a plain peer through a receive buffer: each record's
// bytes are taken, nothing is decoded. The count the agent announced, or -1
// when the reply ended early.
int32_t read_inbox(LinkSocket& peer, ReceiveBuffer& in) {
    const auto request = CommandBlock::with_code(CommandCode::READINBOX).encode();
    std::vector<uint8_t> bytes(4);
    if (!peer.send_all(request) || !in.read_exact(peer, std::span(bytes).first(4)))
        return -1;
    const int32_t announced = get_i32le(bytes, 0);
    for (int32_t i = 0; i < announced; ++i) {
        bytes.resize(4);
        if (!in.read_exact(peer, bytes))
            return -1;
        bytes.resize(get_u32le(bytes, 0));
        if (!in.read_exact(peer, bytes))
            return -1;
    }
    return announced;
}

class LinkedPhone {
  public:
    explicit LinkedPhone(int count) {
        std::string pattern = (fs::temp_directory_path() / "quillet-link-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        folder_ = pattern;
        ::setenv("QUILLET_PLATFORM_ROOT", (folder_ / "root").c_str(), 1);
        LinkSocket probe = LinkSocket::listen_loopback(0, 1);
        ::setenv("QUILLET_LINK_PORT", std::to_string(bench::port_of(probe)).c_str(), 1);
        probe.close();
        fs::create_directories(folder_ / "data");
        set_app_folders_for_testing(QUILLET_PROGRAM_DIR, folder_ / "data");
        if (!run_phone_tool({"init"}) ||
            !run_phone_tool({"bulk", "inbox", "--count", std::to_string(count)})) {
            std::fprintf(stderr, "quillet-phone failed\n");
            std::abort();
        }
        link_ = std::make_unique<SmartphoneSmsConnect>();
        link_->init();

        LinkSocket listener = LinkSocket::listen_loopback(0, 1);
        peer_agent_ = spawn(
            {fs::path(QUILLET_PROGRAM_DIR) / "ondevice" / "phonelet.exe"},
            {"QUILLET_LINK_PORT=" + std::to_string(bench::port_of(listener)),
             std::string(phone::kPhoneImageEnv) + "=" + (folder_ / "root" / "phone").string()});
        peer_ = listener.accept_one(10000);
        // Both agents pause after connecting, and an agent's first folder
        // reply grows the memory its later ones reuse: one whole Inbox each
        // first, so that no measurement waits for either.
        std::vector<SmsWireRecord> records;
        ReceiveBuffer in;
        if (link_->fetch_inbox(records) != count || read_inbox(peer_, in) != count)
            std::abort();
    }
    ~LinkedPhone() {
        link_.reset();
        peer_.close();
        int status = 0;
        ::waitpid(peer_agent_, &status, 0);
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    SmartphoneSmsConnect& link() { return *link_; }
    LinkSocket& peer() { return peer_; }

  private:
    fs::path folder_;
    std::unique_ptr<SmartphoneSmsConnect> link_;
    pid_t peer_agent_ = -1;
    LinkSocket peer_;
};

// One phone at a time: the remote API follows the process's platform root.
LinkedPhone& phone_with(int count) {
    static std::unique_ptr<LinkedPhone> current;
    static int current_count = -1;
    if (count != current_count) {
        current.reset();
        current = std::make_unique<LinkedPhone>(count);
        current_count = count;
    }
    return *current;
}

// Mean seconds per fetch by count: the link's, and the buffered peer's.
std::map<int, double> g_link_seconds;
std::map<int, double> g_peer_seconds;

void BM_FetchInboxThroughTheLink(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    SmartphoneSmsConnect& link = phone_with(count).link();
    std::vector<SmsWireRecord> records;
    records.reserve(static_cast<size_t>(count));
    double total = 0;
    for (auto _ : state) {
        records.clear();
        const auto start = Clock::now();
        if (link.fetch_inbox(records) != count) {
            state.SkipWithError("short fetch");
            return;
        }
        total += std::chrono::duration<double>(Clock::now() - start).count();
    }
    g_link_seconds[count] = total / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * count);
}

// READINBOX read by a plain peer (read_inbox).
void BM_AgentReadByBufferedPeer(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    LinkSocket& peer = phone_with(count).peer();
    ReceiveBuffer in;
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (read_inbox(peer, in) != count) {
            state.SkipWithError("short reply");
            return;
        }
        total += std::chrono::duration<double>(Clock::now() - start).count();
    }
    g_peer_seconds[count] = total / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * count);
}

// Both for one phone, then the next size: each phone is made once.
void register_benchmarks() {
    for (int count : {1'000, 10'000, 100'000}) {
        benchmark::RegisterBenchmark("BM_FetchInboxThroughTheLink", BM_FetchInboxThroughTheLink)
            ->Arg(count)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_AgentReadByBufferedPeer", BM_AgentReadByBufferedPeer)
            ->Arg(count)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

void print_summary() {
    std::printf("fetch_inbox against the agent read by a buffered peer, goal 1.3:\n");
    for (const auto& [count, link] : g_link_seconds) {
        const auto peer = g_peer_seconds.find(count);
        if (peer == g_peer_seconds.end())
            continue;
        std::printf(
            "  %7d messages: fetch_inbox %8.2f ms, agent to buffered peer %8.2f ms, "
            "ratio %.2f\n",
            count, link * 1e3, peer->second * 1e3, link / peer->second);
    }
}

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
    quillet::register_benchmarks();
    return quillet::bench::run_benchmarks(argc, argv, quillet::print_summary);
}
