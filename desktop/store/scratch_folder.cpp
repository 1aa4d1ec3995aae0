#include "scratch_folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <string>
#include <vector>

namespace quillet {
namespace fs = std::filesystem;
namespace {

constexpr int kDeepest = 64;  // the exports nest two levels; anything deeper was not made here

// Removes everything inside the folder open as `folder`, without following
// a link: a link is removed itself.
void remove_contents(int folder, int depth) {
    if (depth > kDeepest)
        return;
    // The listing reads through a duplicate, which closedir closes.
    const int copy = ::dup(folder);
    DIR* dir = copy < 0 ? nullptr : ::fdopendir(copy);
    if (dir == nullptr) {
        if (copy >= 0)
            ::close(copy);
        return;
    }
    std::vector<std::string> names;
    ::rewinddir(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            const UniqueFd inner(
                ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (inner.valid())
                remove_contents(inner.get(), depth + 1);
            ::unlinkat(folder, name.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(folder, name.c_str(), 0);
        }
    }
}

}  // namespace

std::optional<ScratchFolder> ScratchFolder::make(const fs::path& prefix) {
    std::string pattern;
    if (prefix.empty()) {
        std::error_code ec;
        pattern = (fs::temp_directory_path(ec) / "quillet-").string();
    } else {
        pattern = prefix.string();
    }
    pattern += "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        return std::nullopt;
    UniqueFd fd(::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        ::rmdir(pattern.c_str());
        return std::nullopt;
    }
    return ScratchFolder(fs::path(pattern), std::move(fd));
}

ScratchFolder::~ScratchFolder() {
    if (kept_ || !fd_.valid())
        return;
    remove_contents(fd_.get(), 0);
    // Only an empty folder goes, so whatever the name means by now, rmdir
    // cannot take anything with it.
    ::rmdir(path_.c_str());
}

}  // namespace quillet
