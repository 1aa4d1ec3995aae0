// Reads an sms-ie export (a ZIP: messages.ndjson, one JSON object per line,
// and data/ with the MMS parts' files; doc/import_formats.md). Entries whose
// size is not sane (a compression ratio over 100, or more than the bounds
// below) are refused; entries are only ever read, and attachments go
// through the AttachmentSink, so no entry name reaches the disk.
#pragma once

#include <zip.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "desktop/formats/import_source.h"

namespace quillet {

constexpr uint64_t kMaxZipRatio = 100;
constexpr uint64_t kMaxZipEntryBytes = 4ull << 30;

// Opens a ZIP file for reading (a regular file only, never blocking);
// nullptr with the reason in `why` otherwise. zip_discard closes it.
zip_t* open_zip(const std::filesystem::path& path, Outcome& why);

// Why entry `index` must not be read (its size unknown, over 4 GB, or a
// compression ratio over 100), or nothing; `size` receives its size.
std::optional<std::string> zip_entry_refused(zip_t* archive, zip_uint64_t index, uint64_t& size);

// Reads entry `index` in pieces handed to `piece` (false stops), never
// more than the `size` it declared; false when it could not be read whole
// or `piece` stopped.
bool read_zip_entry(zip_t* archive, zip_uint64_t index, uint64_t size,
                    const std::function<bool(std::string_view)>& piece);

ReadReport read_smsie_zip(const std::filesystem::path& path, ImportSink& sink,
                          AttachmentSink& attachments);

}  // namespace quillet
