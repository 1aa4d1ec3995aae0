// Restoring 10,000 messages (half received, half sent) onto an empty phone
// end to end: the agent asked what it knows, the phone's folders read and
// matched, the writes through the link and the real agent into the phone's
// store. Against it, in the same run, the phone's store alone: the same
// 10,000 messages saved one by one into an empty image, as the agent saves
// them. The goal is at most 2 times that; the run prints the ratio at the
// end. Each repetition starts from a new, empty phone, made outside the
// measured time.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_main.h"
#include "bench/phone_tool.h"
#include "desktop/library/restore_to_phone.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/app_paths.h"
#include "platform/phone/phone_store.h"
#include "protocol/link_socket.h"

namespace quillet {
namespace {

using bench::run_phone_tool;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t kMessages = 10'000;

uint16_t free_port() {
    LinkSocket probe = LinkSocket::listen_loopback(0, 1);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ::getsockname(probe.fd(), reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

// The boxes to restore: a conversation of 5,000 exchanges, a minute apart.
MessageLibrary& kept_boxes() {
    static MessageLibrary library = [] {
        MessageLibrary l;
        const FileTime start = filetime_from_unix(1'700'000'000);
        for (size_t i = 0; i < kMessages; ++i) {
            SmsMessage m;
            m.set_text(u"Restored message number " +
                       std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                       u" with some ordinary length to it");
            m.set_number("+4917012345" + std::to_string(i % 100));
            m.set_time(start + i * 60 * kTicksPerSecond);
            m.set_read(1);
            l.box(i % 2 == 0 ? BoxKind::Inbox : BoxKind::SentItems).append(m);
        }
        return l;
    }();
    return library;
}

// A new, empty phone in a temporary platform root, and a link to it.
class EmptyPhone {
  public:
    EmptyPhone() {
        std::string pattern = (fs::temp_directory_path() / "quillet-restore-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        folder_ = pattern;
        ::setenv("QUILLET_PLATFORM_ROOT", (folder_ / "root").c_str(), 1);
        ::setenv("QUILLET_LINK_PORT", std::to_string(free_port()).c_str(), 1);
        fs::create_directories(folder_ / "data");
        set_app_folders_for_testing(QUILLET_PROGRAM_DIR, folder_ / "data");
        if (!run_phone_tool({"init"}))
            std::abort();
    }
    ~EmptyPhone() {
        link_.reset();
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    fs::path image() const { return folder_ / "root" / "phone"; }
    SmartphoneSmsConnect& link() {
        if (!link_) {
            link_ = std::make_unique<SmartphoneSmsConnect>();
            link_->init();
        }
        return *link_;
    }

  private:
    fs::path folder_;
    std::unique_ptr<SmartphoneSmsConnect> link_;
};

double g_restore_seconds = 0;
double g_store_seconds = 0;

void BM_RestoreThroughTheLink(benchmark::State& state) {
    MessageLibrary& library = kept_boxes();
    for (auto _ : state) {
        EmptyPhone phone;
        SmartphoneSmsConnect& link = phone.link();
        PhoneRestore restore(library, link, RestoreChoice{});
        const auto start = Clock::now();
        const RestoreReport report = restore.run(nullptr);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (report.written != kMessages) {
            state.SkipWithError("not every message was written");
            return;
        }
        state.SetIterationTime(seconds);
        g_restore_seconds += seconds;
    }
    g_restore_seconds /= static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kMessages));
}

// The same messages saved into the store one by one, each as the agent
// builds it.
void BM_PhoneStoreAlone(benchmark::State& state) {
    const MessageLibrary& library = kept_boxes();
    for (auto _ : state) {
        EmptyPhone phone;
        phone::PhoneStore store(phone.image());
        const phone::Folder inbox = *store.folder(phone::FolderRole::Inbox);
        const phone::Folder sent = *store.folder(phone::FolderRole::SentItems);
        const auto start = Clock::now();
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems}) {
            const SmsBox& box = library.box(kind);
            for (size_t i = 0; i < box.count(); ++i) {
                const SmsMessage& kept = box.message_ref(i);
                const std::u16string number(kept.number().begin(), kept.number().end());
                phone::Message m;
                m.message_class = u"IPM.SMSText";
                m.body = std::u16string(kept.text_view());
                m.delivery_time = kept.time();
                m.flags = phone::kFlagRead;
                if (kind == BoxKind::Inbox) {
                    m.subject = *m.body;
                    m.sender = number;
                } else {
                    m.recipients.push_back({number, number});
                }
                store.add_message(kind == BoxKind::Inbox ? inbox : sent, m);
            }
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        g_store_seconds += seconds;
    }
    g_store_seconds /= static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kMessages));
}

BENCHMARK(BM_PhoneStoreAlone)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RestoreThroughTheLink)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
    return quillet::bench::run_benchmarks(argc, argv, [] {
        if (quillet::g_store_seconds > 0 && quillet::g_restore_seconds > 0) {
            std::printf(
                "restore of %zu messages %.0f ms, the phone's store alone %.0f ms: ratio %.2f "
                "(goal at most 2)\n",
                quillet::kMessages, quillet::g_restore_seconds * 1e3,
                quillet::g_store_seconds * 1e3,
                quillet::g_restore_seconds / quillet::g_store_seconds);
        }
    });
}
