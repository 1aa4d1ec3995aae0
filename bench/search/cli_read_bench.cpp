// quillet-cli's read-only commands over a lifelong history: search, show and
// conversations over a data folder of 1,000,000 messages (the search
// scene's mix; QUILLET_BENCH_MESSAGES sets another size), each a run of
// the real program, against a bare read of the box files' bytes in the
// same run. Goals, in the summary after the runs: each command at most 3
// times the bare read, its peak memory at most the box files' own size.
// QUILLET_BENCH_CLI names another quillet-cli to measure (an older build).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_main.h"
#include "bench/child_run.h"
#include "bench/search/search_scene.h"
#include "bench/temp_folder.h"
#include "desktop/store/contacts_file.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;

// The data folder, written once: three boxes and the contacts.
struct DataFolder {
    bench::TempFolder folder;
    fs::path data;
    fs::path cli;
    uint64_t box_bytes = 0;

    DataFolder() {
        data = folder.path / "data";
        fs::create_directories(data);
        {
            bench::Scene scene = bench::make_scene(bench::messages_wanted(1'000'000));
            for (SmsBox* box : {&scene.inbox, &scene.sent, &scene.deleted}) {
                const fs::path file = data / to_utf8(box_file_name(box->kind()));
                if (!box->save_box_file(file))
                    std::abort();
                box_bytes += fs::file_size(file);
            }
        }
        std::vector<Contact> contacts;
        for (size_t c = 0; c < bench::kContacts; ++c) {
            std::mt19937 spelling(static_cast<uint32_t>(c));
            contacts.push_back(make_contact("Person " + std::to_string(c) + ",Family",
                                            bench::number_of(c, spelling)));
        }
        const std::vector<uint8_t> bytes = encode_contacts_file(contacts);
        std::ofstream(data / to_utf8(kContactsFileName), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        // A copy of its own, as a user's program folder holds no boxes.
        cli = folder.path / "program" / "quillet-cli";
        fs::create_directories(cli.parent_path());
        const char* other = std::getenv("QUILLET_BENCH_CLI");
        fs::copy_file(
            other != nullptr ? fs::path(other) : fs::path(QUILLET_PROGRAM_DIR "/quillet-cli"), cli);
    }
};

DataFolder& data_folder() {
    return bench::shared<DataFolder>();
}

struct Figures {
    double seconds = 0, peak_mb = 0;
};
std::map<std::string, Figures>& figures() {
    static std::map<std::string, Figures> f;
    return f;
}

// Every byte of the three box files, read into one buffer, as a command
// that must look at each message reads them at the least.
void BM_BareReadOfTheBoxFiles(benchmark::State& state) {
    const DataFolder& d = data_folder();
    std::vector<char> buffer(1 << 20);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        uint64_t read = 0;
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
            const int fd = ::open((d.data / to_utf8(box_file_name(kind))).c_str(), O_RDONLY);
            ssize_t n = 0;
            while ((n = ::read(fd, buffer.data(), buffer.size())) > 0)
                read += static_cast<uint64_t>(n);
            ::close(fd);
        }
        if (read != d.box_bytes)
            state.SkipWithError("the box files were not read whole");
    }
    figures()["bare read"].seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
        static_cast<double>(state.iterations());
    state.counters["boxes_MB"] = static_cast<double>(d.box_bytes) / (1 << 20);
}

// One command of quillet-cli over the data folder, its output thrown away.
void run_command(benchmark::State& state, const std::string& name,
                 const std::vector<std::string>& command) {
    const DataFolder& d = data_folder();
    std::vector<std::string> args{d.cli.string(), "--data", d.data.string()};
    args.insert(args.end(), command.begin(), command.end());
    Figures& out = figures()[name];
    double seconds = 0;
    for (auto _ : state) {
        const bench::ChildRun run = bench::run_child(args);
        if (!run.ok)
            state.SkipWithError("quillet-cli failed");
        state.SetIterationTime(run.seconds);
        seconds += run.seconds;
        out.peak_mb = std::max(out.peak_mb, run.peak_mb);
    }
    out.seconds = seconds / static_cast<double>(state.iterations());
    state.counters["peak_MB"] = out.peak_mb;
}

void BM_Search(benchmark::State& state) {
    run_command(state, "search", {"search", "bientôt Straße"});
}
void BM_Show(benchmark::State& state) {
    std::mt19937 spelling(7);
    run_command(state, "show", {"show", bench::number_of(7, spelling)});
}
void BM_Conversations(benchmark::State& state) {
    run_command(state, "conversations", {"conversations"});
}

void summarise() {
    const DataFolder& d = data_folder();
    const double bare = figures()["bare read"].seconds;
    const double boxes_mb = static_cast<double>(d.box_bytes) / (1 << 20);
    for (const auto& [name, f] : figures()) {
        if (name == "bare read" || bare <= 0)
            continue;
        std::printf(
            "%zu messages, %s: %.2f s = %.1f x the bare read (%.3f s; goal 3 x); "
            "peak %.0f MB for %.0f MB of box files (goal: at most them)\n",
            bench::messages_wanted(1'000'000), name.c_str(), f.seconds, f.seconds / bare, bare,
            f.peak_mb, boxes_mb);
    }
}

BENCHMARK(BM_BareReadOfTheBoxFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Show)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Conversations)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
    return quillet::bench::run_benchmarks(argc, argv, quillet::summarise);
}
