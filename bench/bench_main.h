// The run every benchmark's main ends in: Google Benchmark's usual run, with
// room for a benchmark's own summary after the runs.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace quillet::bench {

// QUILLET_BENCH_MESSAGES, or `fallback` when it is unset or not a count.
inline size_t messages_wanted(size_t fallback) {
    const char* n = std::getenv("QUILLET_BENCH_MESSAGES");
    return n != nullptr && std::atol(n) > 0 ? static_cast<size_t>(std::atol(n)) : fallback;
}

// Frees what shared() made, newest first.
inline std::vector<std::function<void()>>& shared_releases() {
    static std::vector<std::function<void()>> releases;
    return releases;
}

// The one T a benchmark program's runs share, made when first asked for (a
// filter that runs none of them makes none). It is freed when the runs end,
// while what it uses still lives: a window freed after its application
// object crashes.
template <typename T>
T& shared() {
    static std::unique_ptr<T> t;
    if (!t) {
        t = std::make_unique<T>();
        shared_releases().push_back([] { t.reset(); });
    }
    return *t;
}

// `after_run`, when set, runs once the benchmarks have run (a summary, or
// freeing what they shared) and before the library shuts down.
inline int run_benchmarks(int argc, char** argv, const std::function<void()>& after_run = {}) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (after_run)
        after_run();
    for (auto release = shared_releases().rbegin(); release != shared_releases().rend(); ++release)
        (*release)();
    shared_releases().clear();
    benchmark::Shutdown();
    return 0;
}

}  // namespace quillet::bench
