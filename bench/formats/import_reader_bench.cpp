// Reading and importing a 100,000-message Android backup (10 % MMS with a
// 3 kB picture) against a bare pass of libxml2's streaming reader over the
// same file (which
// is well-formed, so that the bare parse reads it whole; emoji are written as
// one reference each):
// the reader's filter, attribute handling and base64 decoding must cost at
// most as much again as the parse itself.
// On a machine shared with other work, compare them interleaved, with
// --benchmark_repetitions=6 --benchmark_enable_random_interleaving=true.
#include <benchmark/benchmark.h>
#include <libxml/xmlreader.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "bench/bench_main.h"
#include "bench/temp_folder.h"
#include "desktop/formats/android_import.h"
#include "desktop/library/importer.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;

constexpr size_t kMessages = 100'000;
constexpr size_t kPictureBytes = 3000;

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

    BackupFile() {
        file = folder.path / "backup.xml";
        std::mt19937 rng(7);
        std::ofstream out(file, std::ios::binary);
        out << "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\""
            << kMessages << "\">\n";
        std::string picture(kPictureBytes, '\0');
        for (size_t i = 0; i < kMessages; ++i) {
            const int64_t date = 1'500'000'000'000 + static_cast<int64_t>(i) * 60'000;
            const std::string number = "+49170" + std::to_string(1'000'000 + rng() % 500);
            if (i % 10 == 9) {
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

BackupFile& backup() {
    return bench::shared<BackupFile>();
}

double peak_mb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_BareStreamingParse(benchmark::State& state) {
    const BackupFile& f = backup();
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
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
    state.counters["file_MB"] = static_cast<double>(f.bytes) / (1 << 20);
}

struct CountingSink : ImportSink {
    size_t messages = 0, skips = 0;
    void message(ImportedMessage&&) override { ++messages; }
    void skipped(std::string_view) override { ++skips; }
    bool progress(uint64_t, uint64_t) override { return true; }
};

struct DiscardingAttachments : AttachmentSink {
    size_t count = 0;
    std::optional<std::string> begin(std::string_view name) override {
        return std::to_string(++count) + std::string(name);
    }
    bool write(std::string_view) override { return true; }
    bool end(bool) override { return true; }
};

void BM_ReadAndroidBackup(benchmark::State& state) {
    const BackupFile& f = backup();
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

// The whole import: read, matched against the (empty) boxes, attachments
// saved, the boxes and the import's record written, into a new data folder
// each time. The goal: at most twice the bare parse, and memory at most
// 64 MB above the boxes' own size. The folders are removed only at the end:
// a file system that has just deleted 10,000 pictures takes far longer to
// make the next ones, which a user's import does not meet.
void BM_ImportIntoANewDataFolder(benchmark::State& state) {
    const BackupFile& f = backup();
    const double peak_before = peak_mb();
    size_t added = 0;
    uintmax_t box_bytes = 0;
    int folders = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path data = f.folder.path / ("data" + std::to_string(++folders));
        fs::create_directories(data);
        MessageLibrary library(data);
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
            library.load_box(kind);
        state.ResumeTiming();
        Importer importer(library, nullptr);
        const ImportRun run = importer.run({f.file}, false);
        added = run.added();
        if (!run.ok() || added != kMessages)
            state.SkipWithError("the backup was not imported whole");
        state.PauseTiming();
        box_bytes = fs::file_size(library.box_path(BoxKind::Inbox)) +
                    fs::file_size(library.box_path(BoxKind::SentItems));
        state.ResumeTiming();
    }
    while (folders > 0)
        fs::remove_all(f.folder.path / ("data" + std::to_string(folders--)));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
    state.counters["added"] = static_cast<double>(added);
    state.counters["boxes_MB"] = static_cast<double>(box_bytes) / (1 << 20);
    state.counters["peak_growth_MB"] = peak_mb() - peak_before;
}

// The reader first, so that its peak memory is measured before the bare
// parse (which holds each picture's base64 whole) raises the process's peak.
BENCHMARK(BM_ReadAndroidBackup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportIntoANewDataFolder)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BareStreamingParse)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

BENCHMARK_MAIN();
