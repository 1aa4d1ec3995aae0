// The run every benchmark's main ends in: Google Benchmark's usual run, with
// room for a benchmark's own summary after the runs.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>

namespace quillet::bench {

// The one T a benchmark program's runs share, made when first asked for (a
// filter that runs none of them makes none) and freed at exit.
template <typename T>
T& shared() {
    static T t;
    return t;
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
    benchmark::Shutdown();
    return 0;
}

}  // namespace quillet::bench
