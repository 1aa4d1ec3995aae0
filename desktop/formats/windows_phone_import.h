// Reads a Windows Phone message backup (.msg: XML, <ArrayOfMessage> of
// <Message>; doc/import_formats.md) through the hardened XML path of the
// Android reader (filtered_xml.h): no entities, no DTD, values bounded.
// Times are "local" FILETIME ticks: handed on as zoneless.
#pragma once

#include <filesystem>

#include "desktop/formats/import_source.h"

namespace quillet {

ReadReport read_windows_phone_backup(const std::filesystem::path& path, ImportSink& sink,
                                     AttachmentSink& attachments);

}  // namespace quillet
