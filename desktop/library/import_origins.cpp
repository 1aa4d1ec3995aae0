#include "desktop/library/import_origins.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>

#include "protocol/text_codec.h"

namespace quillet {
namespace fs = std::filesystem;
namespace {

uint64_t key_of(FileTime time, std::string_view number, uint64_t text_hash) {
    uint64_t h = text_hash ^ (time * 0x9E3779B97F4A7C15ULL);
    for (const char c : number)
        h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    return h;
}

}  // namespace

ImportOrigins::ImportOrigins(fs::path data_folder) : imports_(std::move(data_folder)) {}

void ImportOrigins::load() {
    origins_.clear();
    keys_.clear();
    for (const ImportRecord& r : imports_.records()) {
        if (r.state == ImportRecord::State::Pending || r.added == 0)
            continue;
        // After an undo, only what it kept (the phone holds it now) is the
        // import's still.
        const std::vector<AddedMessage> messages =
            r.state == ImportRecord::State::Done ? imports_.added(r.id) : imports_.kept(r.id);
        if (messages.empty())
            continue;
        const auto at = static_cast<uint32_t>(origins_.size());
        origins_.push_back({r.file, r.format, r.time, imports_.attachments(r.id)});
        for (const AddedMessage& a : messages)
            keys_.emplace_back(key_of(a.time, a.number, a.text_hash), at);
    }
    std::sort(keys_.begin(), keys_.end());
    loaded_ = true;
}

std::optional<MessageOrigin> ImportOrigins::origin_of(const SmsMessage& message) {
    // A message the phone took over keeps its time, number and text: it is
    // still the one the import added, with its attachments.
    if (!loaded_)
        load();
    const uint64_t key = key_of(message.time(), message.number(), text_hash(message.text_view()));
    const auto found = std::lower_bound(keys_.begin(), keys_.end(), std::pair(key, uint32_t{0}));
    if (found == keys_.end() || found->first != key)
        return std::nullopt;
    return origins_[found->second];
}

ImportedFiles imported_files(const fs::path& data_folder) {
    ImportedFiles out;
    const ImportFolder imports(data_folder);
    for (const ImportRecord& r : imports.records()) {
        if (r.state == ImportRecord::State::Pending)
            continue;
        const auto when = static_cast<time_t>(r.time);
        std::tm utc{};
        char time_text[32] = "";
        if (::gmtime_r(&when, &utc) != nullptr)
            std::strftime(time_text, sizeof time_text, "%Y-%m-%dT%H:%M:%SZ", &utc);
        std::string file = r.file;
        std::replace_if(
            file.begin(), file.end(), [](char c) { return c == '\t' || c == '\n'; }, ' ');
        out.listing += std::to_string(r.id) + '\t' + time_text + '\t' + file + '\t' + r.format +
                       '\t' + std::to_string(r.added) + '\t' + std::to_string(r.duplicates) + '\t' +
                       std::to_string(r.possible_duplicates) + '\t' +
                       std::to_string(r.attachments) +
                       (r.state == ImportRecord::State::Done ? "" : "\tundone") + '\n';
        std::vector<fs::path> files;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(imports.attachments(r.id), ec)) {
            struct stat st {};
            if (::lstat(entry.path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
                files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file_path : files)
            out.attachments.emplace_back(
                "attachments/" + std::to_string(r.id) + "/" + file_path.filename().string(),
                file_path);
    }
    return out;
}

std::vector<std::pair<std::u16string, fs::path>> named_attachments(std::u16string_view text,
                                                                   const fs::path& folder) {
    std::vector<std::pair<std::u16string, fs::path>> out;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find(u'\n', start), text.size());
        const std::u16string_view line = text.substr(start, end - start);
        start = end + 1;
        const size_t colon = line.find(u": ");
        if (!line.starts_with(u'[') || !line.ends_with(u']') || colon == std::u16string_view::npos)
            continue;
        const std::u16string name(line.substr(colon + 2, line.size() - colon - 3));
        // A name with a path in it is none of the import's files.
        if (name.empty() || name.find(u'/') != std::u16string::npos || name == u"." ||
            name == u"..")
            continue;
        const fs::path file = folder / to_utf8(name);
        struct stat st {};
        if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            out.emplace_back(name, file);
    }
    return out;
}

}  // namespace quillet
