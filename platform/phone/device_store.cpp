#include "platform/phone/device_store.h"

#include <sys/stat.h>

#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/phone/phone_image.h"

namespace quillet::phone {
namespace {

// Which file a connection was opened on: a replaced image is a new file
// under the same name. The held connection keeps its file open, so no new
// file can be given the same inode while it is held.
struct FileIdentity {
    std::filesystem::path image;
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> identity_of(const std::filesystem::path& image) {
    struct stat st {};
    if (::stat(database_path(image).c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{image, st.st_dev, st.st_ino};
}

// The image this process last found replaced, and whose stale log it
// removed: a second thread that finds the same replacement leaves the new
// image's log alone.
std::mutex g_settled_mutex;
std::optional<FileIdentity> g_settled;

// Removes the log and index that the replaced image leaves beside the new
// one, so that the new image is never read through the old one's pages.
// Connections still open on the old image keep theirs (open files outlive
// their names), and never remove a log by name (PhoneDb keeps logs).
void drop_stale_log(const FileIdentity& replacement) {
    std::lock_guard guard(g_settled_mutex);
    if (g_settled == replacement)
        return;
    g_settled = replacement;
    const std::string db = database_path(replacement.image).string();
    ::unlink((db + "-wal").c_str());
    ::unlink((db + "-shm").c_str());
}

struct HeldStore {
    FileIdentity identity;
    std::shared_ptr<PhoneStore> store;
};

// A connection is used by one thread at a time: each thread holds its own.
thread_local std::optional<HeldStore> t_held;

}  // namespace

std::shared_ptr<PhoneStore> device_store() {
    const std::filesystem::path image = device_image();
    const auto identity = identity_of(image);
    const bool same_file = t_held && identity && t_held->identity == *identity;
    if (same_file) {
        if (t_held->store.use_count() == 1)
            return t_held->store;
        // Another session still uses the held connection: this one gets its
        // own, as every session did before.
        return std::make_shared<PhoneStore>(image);
    }
    const bool replaced = t_held && identity && t_held->identity.image == image;
    t_held.reset();  // closed before anything of the new image is opened
    if (replaced)
        drop_stale_log(*identity);
    // A missing image throws here, as opening it always did.
    auto store = std::make_shared<PhoneStore>(image);
    // Held only when the file did not change while it was being opened.
    if (identity && identity_of(image) == identity)
        t_held = HeldStore{*identity, store};
    return store;
}

}  // namespace quillet::phone
