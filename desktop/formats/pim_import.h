// Reads a Windows Mobile PIM Backup file (.pib: a ZIP whose msgs_*.csm
// entries hold one message per line, UTF-16, ";"-separated, quoted with
// backslash escapes; doc/import_formats.md). The text messages of the
// Inbox and Sent Items are handed on with their zoneless times; e-mails
// and the texts of other folders are skipped and counted. Entries are read
// in pieces with the ZIP bounds of the sms-ie reader, and one line is held
// at a time, at most kMaxPimLineUnits long.
#pragma once

#include <cstddef>
#include <filesystem>

#include "desktop/formats/import_source.h"

namespace quillet {

constexpr size_t kMaxPimLineUnits = 1u << 20;

// Whether `path` is a ZIP holding a msgs_*.csm entry.
bool is_pim_backup(const std::filesystem::path& path);

ReadReport read_pim_backup(const std::filesystem::path& path, ImportSink& sink);

}  // namespace quillet
