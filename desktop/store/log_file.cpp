#include "log_file.h"

#include <string>

#include "desktop/store/app_paths.h"
#include "desktop/store/text_file.h"

namespace quillet {

LogFile::~LogFile() {
    close();
}

bool LogFile::open(std::string_view file_name) {
    if (!enabled_)
        return true;
    std::lock_guard lock(mutex_);
    file_.reset(std::fopen(app_relative_path(file_name).c_str(), "ab"));
    return file_ != nullptr;
}

void LogFile::log_line(std::string_view text) {
    if (!enabled_)
        return;
    std::lock_guard lock(mutex_);
    if (!file_)
        return;  // could not be opened: entries are dropped
    std::string entry(text);
    entry += '\n';
    const std::string bytes = with_crlf(entry);
    std::fwrite(bytes.data(), 1, bytes.size(), file_.get());
    std::fflush(file_.get());
}

void LogFile::close() {
    std::lock_guard lock(mutex_);
    file_.reset();
}

LogFile& program_log() {
    static LogFile log;
    return log;
}

}  // namespace quillet
