// What the import benchmarks hand a reader so that only the reading is
// measured: a sink that counts, attachments thrown away, and the process's
// peak memory so far.
#pragma once

#include <sys/resource.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "desktop/formats/import_source.h"

namespace quillet::bench {

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

// This process's peak resident memory, in MB.
inline double peak_mb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace quillet::bench
