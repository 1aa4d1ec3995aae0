// Loading and saving a box of 100,000 messages against one plain read or
// write of the same number of bytes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <random>

#include "bench/bench_main.h"
#include "bench/temp_folder.h"
#include "bench_data.h"
#include "desktop/store/app_paths.h"
#include "desktop/store/sms_box.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;

constexpr size_t kMessages = 100'000;

// A data folder holding "inbox1.sms" with the messages, for the whole run.
struct BoxFolder {
    bench::TempFolder folder;
    fs::path file;
    size_t bytes = 0;
    SmsBox box{BoxKind::Inbox};

    BoxFolder() {
        set_app_folders_for_testing(folder.path, folder.path);
        std::mt19937 rng(3);
        for (size_t i = 0; i < kMessages; ++i) {
            box.append(SmsMessage::from_wire(bench::phone_record(rng, i, 500)));
        }
        box.save_box(u"inbox1.sms");
        file = folder.path / "inbox1.sms";
        bytes = fs::file_size(file);
    }
};

BoxFolder& box_folder() {
    return bench::shared<BoxFolder>();
}

void BM_LoadBox(benchmark::State& state) {
    BoxFolder& f = box_folder();
    for (auto _ : state) {
        auto box = std::make_unique<SmsBox>(BoxKind::Inbox);
        benchmark::DoNotOptimize(box->load_box(u"inbox1.sms"));
        // Freeing the messages belongs to the end of the run, not to the load.
        state.PauseTiming();
        box.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
}
BENCHMARK(BM_LoadBox)->Unit(benchmark::kMillisecond);

// One read of the whole file. Arg 0: into a buffer allocated once for the
// run; arg 1: into a buffer allocated for each read, as a program reading a
// file into memory has to.
void BM_PlainRead(benchmark::State& state) {
    BoxFolder& f = box_folder();
    std::vector<char> kept(f.bytes);
    for (auto _ : state) {
        std::unique_ptr<char[]> fresh;
        char* buffer = kept.data();
        if (state.range(0) == 1) {
            fresh = std::make_unique_for_overwrite<char[]>(f.bytes);
            buffer = fresh.get();
        }
        const int fd = ::open(f.file.c_str(), O_RDONLY);
        benchmark::DoNotOptimize(::read(fd, buffer, f.bytes));
        ::close(fd);
        state.PauseTiming();
        fresh.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
}
BENCHMARK(BM_PlainRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SaveBox(benchmark::State& state) {
    BoxFolder& f = box_folder();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.box.save_box(u"inbox1.sms"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
}
BENCHMARK(BM_SaveBox)->Unit(benchmark::kMillisecond);

// One write of the same bytes; with state.range(0) = 1 flushed to disk as
// the box's save is.
void BM_PlainWrite(benchmark::State& state) {
    BoxFolder& f = box_folder();
    const std::vector<char> buffer(f.bytes, 'x');
    const fs::path plain = f.folder.path / "plain.bin";
    for (auto _ : state) {
        const int fd = ::open(plain.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        benchmark::DoNotOptimize(::write(fd, buffer.data(), buffer.size()));
        if (state.range(0) == 1)
            ::fsync(fd);
        ::close(fd);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
}
BENCHMARK(BM_PlainWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

BENCHMARK_MAIN();
