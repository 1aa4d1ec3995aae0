// Reading an iPhone backup and an SMS Backup+ mbox of 100,000 messages
// each (QUILLET_BENCH_MESSAGES says otherwise), against the bare work any
// reader of them must do, in the same run: for the iPhone, an SQLite read
// of the same rows joined to their handles (a third of the texts only in
// attributedBody); for the mbox, a split of the file into mails at its
// "From " lines, each mail made one string. The goals, in the summary after the runs: each reader
// at most twice its bare work; the whole import of each (into a new, empty data folder, in this
// process) is reported beside it with the peak memory's growth, whose goal is the boxes' size + 64
// MB.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>

#include "bench/bench_main.h"
#include "bench/import_sinks.h"
#include "bench/temp_folder.h"
#include "desktop/formats/iphone_import.h"
#include "desktop/formats/mail_import.h"
#include "desktop/library/importer.h"
#include "tests/formats/iphone_backup_builder.h"

namespace quillet {
namespace {
namespace fs = std::filesystem;
using bench::CountingSink;
using bench::DiscardingAttachments;
using bench::peak_mb;

const size_t kMessages = bench::messages_wanted(100'000);

std::string text_of(size_t i) {
    return "Message " + std::to_string(i) + ": see you at the station at " +
           std::to_string(i % 24) + ":00 \xF0\x9F\x9A\x89";
}

// An iPhone backup folder (iOS 16 schema) for the whole run.
struct IphoneBackup {
    bench::TempFolder folder;
    fs::path sms_db;

    IphoneBackup() {
        test::BackupFolder backup(folder.path / "backup");
        sms_db = backup.add("HomeDomain", "Library/SMS/sms.db");
        test::TestDb db(sms_db);
        db.exec(std::string(test::kSmsEras[2].message_table) + ";" + test::kSmsTables);
        db.exec("BEGIN");
        for (int p = 0; p < 500; ++p)
            db.exec("INSERT INTO handle (id, service) VALUES ('+49170" +
                    std::to_string(1'000'000 + p) + "', 'SMS')");
        for (size_t i = 0; i < kMessages; ++i) {
            const int64_t ns = (600'000'000 + static_cast<int64_t>(i) * 60) * 1'000'000'000;
            const bool blob = i % 3 == 0;
            db.exec(
                "INSERT INTO message (guid, text, handle_id, service, is_from_me, is_read, "
                "date) VALUES ('g" +
                std::to_string(i) + "', " + (blob ? "NULL" : "'" + text_of(i) + "'") + ", " +
                std::to_string(1 + i % 500) + ", 'SMS', " + std::to_string(i % 2) + ", 1, " +
                std::to_string(ns) + ")");
            if (blob)
                db.exec_with_blob(
                    "UPDATE message SET attributedBody = ?1 WHERE ROWID = " + std::to_string(i + 1),
                    test::typedstream(text_of(i)));
        }
        db.exec("COMMIT");
    }
    fs::path path() const { return folder.path / "backup"; }
};

// An mbox of SMS Backup+ mails, a tenth of them MMS with a 3 kB picture.
struct Mbox {
    bench::TempFolder folder;
    fs::path file;
    uint64_t bytes = 0;

    Mbox() {
        file = folder.path / "takeout.mbox";
        std::ofstream out(file, std::ios::binary);
        const std::string picture_line(76, 'Q');
        for (size_t i = 0; i < kMessages; ++i) {
            const bool mms = i % 10 == 9;
            out << "From 1" << i << "@xxx Mon Jan 01 00:00:00 2024\n"
                << "From: +49170" << 1'000'000 + i % 500 << "@unknown.email\n"
                << "To: me@example.org\nSubject: SMS with someone\nMIME-Version: 1.0\n"
                << "X-smssync-datatype: " << (mms ? "MMS" : "SMS") << "\nX-smssync-address: +49170"
                << 1'000'000 + i % 500
                << "\nX-smssync-type: " << (mms ? (i % 2 ? "128" : "132") : (i % 2 ? "2" : "1"))
                << "\nX-smssync-date: "
                << (mms ? 1'600'000'000 + i * 60 : (1'600'000'000 + i * 60) * 1000)
                << "\nX-smssync-read: 1\n";
            if (mms) {
                out << "Content-Type: multipart/mixed; boundary=\"b" << i << "\"\n\n--b" << i
                    << "\nContent-Type: text/plain; charset=utf-8\n\nLook at this\n--b" << i
                    << "\nContent-Type: image/jpeg; name=\"IMG_" << i
                    << ".jpg\"\nContent-Transfer-Encoding: base64\n\n";
                for (int l = 0; l < 53; ++l)
                    out << picture_line << "\n";
                out << "--b" << i << "--\n\n";
            } else {
                out << "Content-Type: text/plain; charset=utf-8\n"
                       "Content-Transfer-Encoding: quoted-printable\n\nMessage "
                    << i << ": see you at the station =F0=9F=9A=89\n>From the platform\n\n";
            }
        }
        out.close();
        bytes = fs::file_size(file);
    }
};

struct Figures {
    double bare_s = 0, read_s = 0, import_s = 0, import_growth_mb = 0, boxes_mb = 0;
};
std::map<std::string, Figures>& figures() {
    static std::map<std::string, Figures> f;
    return f;
}

void summarise() {
    for (const auto& [name, f] : figures()) {
        if (f.bare_s <= 0 || f.read_s <= 0)
            continue;
        std::printf(
            "%zu messages, %s: reader %.2f s = %.2f x the bare work (%.3f s; goal 2 x); whole "
            "import %.2f s, peak growth %.0f MB for %.0f MB of boxes (goal +64)\n",
            kMessages, name.c_str(), f.read_s, f.read_s / f.bare_s, f.bare_s, f.import_s,
            f.import_growth_mb, f.boxes_mb);
    }
}

double seconds_since(std::chrono::steady_clock::time_point start, int64_t iterations) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
           static_cast<double>(iterations);
}

void BM_IphoneBareSqliteRead(benchmark::State& state) {
    const IphoneBackup& backup = bench::shared<IphoneBackup>();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(backup.sms_db.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT m.ROWID, m.guid, m.text, m.attributedBody, m.is_from_me, "
                           "m.is_read, m.date, h.id FROM message m LEFT JOIN handle h ON "
                           "h.ROWID = m.handle_id ORDER BY m.ROWID",
                           -1, &s, nullptr);
        size_t rows = 0, bytes = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < 8; ++c) {
                bytes += static_cast<size_t>(sqlite3_column_bytes(s, c));
                benchmark::DoNotOptimize(sqlite3_column_blob(s, c));
            }
        }
        sqlite3_finalize(s);
        sqlite3_close(db);
        if (rows != kMessages)
            state.SkipWithError("the bare read did not see every row");
        benchmark::DoNotOptimize(bytes);
    }
    figures()["iPhone sms.db"].bare_s = seconds_since(start, state.iterations());
}

