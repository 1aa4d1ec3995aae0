#include "desktop/library/sync_copies.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace quillet {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool is_conflict_copy(const std::string& name) {
    const std::string folded = lower(name);
    if (!folded.ends_with(".sms") || folded.find("conflict") == std::string::npos)
        return false;
    for (const std::string_view box : {"inbox1", "sent1", "deleted1"}) {
        if (folded.starts_with(box) && folded.size() > box.size() + 4)
            return true;
    }
    return false;
}

SyncService marks_in(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder / ".stfolder", ec))
        return SyncService::Syncthing;
    if (fs::exists(folder / ".dropbox", ec) || fs::is_directory(folder / ".dropbox.cache", ec))
        return SyncService::Dropbox;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        const bool journal =
            (name.starts_with(".sync_") || name.starts_with("._sync_")) && name.ends_with(".db");
        if (journal || name == ".owncloudsync.log")
            return SyncService::Nextcloud;
    }
    return SyncService::None;
}

}  // namespace

std::vector<fs::path> box_conflict_copies(const fs::path& folder) {
    std::vector<fs::path> copies;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::error_code type_ec;
        if (entry.is_regular_file(type_ec) && is_conflict_copy(entry.path().filename().string()))
            copies.push_back(entry.path());
    }
    std::sort(copies.begin(), copies.end());
    return copies;
}

std::vector<fs::path> not_imported(const std::vector<fs::path>& copies,
                                   const ImportFolder& imports) {
    const std::vector<ImportRecord> records = imports.records();
    std::vector<fs::path> left;
    for (const fs::path& copy : copies) {
        std::error_code ec;
        const std::string file = fs::absolute(copy, ec).string();
        const bool read = std::any_of(records.begin(), records.end(),
                                      [&](const ImportRecord& r) { return r.file == file; });
        if (!read)
            left.push_back(copy);
    }
    return left;
}

SyncService sync_service_of(const fs::path& folder) {
    std::error_code ec;
    fs::path at = fs::absolute(folder, ec).lexically_normal();
    for (;;) {
        if (const SyncService found = marks_in(at); found != SyncService::None)
            return found;
        if (!at.has_relative_path() || at.parent_path() == at)
            return SyncService::None;
        at = at.parent_path();
    }
}

std::string_view sync_service_name(SyncService service) {
    switch (service) {
        case SyncService::Syncthing:
            return "Syncthing";
        case SyncService::Nextcloud:
            return "Nextcloud or ownCloud";
        case SyncService::Dropbox:
            return "Dropbox";
        case SyncService::None:
            break;
    }
    return {};
}

}  // namespace quillet
