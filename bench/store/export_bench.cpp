// The Android backup of 100,000 messages against writing its bytes alone
// (the same atomic save of a ready buffer): the goal is at most three times
// the plain write.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <random>

#include "bench/bench_main.h"
#include "bench/temp_folder.h"
#include "bench_data.h"
#include "desktop/formats/android_backup.h"

namespace quillet {
namespace {

constexpr size_t kMessages = 100'000;

struct ExportData {
    bench::TempFolder folder;
    SmsBox inbox{BoxKind::Inbox};
    SmsBox sent{BoxKind::SentItems};
    ContactList contacts;
    std::string bytes;

    ExportData() {
        std::mt19937 rng(5);
        for (size_t i = 0; i < kMessages; ++i) {
            SmsBox& box = i % 3 == 0 ? sent : inbox;
            box.append(SmsMessage::from_wire(bench::phone_record(rng, i, 500)));
        }
        for (int i = 0; i < 300; ++i)
            contacts.append(make_contact("Person " + std::to_string(i),
                                         "0151 " + std::to_string(1'000'000 + i)));
        contacts.sort_contacts();
        bytes = android_backup_bytes({inbox, sent}, contacts);
    }
};

ExportData& data() {
    return bench::shared<ExportData>();
}

void BM_AndroidBackupExport(benchmark::State& state) {
    ExportData& d = data();
    for (auto _ : state) {
        const AndroidBackupReport r =
            export_android_backup(d.folder.path / "backup.xml", {d.inbox, d.sent}, d.contacts);
        if (!r.outcome)
            state.SkipWithError(r.outcome.what().c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.bytes.size()));
}
BENCHMARK(BM_AndroidBackupExport)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteBackupBytes(benchmark::State& state) {
    ExportData& d = data();
    for (auto _ : state) {
        const Outcome r =
            save_file_atomically(d.folder.path / "plain.xml", std::string_view(d.bytes));
        if (!r)
            state.SkipWithError(r.what().c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.bytes.size()));
}
BENCHMARK(BM_WriteBackupBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quillet
