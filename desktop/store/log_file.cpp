#include "log_file.h"

#include <sys/stat.h>

#include <string>

#include "desktop/store/app_paths.h"
#include "desktop/store/safe_file.h"
#include "desktop/store/text_file.h"
#include "desktop/store/unique_fd.h"

namespace quillet {

LogFile::~LogFile() {
    close();
}

bool LogFile::open(std::string_view file_name) {
    if (!enabled_)
        return true;
    std::lock_guard lock(mutex_);
    // Opened without waiting (a FIFO in its place would block the start) and
    // kept only when it is a regular file.
    const std::filesystem::path path = app_relative_path(file_name);
    UniqueFd fd(::open(path.c_str(),
                       O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW,
                       new_mode_at(path, 0666)));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    file_.reset(::fdopen(fd.get(), "ab"));
    if (file_ != nullptr)
        fd.release();
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