void BM_ReadIphoneBackup(benchmark::State& state) {
    const IphoneBackup& backup = bench::shared<IphoneBackup>();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        CountingSink sink;
        DiscardingAttachments attachments;
        std::vector<ImportedContact> contacts;
        const ReadReport read = read_iphone_backup(backup.path(), sink, attachments, contacts);
        if (!read.outcome.ok() || sink.messages != kMessages)
            state.SkipWithError("the backup was not read whole");
    }
    figures()["iPhone sms.db"].read_s = seconds_since(start, state.iterations());
}

void BM_MboxBareSplit(benchmark::State& state) {
    const Mbox& mbox = bench::shared<Mbox>();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const int fd = ::open(mbox.file.c_str(), O_RDONLY | O_CLOEXEC);
        std::string piece(64 * 1024, '\0');
        // Each mail as one string, as a splitter hands them on.
        size_t mails = 0;
        std::string mail, line;
        const auto take = [&] {
            if (line.starts_with("From ")) {
                mails += !mail.empty() || mails == 0 ? 1 : 0;
                benchmark::DoNotOptimize(mail.data());
                mail.clear();
            }
            mail += line;
            mail += '\n';
            line.clear();
        };
        for (ssize_t n; (n = ::read(fd, piece.data(), piece.size())) > 0;) {
            std::string_view data(piece.data(), static_cast<size_t>(n));
            for (size_t nl; (nl = data.find('\n')) != std::string_view::npos;) {
                line.append(data.substr(0, nl));
                take();
                data.remove_prefix(nl + 1);
            }
            line.append(data);
        }
        ::close(fd);
        if (mails != kMessages)
            state.SkipWithError("the bare split did not see every mail");
    }
    figures()["SMS Backup+ mbox"].bare_s = seconds_since(start, state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * mbox.bytes));
}

void BM_ReadMbox(benchmark::State& state) {
    const Mbox& mbox = bench::shared<Mbox>();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        CountingSink sink;
        DiscardingAttachments attachments;
        const ReadReport read = read_smssync_mail(mbox.file, sink, attachments);
        if (!read.outcome.ok() || sink.messages != kMessages)
            state.SkipWithError("the mbox was not read whole");
    }
    figures()["SMS Backup+ mbox"].read_s = seconds_since(start, state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * mbox.bytes));
}

// The whole import into a new, empty data folder, in this process.
void whole_import(benchmark::State& state, const fs::path& source, const std::string& name) {
    const double peak_before = peak_mb();
    const auto start = std::chrono::steady_clock::now();
    double boxes_mb = 0;
    for (auto _ : state) {
        bench::TempFolder data;
        MessageLibrary library(data.path);
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems})
            library.load_box(kind);
        Importer importer(library, nullptr);
        const ImportRun run = importer.run({source}, false);
        if (!run.ok() || run.added() != kMessages)
            state.SkipWithError("the import did not add every message");
        uint64_t bytes = 0;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(data.path, ec)) {
            if (entry.path().extension() == ".sms")
                bytes += entry.file_size(ec);
        }
        boxes_mb = static_cast<double>(bytes) / (1 << 20);
    }
    Figures& f = figures()[name];
    f.import_s = seconds_since(start, state.iterations());
    f.import_growth_mb = peak_mb() - peak_before;
    f.boxes_mb = boxes_mb;
}

void BM_ImportIphoneBackup(benchmark::State& state) {
    whole_import(state, bench::shared<IphoneBackup>().path(), "iPhone sms.db");
}

void BM_ImportMbox(benchmark::State& state) {
    whole_import(state, bench::shared<Mbox>().file, "SMS Backup+ mbox");
}

BENCHMARK(BM_IphoneBareSqliteRead)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ReadIphoneBackup)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_MboxBareSplit)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ReadMbox)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ImportIphoneBackup)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ImportMbox)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
    return quillet::bench::run_benchmarks(argc, argv, &quillet::summarise);
}
