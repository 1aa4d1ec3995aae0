// A conversation of 1,000 messages written as PDF: the goal is 2 s at most.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QGuiApplication>
#include <QTemporaryDir>
#include <random>

#include "bench/gui/qt_bench_main.h"
#include "bench/store/bench_data.h"
#include "desktop/print/conversation_print.h"

namespace quillet {
namespace {

constexpr size_t kMessages = 1'000;
inline constexpr double kGoalSeconds = 2.0;

void BM_ConversationToPdf(benchmark::State& state) {
    SmsBox inbox(BoxKind::Inbox);
    SmsBox sent(BoxKind::SentItems);
    std::mt19937 rng(11);
    for (size_t i = 0; i < kMessages; ++i) {
        SmsWireRecord w = bench::phone_record(rng, i * 97, 1);
        (i % 2 == 0 ? inbox : sent).append(SmsMessage::from_wire(std::move(w)));
    }
    const Correspondence c =
        correspondence_with(inbox.message_ref(0).number(), {inbox, sent}, PhoneNumbers("DE"));
    if (c.messages.size() != kMessages)
        state.SkipWithError("the messages are not one conversation");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("conversation.pdf"));
    const QLocale locale(QLocale::English, QLocale::UnitedKingdom);
    for (auto _ : state) {
        const Outcome written = write_conversation_pdf(path, {QStringLiteral("Nora"), &c}, locale);
        if (!written)
            state.SkipWithError(written.what().c_str());
    }
    state.counters["goal_s"] = kGoalSeconds;
}
BENCHMARK(BM_ConversationToPdf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
    return quillet::run_qt_benchmarks<QGuiApplication>(argc, argv);
}
