// Reading and importing an Android backup (100,000 messages unless
// QUILLET_BENCH_MESSAGES says otherwise), once without pictures and once
// with a tenth of them MMS with a 3 kB picture, against a bare pass of
// libxml2's streaming reader over the same file (which is well-formed, so
// that the bare parse reads it whole; emoji are written as one reference
// each). The goals, in the summary after the runs: the whole import by
// quillet-cli into an empty data folder at most twice the bare parse
// without pictures, three times with them; its peak memory at most the
// boxes' size + 64 MB.
// On a machine shared with other work, compare them interleaved, with
// --benchmark_repetitions=6 --benchmark_enable_random_interleaving=true.
// QUILLET_BENCH_CLI names another quillet-cli to measure (an older build).
#include <benchmark/benchmark.h>
#include <libxml/xmlreader.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "bench/bench_main.h"
#include "bench/child_run.h"
#include "bench/import_sinks.h"
#include "bench/temp_folder.h"
#include "desktop/formats/android_import.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;
using bench::CountingSink;
using bench::DiscardingAttachments;
using bench::peak_mb;

constexpr size_t kPictureBytes = 3000;

const size_t kMessages = bench::messages_wanted(100'000);

std::string base64(const std::string& bytes) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i + 2 < bytes.size(); i += 3) {
        const uint32_t v = static_cast<uint8_t>(bytes[i]) << 16 |
                           static_cast<uint8_t>(bytes[i + 1]) << 8 |
                           static_cast<uint8_t>(bytes[i + 2]);
        for (int shift : {18, 12, 6, 0})
            out += alphabet[(v >> shift) & 63];
    }
    return out;
}

// The backup in a temp folder for the whole run.
struct BackupFile {
    bench::TempFolder folder;
    fs::path file;
    uint64_t bytes = 0;

    explicit BackupFile(bool pictures) {
        file = folder.path / "backup.xml";
        std::mt19937 rng(7);
        std::ofstream out(file, std::ios::binary);
        out << "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\""
            << kMessages << "\">\n";
        std::string picture(kPictureBytes, '\0');
        for (size_t i = 0; i < kMessages; ++i) {
            const int64_t date = 1'500'000'000'000 + static_cast<int64_t>(i) * 60'000;
            const std::string number = "+49170" + std::to_string(1'000'000 + rng() % 500);
            if (pictures && i % 10 == 9) {
                for (char& c : picture)
                    c = static_cast<char>(rng());
                out << "  <mms date=\"" << date << "\" msg_box=\"" << 1 + i % 2
                    << "\" read=\"1\" address=\"" << number << "\"><parts>"
                    << "<part seq=\"-1\" ct=\"application/smil\" "
                       "text=\"&lt;smil&gt;&lt;/smil&gt;\" />"
                    << "<part seq=\"0\" ct=\"image/jpeg\" name=\"IMG_" << i << ".jpg\" data=\""
                    << base64(picture) << "\" />"
                    << "<part seq=\"1\" ct=\"text/plain\" chset=\"106\" text=\"Look at this "
                       "&#128512;\" />"
                    << "</parts><addrs><addr address=\"" << number
                    << "\" type=\"137\" /><addr address=\"+491701234567\" type=\"151\" />"
                    << "</addrs></mms>\n";
            } else {
                out << "  <sms protocol=\"0\" address=\"" << number << "\" date=\"" << date
                    << "\" type=\"" << 1 + i % 2 << "\" subject=\"null\" body=\"Message " << i
                    << ": see you at the station at " << i % 24
                    << " o'clock, bring the tickets&#10;Thanks!\" read=\"1\" status=\"-1\" "
                       "locked=\"0\" date_sent=\"0\" readable_date=\"Jan 1, 2020 9:00:00 AM\" "
                       "contact_name=\"(Unknown)\" />\n";
            }
        }
        out << "</smses>\n";
        out.close();
        bytes = fs::file_size(file);
    }
};

template <bool Pictures>
struct Backup : BackupFile {
    Backup() : BackupFile(Pictures) {}
};

// state.range(0): the share of messages with a picture, in percent (0 or 10).
BackupFile& backup(const benchmark::State& state) {
    if (state.range(0) == 0)
        return bench::shared<Backup<false>>();
    return bench::shared<Backup<true>>();
}

// Per picture share, the mean seconds of each kind of run, for the summary.
struct Figures {
    double parse_s = 0, import_s = 0, import_peak_mb = 0, boxes_mb = 0;
};
std::map<int64_t, Figures>& figures() {
    static std::map<int64_t, Figures> f;
    return f;
}

