// Reads a Gammu SMS backup (.smsbackup, an INI file; doc/import_formats.md)
// one section at a time, in order: UTF-8/ASCII or UCS-2 with a BOM. The
// parts of a long message are joined by their concatenation header; times
// without a zone are handed on as zoneless.
#pragma once

#include <filesystem>

#include "desktop/formats/import_source.h"

namespace quillet {

ReadReport read_gammu_backup(const std::filesystem::path& path, ImportSink& sink);

}  // namespace quillet
