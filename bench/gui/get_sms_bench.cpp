// Get SMS on a live link that brings nothing new: the main window, the real
// agent started through the remote API, a phone made with the real phone
// tool, from the command to its status text. Each Inbox size is measured
// with the status bar shown and hidden. At the end the run prints, against
// their limits, the time at 10,000 (60 ms) and 100,000 (400 ms), the growth
// from 1,000 to 100,000, and shown against hidden (at most 1.2 times).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QStatusBar>
#include <QTcpServer>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/gui/main_window_rig.h"
#include "bench/gui/qt_bench_main.h"
#include "bench/phone_tool.h"
#include "desktop/app/main_frame.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/app_paths.h"

namespace quillet {
namespace {

using bench::run_phone_tool;

// A phone with `count` Inbox messages, a main window on its own data folder
// linked to it, and one Get SMS done, so that the next ones bring nothing.
class LinkedWindow : bench::MainWindowRig {
  public:
    explicit LinkedWindow(int count) : count_(count) {
        if (!run_phone_tool({"init"}) ||
            !run_phone_tool({"bulk", "inbox", "--count", std::to_string(count)})) {
            std::fprintf(stderr, "quillet-phone failed\n");
            std::abort();
        }
        start();
        get_sms();
    }

    // One Get SMS; true when it reported nothing new.
    bool get_sms() {
        frame->on_button_get_sms();
        return frame->status_text() == QStringLiteral("0 new imported messages") &&
               static_cast<int>(frame->inbox().count()) == count_;
    }
    void show_status_bar(bool on) {
        frame->statusBar()->setVisible(on);
        QApplication::processEvents();
    }

  private:
    int count_;
};

// One window at a time: each has its own phone and link port. It must be
// gone before the application object is (see main).
std::unique_ptr<LinkedWindow> g_window;
int g_window_count = -1;

LinkedWindow& window(int count) {
    if (g_window_count != count) {
        g_window.reset();
        g_window = std::make_unique<LinkedWindow>(count);
        g_window_count = count;
    }
    return *g_window;
}

// Mean seconds per Get SMS, by Inbox size and status bar shown (1) or not.
std::map<std::pair<int, int>, double> g_seconds;

void BM_GetSmsNothingNew(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const bool shown = state.range(1) != 0;
    LinkedWindow& w = window(count);
    w.show_status_bar(shown);
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool nothing_new = w.get_sms();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!nothing_new) {
            state.SkipWithError("Get SMS did not report 0 new messages");
            break;
        }
    }
    w.show_status_bar(true);
    if (state.iterations() > 0)
        g_seconds[{count, shown}] = total / static_cast<double>(state.iterations());
    state.counters["messages"] = count;
}
BENCHMARK(BM_GetSmsNothingNew)
    ->ArgNames({"inbox", "statusbar"})
    ->Args({1'000, 1})
    ->Args({1'000, 0})
    ->Args({10'000, 1})
    ->Args({10'000, 0})
    ->Args({100'000, 1})
    ->Args({100'000, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);

void print_summary() {
    const auto ms = [](int count, int shown) {
        const auto it = g_seconds.find({count, shown});
        return it == g_seconds.end() ? -1.0 : it->second * 1000;
    };
    std::printf("Get SMS, nothing new, status bar shown:\n");
    for (const auto& [count, limit] : {std::pair{1'000, 0.0}, {10'000, 60.0}, {100'000, 400.0}}) {
        std::printf("  %7d messages: %7.1f ms", count, ms(count, 1));
        if (limit > 0)
            std::printf(" (limit %.0f ms)", limit);
        std::printf("; hidden %.1f ms, shown/hidden %.2f (limit 1.20)\n", ms(count, 0),
                    ms(count, 1) / ms(count, 0));
    }
    if (ms(1'000, 1) > 0 && ms(100'000, 1) > 0) {
        std::printf("  growth 1,000 -> 100,000: %.1f times for 100 times the messages\n",
                    ms(100'000, 1) / ms(1'000, 1));
    }
}

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
    return quillet::run_qt_benchmarks<QApplication>(argc, argv, [] {
        quillet::g_window.reset();
        quillet::print_summary();
    });
}
