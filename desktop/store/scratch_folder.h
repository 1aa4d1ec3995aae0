// A folder of this process's own for work in progress: made with mkdtemp, so
// its name cannot be guessed or taken beforehand and nobody else may enter
// it (mode 0700), and removed with what is in it when the object ends,
// unless it was kept.
//
// The removal works through the folder held open since it was made, never
// through its name: should the name come to mean something else meanwhile
// (a link to another folder, planted after a rename), nothing outside the
// folder this process made is touched.
#pragma once

#include <filesystem>
#include <optional>

#include "desktop/store/unique_fd.h"

namespace quillet {

class ScratchFolder {
  public:
    // A new folder named `prefix` followed by six random characters;
    // "quillet-" in the temporary folder by default. None when it could not
    // be made (errno says why).
    static std::optional<ScratchFolder> make(const std::filesystem::path& prefix = {});

    ~ScratchFolder();
    ScratchFolder(ScratchFolder&&) noexcept = default;
    ScratchFolder& operator=(ScratchFolder&&) = delete;
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder held open.
    int fd() const { return fd_.get(); }
    // Leaves the folder and its contents in place (such as after renaming
    // it to its final name).
    void keep() { kept_ = true; }

  private:
    ScratchFolder(std::filesystem::path path, UniqueFd fd)
        : path_(std::move(path)), fd_(std::move(fd)) {}

    std::filesystem::path path_;
    UniqueFd fd_;
    bool kept_ = false;
};

}  // namespace quillet
