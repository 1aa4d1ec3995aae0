// Start-up: from process start to the main window shown with the Inbox
// listed and painted, for a data folder whose Inbox holds 1,000 to 1,000,000
// messages (and 2,000 contacts). Each iteration starts a fresh process (this
// program, as a child) that goes through the program's own start-up path;
// the parent times it from the spawn to the child's word that the list is
// on the screen. The goal at 100,000 is 400 ms; the run prints the figures
// and the growth at the end. Beside the time it prints the child's processor
// time (user and system, all its threads), which a busy machine inflates far
// less than the time on the clock.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/gui/qt_bench_main.h"
#include "desktop/app/main_frame.h"
#include "desktop/app/quillet_app.h"
#include "desktop/app/single_instance.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/app_paths.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/sms_box.h"
#include "desktop/views/message_list_model.h"
#include "desktop/views/sms_list_view.h"

extern char** environ;

namespace quillet {
namespace {

constexpr const char* kChildFlag = "--start-up-child";

// The program's start-up as QuilletApp::run does it, up to the event loop;
// then the list is painted, the parent told, and the process ends.
int run_child(int argc, char** argv, const char* data_folder, int report_fd) {
    QuilletApp app(argc, argv);
    set_app_folders_for_testing(QUILLET_PROGRAM_DIR, data_folder);
    SingleInstance guard;
    if (!guard.claim())
        return 1;
    SmartphoneSmsConnect link;
    MainFrame frame(link);
    frame.show();
    frame.repaint();
    frame.start_up();
    QApplication::processEvents();
    const char listed = frame.list_view().list_model().rowCount() > 0 ? 'y' : 'n';
    if (::write(report_fd, &listed, 1) != 1)
        return 1;
    std::_Exit(0);
}

std::string number_for(int i) {
    return "+49170" + std::to_string(1'000'000 + (i * 7919) % 4'000);
}

// A data folder with `count` Inbox messages and 2,000 contacts.
void fill_data_folder(const QString& folder, int count) {
    set_app_folders_for_testing(QUILLET_PROGRAM_DIR, folder.toStdString());
    SmsBox box(BoxKind::Inbox);
    for (int i = 0; i < count; ++i) {
        SmsMessage m;
        m.set_text(u"Message number " + std::u16string(1, char16_t(u'a' + i % 26)) +
                   u" with a line of ordinary text that goes on a little while");
        m.set_number(number_for(i));
        m.set_time(
            filetime_from_unix(1'600'000'000 + static_cast<int64_t>((i * 48271L) % 90'000'000)));
        m.set_read(static_cast<uint8_t>(i % 5 != 0));
        box.append(m);
    }
    box.set_sort_column(MessageListModel::kDate);
    box.set_sort_order(1);
    box.save_box(kInboxFileName);
    ContactList contacts;
    for (int i = 0; i < 2'000; ++i) {
        contacts.append(make_contact("Contact " + std::to_string(i),
                                     "0170 " + std::to_string(1'000'000 + i * 2)));
    }
    contacts.sort_contacts();
    contacts.save_contacts(kContactsFileName);
}

std::map<int, double> g_seconds;
std::map<int, double> g_cpu_seconds;

double seconds_of(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

void BM_StartUpToInboxListed(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    const QString data = dir.path();
    fill_data_folder(data, count);
    // Its own temporary folder (single-instance lock) and an empty platform
    // root: no phone, and no other Quillet in the way.
    std::vector<std::string> env = {
        "QT_QPA_PLATFORM=offscreen", "TMPDIR=" + dir.path().toStdString(),
        "QUILLET_PLATFORM_ROOT=" + dir.filePath(QStringLiteral("platform")).toStdString()};
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "TMPDIR=", 7) != 0 && std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0 &&
            std::strncmp(*e, "QUILLET_PLATFORM_ROOT=", 22) != 0) {
            env.emplace_back(*e);
        }
    }
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    double total = 0;
    double cpu = 0;
    for (auto _ : state) {
        int fds[2];
        if (::pipe(fds) != 0)
            std::abort();
        std::string self = "/proc/self/exe", flag = kChildFlag, folder = data.toStdString(),
                    fd = std::to_string(fds[1]);
        char* argv[] = {self.data(), flag.data(), folder.data(), fd.data(), nullptr};
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (::posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
            std::abort();
        ::close(fds[1]);
        char listed = 'n';
        const bool told = ::read(fds[0], &listed, 1) == 1;
        const auto end = std::chrono::steady_clock::now();
        ::close(fds[0]);
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        if (!told || listed != 'y') {
            state.SkipWithError("the child did not list the Inbox");
            return;
        }
        total += std::chrono::duration<double>(end - start).count();
        cpu += seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
    }
    g_seconds[count] = total / static_cast<double>(state.iterations());
    g_cpu_seconds[count] = cpu / static_cast<double>(state.iterations());
    state.counters["cpu_ms"] = g_cpu_seconds[count] * 1e3;
}
BENCHMARK(BM_StartUpToInboxListed)
    ->Arg(1'000)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

void print_summary() {
    std::printf("start-up to the Inbox listed (goals: 400 ms at 100,000, 1.5 s at 1,000,000):\n");
    for (const auto& [count, seconds] : g_seconds)
        std::printf("  %7d messages: %7.1f ms (processor time %.1f ms)\n", count, seconds * 1e3,
                    g_cpu_seconds[count] * 1e3);
    if (g_seconds.count(1'000) && g_seconds.count(100'000)) {
        std::printf("  growth 1,000 -> 100,000: %.1f times\n",
                    g_seconds[100'000] / g_seconds[1'000]);
    }
    if (g_seconds.count(100'000) && g_seconds.count(1'000'000)) {
        std::printf("  growth 100,000 -> 1,000,000: %.1f times\n",
                    g_seconds[1'000'000] / g_seconds[100'000]);
    }
}

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], quillet::kChildFlag) == 0) {
        int child_argc = 1;
        return quillet::run_child(child_argc, argv, argv[2], std::atoi(argv[3]));
    }
    return quillet::run_qt_benchmarks<QApplication>(argc, argv, quillet::print_summary);
}
