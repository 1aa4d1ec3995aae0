#include "desktop/library/background_save.h"

#include <sys/stat.h>

#include "desktop/library/data_folder_lock.h"

namespace quillet {
namespace fs = std::filesystem;

std::optional<BoxFileIdentity> box_file_identity(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return BoxFileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                           static_cast<uint64_t>(st.st_size),
                           int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec};
}

void BackgroundSave::start(const fs::path& folder, const std::vector<Box>& boxes,
                           std::function<void()> ended) {
    try {
        copy_and_start(folder, boxes, std::move(ended));
    } catch (...) {
        // Nothing started: the copies let their texts go.
        for (std::vector<SmsMessage>& copy : copies_)
            copy.clear();
        jobs_.clear();
        throw;
    }
}

void BackgroundSave::copy_and_start(const fs::path& folder, const std::vector<Box>& boxes,
                                    std::function<void()> ended) {
    jobs_.clear();
    for (const Box& b : boxes) {
        const SmsBox& box = *b.box;
        // Assigning into kept storage reuses its memory.
        copies_[static_cast<size_t>(box.kind())] = box.messages();
        Job job;
        job.expect_none = !b.expected.has_value();
        job.expected = b.expected.value_or(BoxFileIdentity{});
        job.path = b.path;
        job.sort_column = box.sort_column();
        job.sort_order = box.sort_order();
        job.report.kind = box.kind();
        job.report.revision = box.revision();
        jobs_.push_back(std::move(job));
    }
    thread_ = std::thread([this, folder, ended = std::move(ended)] { write_all(folder, ended); });
}

void BackgroundSave::write_all(const fs::path& folder, std::function<void()> ended) {
    {
        const DataFolderLock lock(folder);
        for (Job& job : jobs_)
            write_one(job, copies_[static_cast<size_t>(job.report.kind)]);
    }
    if (ended)
        ended();
}

void BackgroundSave::write_one(Job& job, std::vector<SmsMessage>& messages) {
    const std::optional<BoxFileIdentity> now = box_file_identity(job.path);
    // A file gone meanwhile holds nothing to take in: the box is written.
    const bool as_left = !now || (!job.expect_none && *now == job.expected);
    if (!as_left) {
        job.report.changed_meanwhile = true;
    } else if (Outcome saved =
                   save_box_messages(job.path, job.sort_column, job.sort_order, messages);
               !saved) {
        job.report.outcome = std::move(saved);
    } else {
        job.report.written = true;
        job.report.file = box_file_identity(job.path);
    }
    // The texts go back; the storage stays for the next copy.
    messages.clear();
}

std::vector<BackgroundSave::Written> BackgroundSave::wait() {
    if (!thread_.joinable())
        return {};
    thread_.join();
    std::vector<Written> written;
    for (Job& job : jobs_)
        written.push_back(std::move(job.report));
    jobs_.clear();
    return written;
}

}  // namespace quillet
