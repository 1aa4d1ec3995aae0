// The main of every benchmark that needs a Qt application object: offscreen
// unless the caller chose a platform, then Google Benchmark's usual run.
#pragma once

#include <QtGlobal>
#include <functional>

#include "bench/bench_main.h"

namespace quillet {

// `App` is QGuiApplication or QApplication, whichever the benchmark needs;
// `after_run` as for bench::run_benchmarks, while the application still lives.
template <typename App>
int run_qt_benchmarks(int argc, char** argv, const std::function<void()>& after_run = {}) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    return bench::run_benchmarks(argc, argv, after_run);
}

}  // namespace quillet
