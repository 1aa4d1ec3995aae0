// The message view showing one long text, as a person selects it: the page
// filled and written, loaded, laid out and drawn. Texts without a break are
// the hard case. The goal is 100 ms for any length.
#include <benchmark/benchmark.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <string>

#include "bench/gui/qt_bench_main.h"
#include "desktop/store/app_paths.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/message_display.h"
#include "protocol/filetime.h"

namespace quillet {
namespace {

struct ShownView {
    QTemporaryDir folder;
    HtmlFormView view;

    ShownView() {
        set_app_folders_for_testing(QUILLET_PROGRAM_DIR, folder.path().toStdString());
        view.resize(800, 560);
        view.show();
        QApplication::processEvents();
    }
};

ShownView& shown_view() {
    return bench::shared<ShownView>();
}

SmsMessage long_message(size_t length, bool with_spaces) {
    std::u16string text(length, u'x');
    if (with_spaces) {
        for (size_t i = 7; i < length; i += 8)
            text[i] = u' ';
    }
    SmsMessage m;
    m.set_text(text);
    m.set_number("+4930555000");
    m.set_time(filetime_from_unix(1'700'000'000));
    return m;
}

void show_long_text(benchmark::State& state, bool with_spaces) {
    ShownView& shown = shown_view();
    const SmsMessage messages[] = {
        long_message(static_cast<size_t>(state.range(0)), with_spaces),
        long_message(static_cast<size_t>(state.range(0)) - 1, with_spaces)};
    int which = 0;
    for (auto _ : state) {
        // Two messages in turn: every selection shows a new page.
        shown.view.show_message(&messages[which], kInboxTemplate);
        which = 1 - which;
        QTextBrowser& browser = shown.view.browser();
        benchmark::DoNotOptimize(browser.document()->documentLayout()->documentSize());
        browser.viewport()->repaint();
        QApplication::processEvents();
    }
    state.counters["limit_ms"] = 100;
}

void BM_ShowTextWithoutBreaks(benchmark::State& state) {
    show_long_text(state, false);
}
BENCHMARK(BM_ShowTextWithoutBreaks)
    ->Arg(1'000)
    ->Arg(100'000)
    ->Arg(400'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(6);

void BM_ShowTextOfWords(benchmark::State& state) {
    show_long_text(state, true);
}
BENCHMARK(BM_ShowTextOfWords)
    ->Arg(1'000)
    ->Arg(400'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(6);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
    return quillet::run_qt_benchmarks<QApplication>(argc, argv);
}
