// Helpers shared by the store's tests: a temp folder per test that serves as
// program, data and platform folder, a time zone set for one test, and file
// contents as bytes.
#pragma once

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/store/app_paths.h"
#include "desktop/store/sms_message.h"

namespace quillet::test {

namespace fs = std::filesystem;

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "quillet-store-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// Program, data and platform root (and XDG_DATA_HOME) all in one temp
// folder for the test.
class AppFolders {
  public:
    AppFolders() {
        fs::create_directories(program());
        fs::create_directories(data());
        fs::create_directories(platform());
        set_app_folders_for_testing(program(), data());
        if (const char* old = std::getenv("QUILLET_PLATFORM_ROOT"))
            old_root_ = old;
        ::setenv("QUILLET_PLATFORM_ROOT", platform().c_str(), 1);
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            old_xdg_ = old;
        ::setenv("XDG_DATA_HOME", (temp_.path() / "xdg").c_str(), 1);
    }
    ~AppFolders() {
        restore("QUILLET_PLATFORM_ROOT", old_root_);
        restore("XDG_DATA_HOME", old_xdg_);
    }
    fs::path program() const { return temp_.path() / "program"; }
    fs::path data() const { return temp_.path() / "data"; }
    fs::path platform() const { return temp_.path() / "platform"; }

  private:
    static void restore(const char* name, const std::string& old) {
        if (old.empty()) {
            ::unsetenv(name);
        } else {
            ::setenv(name, old.c_str(), 1);
        }
    }
    TempFolder temp_;
    std::string old_root_;
    std::string old_xdg_;
};

class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            had_ = true;
            old_ = old;
        }
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (had_) {
            ::setenv("TZ", old_.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    bool had_ = false;
    std::string old_;
};

inline std::string file_contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const fs::path& p, std::string_view bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string as_string(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// A message as the boxes hold it, `number` kept as written (as a phone or a
// file gives it).
inline SmsMessage raw_message(std::u16string_view text, std::string_view number, FileTime time) {
    SmsMessage m;
    m.set_text(text);
    m.set_number_raw(number);
    m.set_time(time);
    return m;
}

// The same with `number` normalised as when typed in.
inline SmsMessage message(std::u16string_view text, std::string_view number, FileTime time) {
    SmsMessage m = raw_message(text, {}, time);
    m.set_number(number);
    return m;
}

// Little-endian pieces for building files by hand.
inline std::string le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
    return s;
}
inline std::string le64(uint64_t v) {
    return le32(static_cast<uint32_t>(v)) + le32(static_cast<uint32_t>(v >> 32));
}
inline std::string utf16le(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}
inline std::string field32(std::string_view text) {
    std::string f(text);
    f.resize(32, '\0');
    return f;
}

// Writes fail past `bytes` (as on a full disk) while it lives.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, old_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit old_{};
    sighandler_t old_handler_;
};

}  // namespace quillet::test
