// What the import readers' tests share: a sink that keeps what it is told,
// attachments kept in memory, a one-message check for table rows, files written into a temp folder
// (`written`), and the growth of the process's peak memory.
#pragma once

#include <sys/resource.h>
#include <zip.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "desktop/formats/import_source.h"
#include "protocol/text_codec.h"
#include "store_test_support.h"

namespace quillet::test {

struct RecordingSink : ImportSink {
    std::vector<ImportedMessage> messages;
    std::vector<std::string> skips;
    uint64_t progress_calls = 0;
    uint64_t cancel_after = UINT64_MAX;  // progress calls before "cancel"

    void message(ImportedMessage&& m) override { messages.push_back(std::move(m)); }
    void skipped(std::string_view why) override { skips.emplace_back(why); }
    bool progress(uint64_t, uint64_t) override { return ++progress_calls <= cancel_after; }
    std::string text(size_t i) const { return to_utf8(messages.at(i).text); }
};

// Each attachment as bytes under the name it got; names made unique the
// way a real sink would, and every suggested name remembered.
struct MemoryAttachments : AttachmentSink {
    std::map<std::string, std::string> files;
    std::vector<std::string> suggested;
    std::string open_name;
    std::string open_bytes;
    uint64_t bytes_seen = 0;
    bool keep_bytes = true;

    std::optional<std::string> begin(std::string_view name) override {
        suggested.emplace_back(name);
        std::string unique(name);
        for (int n = 2; files.count(unique); ++n)
            unique = std::to_string(n) + "-" + std::string(name);
        open_name = unique;
        open_bytes.clear();
        return unique;
    }
    bool write(std::string_view bytes) override {
        bytes_seen += bytes.size();
        if (keep_bytes)
            open_bytes.append(bytes);
        return true;
    }
    bool end(bool keep) override {
        if (keep)
            files[open_name] = std::move(open_bytes);
        return true;
    }
};

// What a reader made of one file: its messages, their pictures, its report.
struct Read {
    RecordingSink sink;
    MemoryAttachments attachments;
    ReadReport read;
};

// A table row for a file holding one message, and the check every reader's
// table makes of it: read whole, nothing skipped, the message as expected.
struct OneMessage {
    bool received = true;
    bool read = true;
    std::string address;
    std::string text;
    int64_t time_ms = 0;
    bool zoneless = false;
};

inline void expect_one_message(const Read& r, const OneMessage& want) {
    ASSERT_TRUE(r.read.outcome.ok()) << r.read.outcome.what();
    ASSERT_EQ(r.sink.messages.size(), 1u) << (r.sink.skips.empty() ? "" : r.sink.skips[0]);
    const ImportedMessage& m = r.sink.messages[0];
    EXPECT_EQ(m.received, want.received);
    EXPECT_EQ(m.read, want.read);
    EXPECT_EQ(m.address, want.address);
    EXPECT_EQ(r.sink.text(0), want.text);
    EXPECT_EQ(m.time_ms, want.time_ms);
    EXPECT_EQ(m.zoneless, want.zoneless);
    EXPECT_TRUE(r.sink.skips.empty());
}

inline std::filesystem::path written(const std::filesystem::path& path, std::string_view bytes) {
    write_file(path, bytes);
    return path;
}

using Entries = std::vector<std::pair<std::string, std::string>>;

// A ZIP of `entries` (name, bytes), as sms-ie writes its export.
inline std::filesystem::path make_zip(const std::filesystem::path& path, const Entries& entries) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(archive, nullptr);
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        EXPECT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0) << name;
    }
    EXPECT_EQ(zip_close(archive), 0);
    return path;
}

#if defined(__SANITIZE_ADDRESS__)
}  // namespace quillet::test

extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                              void (*free_hook)(const volatile void*));
size_t __sanitizer_get_current_allocated_bytes();
size_t __sanitizer_get_allocated_size(const volatile void* p);
}

namespace quillet::test {

// Under AddressSanitizer freed blocks wait in its quarantine, resident, so
// the resident peak says nothing of what a reader holds. The peak of the
// bytes allocated and not yet freed does; its allocator's hooks count them
// from the first call on.
struct LiveBytes {
    static inline std::atomic<long long> live{0};
    static inline std::atomic<long long> peak{0};
    static void allocated(const volatile void*, size_t size) {
        const long long now = live += static_cast<long long>(size);
        for (long long seen = peak; now > seen && !peak.compare_exchange_weak(seen, now);) {
        }
    }
    static void freed(const volatile void* p) {
        live -= static_cast<long long>(__sanitizer_get_allocated_size(p));
    }
};

inline long peak_kb() {
    static const int installed = [] {
        LiveBytes::live = static_cast<long long>(__sanitizer_get_current_allocated_bytes());
        LiveBytes::peak = LiveBytes::live.load();
        return __sanitizer_install_malloc_and_free_hooks(&LiveBytes::allocated, &LiveBytes::freed);
    }();
    EXPECT_NE(installed, 0);
    return static_cast<long>(LiveBytes::peak / 1024);
}
#else
inline long peak_kb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
#endif

}  // namespace quillet::test
