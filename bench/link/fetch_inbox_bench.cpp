// fetch_inbox of a 10,000-message Inbox end to end: the desktop's link, the
// real agent started through the remote API, the phone image made with the
// real phone tool. Against it, the same bytes in the same pieces over a plain
// loopback connection, read the same way. The ratio of the two is printed
// at the end of the run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/app_paths.h"
#include "protocol/byte_order.h"
#include "protocol/link_socket.h"
#include "protocol/wire_format.h"

extern char** environ;

namespace quillet {
namespace {

namespace fs = std::filesystem;
constexpr int kMessages = 10000;

uint16_t port_of(const LinkSocket& s) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ::getsockname(s.fd(), reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

bool run_phone_tool(std::vector<std::string> args) {
    args.insert(args.begin(), (fs::path(QUILLET_TOOLS_DIR) / "quillet-phone").string());
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

// A phone with kMessages Inbox messages and a link set up to it; the
// temporary platform root goes with it.
class LinkedPhone {
  public:
    LinkedPhone() {
        std::string pattern = (fs::temp_directory_path() / "quillet-link-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        folder_ = pattern;
        ::setenv("QUILLET_PLATFORM_ROOT", (folder_ / "root").c_str(), 1);
        LinkSocket probe = LinkSocket::listen_loopback(0, 1);
        ::setenv("QUILLET_LINK_PORT", std::to_string(port_of(probe)).c_str(), 1);
        probe.close();
        fs::create_directories(folder_ / "data");
        set_app_folders_for_testing(QUILLET_PROGRAM_DIR, folder_ / "data");
        if (!run_phone_tool({"init"}) ||
            !run_phone_tool({"bulk", "inbox", "--count", std::to_string(kMessages)})) {
            std::fprintf(stderr, "quillet-phone failed\n");
            std::abort();
        }
        link_ = std::make_unique<SmartphoneSmsConnect>();
        link_->init();
    }
    ~LinkedPhone() {
        link_.reset();
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    SmartphoneSmsConnect& link() { return *link_; }

  private:
    fs::path folder_;
    std::unique_ptr<SmartphoneSmsConnect> link_;
};

LinkedPhone& phone() {
    static LinkedPhone p;
    return p;
}

// Seconds per iteration of each benchmark, for the closing ratio.
double g_fetch_seconds = 0;
double g_raw_seconds = 0;

template <class F>
double timed(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_FetchInboxThroughTheLink(benchmark::State& state) {
    SmartphoneSmsConnect& link = phone().link();
    std::vector<SmsWireRecord> records;
    records.reserve(kMessages);
    double total = 0;
    for (auto _ : state) {
        records.clear();
        total += timed([&] {
            if (link.fetch_inbox(records) != kMessages)
                state.SkipWithError("short fetch");
        });
    }
    g_fetch_seconds = total / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * kMessages);
    state.counters["msgs_per_s"] = benchmark::Counter(
        static_cast<double>(kMessages), benchmark::Counter::kIsIterationInvariantRate);
}

// The pieces of the reply as the agent sends them.
std::vector<std::vector<uint8_t>> reply_pieces() {
    std::vector<SmsWireRecord> records;
    phone().link().fetch_inbox(records);
    std::vector<std::vector<uint8_t>> pieces;
    std::vector<uint8_t> four(4);
    put_i32le(four, 0, static_cast<int32_t>(records.size()));
    pieces.push_back(four);
    for (const SmsWireRecord& r : records) {
        put_u32le(four, 0, r.size());
        pieces.push_back(four);
        pieces.push_back(r.encode());
    }
    return pieces;
}

// Reads a reply the way the link does: count, then size and record each.
bool read_reply(LinkSocket& s, std::vector<std::vector<uint8_t>>& into) {
    std::array<uint8_t, 4> four{};
    if (!s.receive_exact(four))
        return false;
    const int32_t count = get_i32le(four, 0);
    for (int32_t i = 0; i < count; ++i) {
        if (!s.receive_exact(four))
            return false;
        std::vector<uint8_t> record(get_u32le(four, 0));
        if (!s.receive_exact(record))
            return false;
        into.push_back(std::move(record));
    }
    return true;
}

void BM_RawLoopbackOfTheSameBytes(benchmark::State& state) {
    const auto pieces = reply_pieces();
    LinkSocket listener = LinkSocket::listen_loopback(0, 1);
    LinkSocket client = LinkSocket::connect_ipv4(INADDR_LOOPBACK, port_of(listener));
    LinkSocket server = listener.accept_one(5000);
    std::thread sender([&] {
        std::array<uint8_t, kCommandBlockSize> block{};
        while (server.receive_exact(block)) {
            for (const auto& p : pieces)
                server.send_all(p);
        }
    });
    const auto request = CommandBlock::with_code(CommandCode::READINBOX).encode();
    std::vector<std::vector<uint8_t>> records;
    records.reserve(kMessages);
    double total = 0;
    for (auto _ : state) {
        records.clear();
        total += timed([&] {
            client.send_all(request);
            if (!read_reply(client, records))
                state.SkipWithError("short reply");
        });
    }
    client.shutdown();
    sender.join();
    g_raw_seconds = total / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * kMessages);
    state.counters["msgs_per_s"] = benchmark::Counter(
        static_cast<double>(kMessages), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_FetchInboxThroughTheLink)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_RawLoopbackOfTheSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (quillet::g_fetch_seconds > 0 && quillet::g_raw_seconds > 0) {
        std::printf("fetch_inbox of %d messages: %.0f messages/s; %.1f times the raw transfer\n",
                    quillet::kMessages, quillet::kMessages / quillet::g_fetch_seconds,
                    quillet::g_fetch_seconds / quillet::g_raw_seconds);
    }
    benchmark::Shutdown();
    return 0;
}
