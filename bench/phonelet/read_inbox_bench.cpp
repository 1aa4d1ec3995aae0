// The agent's long replies against the machine's limit for the same work,
// in the same run: READINBOX (rows with a subject), READSENT (rows without
// one: body and first recipient opened per message) and READALLCON, each
// read by a buffered peer. The limit is the phone store's own plain reading
// of the same rows plus a raw loopback transfer of the same bytes in 64 KiB
// pieces, read the same way. The goal is 2 times the limit; the run prints
// each ratio at the end.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_main.h"
#include "bench/port_of.h"
#include "platform/phone/phone_db.h"
#include "platform/phone/phone_image.h"
#include "platform/phone/phone_store.h"
#include "protocol/byte_order.h"
#include "protocol/link_socket.h"
#include "protocol/receive_buffer.h"
#include "protocol/text_codec.h"
#include "protocol/wire_format.h"

extern char** environ;

namespace quillet {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// What a reply is, and how the peer tells where it ends.
enum class Reply { Inbox, Sent, Contacts };
CommandCode code_of(Reply r) {
    switch (r) {
        case Reply::Inbox:
            return CommandCode::READINBOX;
        case Reply::Sent:
            return CommandCode::READSENT;
        case Reply::Contacts:
            break;
    }
    return CommandCode::READALLCON;
}

// Reads one reply through a receive buffer and appends its bytes to `out`
// (when given); false when the connection ended first.
bool read_reply(Reply kind, LinkSocket& link, ReceiveBuffer& in, std::vector<uint8_t>* out) {
    std::vector<uint8_t> piece(4);
    const auto take = [&](size_t n) {
        piece.resize(n);
        if (!in.read_exact(link, piece))
            return false;
        if (out != nullptr)
            out->insert(out->end(), piece.begin(), piece.end());
        return true;
    };
    if (kind == Reply::Contacts) {
        for (;;) {
            if (!take(kContactRecordSize))
                return false;
            if (std::all_of(piece.begin(), piece.end(), [](uint8_t b) { return b == 0; }))
                return true;
        }
    }
    if (!take(4))
        return false;
    const int32_t count = get_i32le(piece, 0);
    for (int32_t i = 0; i < count; ++i) {
        if (!take(4) || !take(get_u32le(piece, 0)))
            return false;
    }
    return true;
}

// A phone image with `count` Inbox messages (with subjects) and, up to
// 10,000, as many Sent Items (bodies and a recipient) and contacts; the
// agent connected to it. Stopped and removed when the object goes.
class AgentPhone {
  public:
    explicit AgentPhone(int count) {
        std::string pattern = (fs::temp_directory_path() / "quillet-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        root_ = pattern;
        image_ = root_ / "phone";
        phone::PhoneStore::create(image_, false);
        fill(count);
        LinkSocket listener = LinkSocket::listen_loopback(0, 1);
        std::vector<std::string> env = {
            "QUILLET_LINK_PORT=" + std::to_string(bench::port_of(listener)),
            std::string(phone::kPlatformRootEnv) + "=" + root_.string(),
            std::string(phone::kPhoneImageEnv) + "=" + image_.string()};
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
        // The agent pauses after connecting: one exchange first, so that
        // no measurement waits for it.
        std::array<uint8_t, 4> announced{};
        if (!link_.send_all(CommandBlock::with_code(CommandCode::READNSMS).encode()) ||
            !in_.read_exact(link_, announced)) {
            std::abort();
        }
    }
    ~AgentPhone() {
        link_.close();
        int status = 0;
        waitpid(pid_, &status, 0);
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    LinkSocket& link() { return link_; }
    ReceiveBuffer& in() { return in_; }
    const fs::path& image() const { return image_; }

  private:
    void fill(int count) {
        phone::PhoneStore store(image_);
        std::vector<phone::Message> inbox(static_cast<size_t>(count));
        std::vector<phone::Message> sent(static_cast<size_t>(std::min(count, 10'000)));
        for (size_t i = 0; i < inbox.size(); ++i) {
            phone::Message& m = inbox[i];
            m.message_class = u"IPM.SMSText";
            std::string text = "Message " + std::to_string(i) + ": ";
            for (size_t w = 4 + i % 23; w > 0; --w)
                text += "lorem ipsum ";
            m.subject = from_utf8(text);
            m.body = m.subject;
            m.sender = u"+4917012" + from_utf8(std::to_string(i % 997));
            m.delivery_time = 133'000'000'000'000'000ULL + i * 600'000'000ULL;
            if (i < sent.size()) {
                sent[i] = m;
                sent[i].subject.clear();
                sent[i].recipients = {{u"SMS", u"+4930" + from_utf8(std::to_string(i))}};
            }
        }
        store.add_messages(*store.folder(phone::FolderRole::Inbox), inbox);
        store.add_messages(*store.folder(phone::FolderRole::SentItems), sent);
        phone::Transaction transaction(store.db());
        for (size_t i = 0; i < sent.size(); ++i) {
            store.add_contact({0, u"First" + from_utf8(std::to_string(i)), u"Last",
                               u"+49171" + from_utf8(std::to_string(i)), u""});
        }
        transaction.commit();
    }

    fs::path root_;
    fs::path image_;
    pid_t pid_ = -1;
    LinkSocket link_;
    ReceiveBuffer in_;
};

AgentPhone& phone_with(int count) {
    static std::map<int, std::unique_ptr<AgentPhone>> phones;
    auto& p = phones[count];
    if (!p)
        p = std::make_unique<AgentPhone>(count);
    return *p;
}

// Mean seconds per iteration, by reply, count and what was measured.
enum class Part { Agent, StoreRead, Transfer };
std::map<std::tuple<Reply, int, Part>, double> g_seconds;

template <class F>
void measure(benchmark::State& state, Reply kind, Part part, F&& once) {
    const int count = static_cast<int>(state.range(0));
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!once()) {
            state.SkipWithError("reply cut short");
            return;
        }
        total += std::chrono::duration<double>(Clock::now() - start).count();
    }
    g_seconds[{kind, count, part}] = total / static_cast<double>(state.iterations());
    state.counters["messages"] = count;
}

void agent_reply(benchmark::State& state, Reply kind) {
    AgentPhone& phone = phone_with(static_cast<int>(state.range(0)));
    const auto block = CommandBlock::with_code(code_of(kind)).encode();
    measure(state, kind, Part::Agent, [&] {
        return phone.link().send_all(block) && read_reply(kind, phone.link(), phone.in(), nullptr);
    });
}

// The same rows as the phone store itself reads them: with bodies and
// recipients where the reply needs them.
void store_read(benchmark::State& state, Reply kind) {
    phone::PhoneStore store(phone_with(static_cast<int>(state.range(0))).image());
    measure(state, kind, Part::StoreRead, [&] {
        size_t rows = 0;
        if (kind == Reply::Contacts) {
            rows = store.sim_entries().size() + store.contacts().size();
        } else {
            const auto role =
                kind == Reply::Inbox ? phone::FolderRole::Inbox : phone::FolderRole::SentItems;
            rows = store.messages(*store.folder(role), kind == Reply::Sent).size();
        }
        benchmark::DoNotOptimize(rows);
        return true;
    });
}

// The reply's bytes, captured once from the agent, sent by a plain thread
// in 64 KiB pieces each time it reads a request block.
void raw_transfer(benchmark::State& state, Reply kind) {
    AgentPhone& phone = phone_with(static_cast<int>(state.range(0)));
    const auto block = CommandBlock::with_code(code_of(kind)).encode();
    std::vector<uint8_t> bytes;
    phone.link().send_all(block);
    read_reply(kind, phone.link(), phone.in(), &bytes);

    LinkSocket listener = LinkSocket::listen_loopback(0, 1);
    LinkSocket client = LinkSocket::connect_ipv4(INADDR_LOOPBACK, bench::port_of(listener));
    LinkSocket server = listener.accept_one(5000);
    std::thread sender([&] {
        std::array<uint8_t, kCommandBlockSize> request{};
        while (server.receive_exact(request)) {
            constexpr size_t kPiece = 64 * 1024;
            for (size_t at = 0; at < bytes.size(); at += kPiece)
                server.send_all(std::span(bytes).subspan(at, std::min(kPiece, bytes.size() - at)));
        }
    });
    ReceiveBuffer in;
    measure(state, kind, Part::Transfer,
            [&] { return client.send_all(block) && read_reply(kind, client, in, nullptr); });
    client.shutdown();
    sender.join();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_InboxFromAgent(benchmark::State& s) {
    agent_reply(s, Reply::Inbox);
}
void BM_InboxStoreRead(benchmark::State& s) {
    store_read(s, Reply::Inbox);
}
void BM_InboxRawTransfer(benchmark::State& s) {
    raw_transfer(s, Reply::Inbox);
}
void BM_SentFromAgent(benchmark::State& s) {
    agent_reply(s, Reply::Sent);
}
void BM_SentStoreRead(benchmark::State& s) {
    store_read(s, Reply::Sent);
}
void BM_SentRawTransfer(benchmark::State& s) {
    raw_transfer(s, Reply::Sent);
}
void BM_ContactsFromAgent(benchmark::State& s) {
    agent_reply(s, Reply::Contacts);
}
void BM_ContactsStoreRead(benchmark::State& s) {
    store_read(s, Reply::Contacts);
}
void BM_ContactsRawTransfer(benchmark::State& s) {
    raw_transfer(s, Reply::Contacts);
}

void up_to_10k(benchmark::internal::Benchmark* b) {
    b->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond)->UseRealTime();
}
void up_to_100k(benchmark::internal::Benchmark* b) {
    up_to_10k(b);
    b->Arg(100'000);
}
BENCHMARK(BM_InboxFromAgent)->Apply(up_to_100k);
BENCHMARK(BM_InboxStoreRead)->Apply(up_to_100k);
BENCHMARK(BM_InboxRawTransfer)->Apply(up_to_100k);
BENCHMARK(BM_SentFromAgent)->Apply(up_to_10k);
BENCHMARK(BM_SentStoreRead)->Apply(up_to_10k);
BENCHMARK(BM_SentRawTransfer)->Apply(up_to_10k);
BENCHMARK(BM_ContactsFromAgent)->Apply(up_to_10k);
BENCHMARK(BM_ContactsStoreRead)->Apply(up_to_10k);
BENCHMARK(BM_ContactsRawTransfer)->Apply(up_to_10k);

void print_summary() {
    std::printf("agent reply against its limit (store's plain read + raw transfer), goal 2.0:\n");
    for (const auto& [kind, name] : {std::pair{Reply::Inbox, "READINBOX"},
                                     {Reply::Sent, "READSENT"},
                                     {Reply::Contacts, "READALLCON"}}) {
        for (int count : {1'000, 10'000, 100'000}) {
            const auto agent = g_seconds.find({kind, count, Part::Agent});
            const auto read = g_seconds.find({kind, count, Part::StoreRead});
            const auto raw = g_seconds.find({kind, count, Part::Transfer});
            if (agent == g_seconds.end() || read == g_seconds.end() || raw == g_seconds.end())
                continue;
            const double limit = read->second + raw->second;
            std::printf(
                "  %-10s %7d: agent %8.2f ms, limit %8.2f ms (read %.2f + transfer %.2f)"
                ", ratio %.2f\n",
                name, count, agent->second * 1e3, limit * 1e3, read->second * 1e3,
                raw->second * 1e3, agent->second / limit);
        }
    }
}

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
    return quillet::bench::run_benchmarks(argc, argv, quillet::print_summary);
}
