// Reads an iPhone backup folder (iTunes, Finder, idevicebackup2; iOS 10
// and later, unencrypted; doc/import_formats.md): the files are looked up
// in Manifest.db by domain and path, messages come from sms.db, names from
// the address book. The databases are opened read-only and immutable, so
// the backup is never changed; every column is read by name, so the
// schemas of all iOS versions since 10 import.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/formats/import_source.h"

namespace quillet {

// Whether `folder` looks like an iPhone backup at all (it holds a
// Manifest.db, Manifest.plist, Manifest.mbdb or Info.plist): then the
// reader is asked, and says plainly why it is refused when it is.
bool looks_like_iphone_backup(const std::filesystem::path& folder);

// Reads the messages into `sink`, their attachments into `attachments`,
// and the address book's people with numbers into `contacts`. An
// encrypted backup, one older than iOS 10 or a folder that is not a
// backup gives BadInput with a sentence saying which and what to do.
ReadReport read_iphone_backup(const std::filesystem::path& folder, ImportSink& sink,
                              AttachmentSink& attachments, std::vector<ImportedContact>& contacts);

namespace import {

// The text of an NSAttributedString archived as a typedstream (sms.db's
// attributedBody): the string's bytes as the archive gives their length.
// Nothing when the bytes are not such an archive or are cut short.
std::optional<std::string> typedstream_text(std::string_view archive);

// Whether a property list (XML or binary "bplist00") holds the key
// `IsEncrypted` set to true at its top level. Nothing when it is neither
// form, or damaged.
std::optional<bool> plist_says_encrypted(std::string_view plist);

}  // namespace import
}  // namespace quillet
