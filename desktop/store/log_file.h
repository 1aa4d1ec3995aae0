// The program-wide debug log, "logfile.txt" in the data folder.
//
// Off unless the program was started with --log: then every call returns at
// once and no file is created. When on, each entry is its text and a line end
// (CR LF on disk, as the log has always been written), flushed at once.
// Both threads write entries; an entry is written whole.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string_view>

namespace quillet {

class LogFile {
  public:
    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    void set_enabled(bool on) { enabled_ = on; }
    bool enabled() const { return enabled_; }

    // Off: true, nothing happens. On: opens the file for appending.
    bool open(std::string_view file_name);
    void log_line(std::string_view text);
    void close();

  private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    bool enabled_ = false;
    std::mutex mutex_;
    std::unique_ptr<std::FILE, FileCloser> file_;
};

// The one log of the program.
LogFile& program_log();

}  // namespace quillet
