// The main of every benchmark that needs a Qt application object: offscreen
// unless the caller chose a platform, then Google Benchmark's usual run.
#pragma once

#include <benchmark/benchmark.h>

#include <QtGlobal>

namespace quillet {

// `App` is QGuiApplication or QApplication, whichever the benchmark needs.
template <typename App>
int run_qt_benchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace quillet
