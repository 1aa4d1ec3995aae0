// What the import fuzzers check of every message a reader hands on: a time
// the boxes can hold. Anything else aborts, which libFuzzer reports.
#pragma once

#include <cstdlib>

#include "desktop/formats/import_text.h"

namespace quillet::fuzz {

struct CheckingSink : ImportSink {
    void message(ImportedMessage&& m) override {
        if (m.time_ms < import::kEarliestMs || m.time_ms > import::kLatestMs)
            std::abort();
    }
    void skipped(std::string_view) override {}
    bool progress(uint64_t, uint64_t) override { return true; }
};

}  // namespace quillet::fuzz
