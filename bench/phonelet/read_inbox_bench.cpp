// READINBOX of a large Inbox from the real agent over loopback, against the
// same bytes sent in the same pieces over a plain loopback connection.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/phone/phone_image.h"
#include "platform/phone/phone_store.h"
#include "protocol/byte_order.h"
#include "protocol/link_socket.h"
#include "protocol/text_codec.h"
#include "protocol/wire_format.h"

extern char** environ;

namespace quillet {
namespace {

uint16_t port_of(const LinkSocket& s) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    getsockname(s.fd(), reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

// The pieces of one folder reply as the agent sends them: count, then size
// and record for each message. Read exactly as the desktop reads them.
std::vector<std::vector<uint8_t>> read_reply(LinkSocket& link) {
    std::vector<std::vector<uint8_t>> pieces;
    std::vector<uint8_t> four(4);
    if (!link.receive_exact(four))
        return {};
    pieces.push_back(four);
    const int32_t count = get_i32le(four, 0);
    for (int32_t i = 0; i < count; ++i) {
        if (!link.receive_exact(four))
            return {};
        pieces.push_back(four);
        std::vector<uint8_t> record(get_u32le(four, 0));
        if (!link.receive_exact(record))
            return {};
        pieces.push_back(std::move(record));
    }
    return pieces;
}

// A phone image with `count` Inbox text messages and the agent connected
// to it; stopped and removed when the object goes.
class AgentWithInbox {
  public:
    explicit AgentWithInbox(int count) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillet-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        root_ = pattern;
        const auto image = root_ / "phone";
        phone::PhoneStore::create(image, false);
        fill(image, count);
        LinkSocket listener = LinkSocket::listen_loopback(0, 1);
        std::vector<std::string> env = {"QUILLET_LINK_PORT=" + std::to_string(port_of(listener)),
                                        std::string(phone::kPlatformRootEnv) + "=" + root_.string(),
                                        std::string(phone::kPhoneImageEnv) + "=" + image.string()};
        for (char** e = environ; *e != nullptr; ++e)
            env.emplace_back(*e);
        std::vector<char*> envp;
        for (auto& s : env)
            envp.push_back(s.data());
        envp.push_back(nullptr);
        std::string program = PHONELET_EXE;
        char* argv[] = {program.data(), nullptr};
        if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
            std::abort();
        link_ = listener.accept_one(10000);
    }
    ~AgentWithInbox() {
        link_.close();
        int status = 0;
        waitpid(pid_, &status, 0);
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    LinkSocket& link() { return link_; }

  private:
    static void fill(const std::filesystem::path& image, int count) {
        phone::PhoneStore store(image);
        std::vector<phone::Message> messages(static_cast<size_t>(count));
        for (size_t i = 0; i < messages.size(); ++i) {
            phone::Message& m = messages[i];
            m.message_class = u"IPM.SMSText";
            std::string text = "Message " + std::to_string(i) + ": ";
            for (size_t w = 4 + i % 23; w > 0; --w)
                text += "lorem ipsum ";
            m.subject = from_utf8(text);
            m.body = m.subject;
            m.sender = u"+4917012" + from_utf8(std::to_string(i % 997));
            m.delivery_time = 133'000'000'000'000'000ULL + i * 600'000'000ULL;
        }
        store.add_messages(*store.folder(phone::FolderRole::Inbox), messages);
    }

    std::filesystem::path root_;
    pid_t pid_ = -1;
    LinkSocket link_;
};

AgentWithInbox& agent(int count) {
    static std::map<int, std::unique_ptr<AgentWithInbox>> agents;
    auto& a = agents[count];
    if (!a)
        a = std::make_unique<AgentWithInbox>(count);
    return *a;
}

const std::array<uint8_t, kCommandBlockSize> kReadInbox =
    CommandBlock::with_code(CommandCode::READINBOX).encode();

size_t total_bytes(const std::vector<std::vector<uint8_t>>& pieces) {
    size_t n = 0;
    for (const auto& p : pieces)
        n += p.size();
    return n;
}

void BM_ReadInboxFromAgent(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    LinkSocket& link = agent(count).link();
    size_t bytes = 0;
    for (auto _ : state) {
        link.send_all(kReadInbox);
        const auto pieces = read_reply(link);
        if (pieces.size() != 1 + 2 * static_cast<size_t>(count)) {
            state.SkipWithError("short reply");
            break;
        }
        bytes = total_bytes(pieces);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["messages"] = count;
}

// The same reply, captured once from the agent, sent by a plain thread in
// the same pieces each time it reads a request block.
void BM_RawLoopbackTransfer(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    LinkSocket& agent_link = agent(count).link();
    agent_link.send_all(kReadInbox);
    const auto pieces = read_reply(agent_link);

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
    for (auto _ : state) {
        client.send_all(kReadInbox);
        if (read_reply(client).size() != pieces.size()) {
            state.SkipWithError("short reply");
            break;
        }
    }
    client.close();
    sender.join();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total_bytes(pieces)));
    state.counters["messages"] = count;
}

BENCHMARK(BM_ReadInboxFromAgent)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawLoopbackTransfer)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

BENCHMARK_MAIN();
