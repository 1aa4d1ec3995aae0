// A fresh folder under the system's temp folder, removed with all it holds
// when the benchmark's data is freed.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace quillet::bench {

struct TempFolder {
    std::filesystem::path path;

    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillet-bench-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
};

}  // namespace quillet::bench
