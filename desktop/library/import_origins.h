// Where an imported message came from, for the message view: the import
// that added it (its file, format and time) and the attachment files its
// text names. Found from the message itself (time, number, text), as the
// imports' records list what each added (import_record.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "desktop/library/import_record.h"

namespace quillet {

struct MessageOrigin {
    std::string file;                   // as the import record names it
    std::string format;                 // "Android backup", "Gammu backup", ...
    int64_t time = 0;                   // seconds since 1970, when the import ran
    std::filesystem::path attachments;  // the import's attachment folder
};

class ImportOrigins {
  public:
    explicit ImportOrigins(std::filesystem::path data_folder);

    // The records are read again at the next lookup: after an import or
    // an undo.
    void invalidate() { loaded_ = false; }
    // The finished import that added `message` (also when the phone has
    // taken it over since, or an undo kept it for that); none for a message
    // no import added.
    std::optional<MessageOrigin> origin_of(const SmsMessage& message);

  private:
    void load();

    ImportFolder imports_;
    bool loaded_ = false;
    std::vector<MessageOrigin> origins_;
    // Key of (time, number, text) to its place in origins_, sorted: a few
    // bytes a message, however many were imported.
    std::vector<std::pair<uint64_t, uint32_t>> keys_;
};

// What an archive carries of the imports: every attachment file the
// imports keep (a finished import's, and those an undo kept for the
// messages the phone holds), as "attachments/<id>/<name>" beside the file
// where it is, and imports.txt: one line per import, tab-separated: its
// number, when it ran (UTC), the file, its kind, messages added, already
// kept, possible duplicates, attachments, and "undone" where it was.
struct ImportedFiles {
    std::vector<std::pair<std::string, std::filesystem::path>> attachments;
    std::string listing;
};
ImportedFiles imported_files(const std::filesystem::path& data_folder);

// The attachments that `text` names on its "[kind: name]" lines and that
// are files in `folder`: each line's name and the file's path, in order.
std::vector<std::pair<std::u16string, std::filesystem::path>> named_attachments(
    std::u16string_view text, const std::filesystem::path& folder);

}  // namespace quillet