void summarise() {
    for (const auto& [share, f] : figures()) {
        if (f.parse_s <= 0 || f.import_s <= 0)
            continue;
        std::printf(
            "%zu messages, %lld %% with a picture: import %.2f s = %.2f x the bare parse "
            "(%.3f s; goal %d x); peak %.0f MB for %.0f MB of boxes: %+.0f MB over them "
            "(goal +64)\n",
            kMessages, static_cast<long long>(share), f.import_s, f.import_s / f.parse_s, f.parse_s,
            share == 0 ? 2 : 3, f.import_peak_mb, f.boxes_mb, f.import_peak_mb - f.boxes_mb);
    }
}

void BM_BareStreamingParse(benchmark::State& state) {
    const BackupFile& f = backup(state);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        xmlTextReaderPtr reader = xmlReaderForFile(f.file.c_str(), nullptr, XML_PARSE_NONET);
        size_t elements = 0;
        int status = 0;
        while ((status = xmlTextReaderRead(reader)) == 1)
            elements += xmlTextReaderNodeType(reader) == XML_READER_TYPE_ELEMENT;
        xmlFreeTextReader(reader);
        if (status != 0)
            state.SkipWithError("the bare parse failed");
        benchmark::DoNotOptimize(elements);
    }
    figures()[state.range(0)].parse_s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
        static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
    state.counters["file_MB"] = static_cast<double>(f.bytes) / (1 << 20);
}

void BM_ReadAndroidBackup(benchmark::State& state) {
    const BackupFile& f = backup(state);
    const double peak_before = peak_mb();  // after the file was written
    CountingSink sink;
    for (auto _ : state) {
        sink = CountingSink();
        DiscardingAttachments attachments;
        const ReadReport read = read_android_backup(f.file, sink, attachments);
        if (!read.outcome.ok() || sink.messages != kMessages)
            state.SkipWithError("the backup was not read whole");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
    state.counters["messages"] = static_cast<double>(sink.messages);
    state.counters["peak_growth_MB"] = peak_mb() - peak_before;
}

// The whole import as the user runs it: quillet-cli importing the backup
// into a new, empty data folder each time (read, matched against the empty
// boxes, attachments saved, the boxes and the import's record written). The
// folders are removed only at the end: a file system that has just deleted
// 10,000 pictures takes far longer to make the next ones, which a user's
// import does not meet.
void BM_CliImportIntoANewDataFolder(benchmark::State& state) {
    const BackupFile& f = backup(state);
    // A copy of its own: the build's program folder may hold an earlier
    // run's boxes, which the command line would move into the data folder.
    const char* other = std::getenv("QUILLET_BENCH_CLI");
    const fs::path cli = f.folder.path / "program" / "quillet-cli";
    fs::create_directories(cli.parent_path());
    fs::copy_file(other != nullptr ? fs::path(other) : fs::path(QUILLET_PROGRAM_DIR "/quillet-cli"),
                  cli, fs::copy_options::overwrite_existing);
    double peak = 0, seconds = 0;
    uintmax_t box_bytes = 0;
    int folders = 0;
    for (auto _ : state) {
        const fs::path home = f.folder.path / ("data" + std::to_string(++folders));
        fs::create_directories(home);
        const bench::ChildRun run =
            bench::run_child({cli.string(), "import", f.file.string()},
                             {"XDG_DATA_HOME=" + home.string(), "HOME=" + home.string()});
        if (!run.ok)
            state.SkipWithError("quillet-cli did not import the backup");
        state.SetIterationTime(run.seconds);
        seconds += run.seconds;
        peak = std::max(peak, run.peak_mb);
        std::error_code ec;
        const fs::path data = home / "quillet";
        box_bytes = fs::file_size(data / "inbox1.sms", ec) + fs::file_size(data / "sent1.sms", ec);
    }
    while (folders > 0)
        fs::remove_all(f.folder.path / ("data" + std::to_string(folders--)));
    Figures& out = figures()[state.range(0)];
    out.import_s = seconds / static_cast<double>(state.iterations());
    out.import_peak_mb = peak;
    out.boxes_mb = static_cast<double>(box_bytes) / (1 << 20);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
    state.counters["peak_MB"] = peak;
    state.counters["boxes_MB"] = out.boxes_mb;
}

// The reader first, so that its peak memory is measured before the bare
// parse (which holds each picture's base64 whole) raises the process's peak.
BENCHMARK(BM_ReadAndroidBackup)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CliImportIntoANewDataFolder)
    ->Arg(0)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_BareStreamingParse)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
    return quillet::bench::run_benchmarks(argc, argv, quillet::summarise);
}
