// Writes box files on a thread of its own from copies of the boxes, so that
// the window goes on while a lifetime's messages are written. One save runs
// at a time; MessageLibrary starts it and takes its outcome in once it ended.
//
// The copies are made on the caller's thread, into storage kept from the last
// save: copying a box of a million messages into memory already in use costs
// a few milliseconds, where fresh memory would cost more than the save saves.
// The texts are not copied (MessageText shares them).
//
// The saving thread holds the data folder's lock while it writes, and writes
// a box only while its file is still the one the library last read or wrote:
// when another writer changed it meanwhile, the box is left for the next
// save, which takes that writer's messages in first.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "desktop/store/outcome.h"
#include "desktop/store/sms_box.h"

namespace quillet {

// A box file as the system saw it: any writer's save changes it.
struct BoxFileIdentity {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modified_ns = 0;
    bool operator==(const BoxFileIdentity&) const = default;
};
std::optional<BoxFileIdentity> box_file_identity(const std::filesystem::path& path);

class BackgroundSave {
  public:
    struct Box {
        const SmsBox* box = nullptr;
        std::filesystem::path path;
        // The file as the library last saw it; written only while it is
        // still that file, or gone.
        std::optional<BoxFileIdentity> expected;
    };
    // What became of one box.
    struct Written {
        BoxKind kind = BoxKind::Inbox;
        uint64_t revision = 0;  // the box's revision that was copied
        bool written = false;
        bool changed_meanwhile = false;  // another writer's file: not written, no failure
        Outcome outcome;                 // not written, and why
        std::optional<BoxFileIdentity> file;
    };

    BackgroundSave() = default;
    ~BackgroundSave() { wait(); }
    BackgroundSave(const BackgroundSave&) = delete;
    BackgroundSave& operator=(const BackgroundSave&) = delete;

    // Copies `boxes` and starts writing them under the lock of `folder`.
    // `ended` is called on the saving thread once every box was written or
    // failed. The caller has waited for the save before (running() false).
    // Out of memory for the copies (std::bad_alloc) or for the thread
    // (std::system_error): nothing started.
    void start(const std::filesystem::path& folder, const std::vector<Box>& boxes,
               std::function<void()> ended);
    bool running() const { return thread_.joinable(); }
    // Waits for the save started last, and hands over its outcome (empty
    // when none was started since the last wait).
    std::vector<Written> wait();

  private:
    struct Job {
        BoxFileIdentity expected;
        bool expect_none = true;
        std::filesystem::path path;
        int32_t sort_column = -1, sort_order = -1;
        Written report;
    };
    void copy_and_start(const std::filesystem::path& folder, const std::vector<Box>& boxes,
                        std::function<void()> ended);
    void write_all(const std::filesystem::path& folder, std::function<void()> ended);
    void write_one(Job& job, std::vector<SmsMessage>& messages);

    std::array<std::vector<SmsMessage>, 3> copies_;  // by box kind, capacity kept
    std::vector<Job> jobs_;                          // the saving thread's until wait()
    std::thread thread_;
};

}  // namespace quillet
