// Reads an Android backup XML (doc/import_formats.md): <sms> and <mms>
// elements of any depth below <smses> or <allsms>, as a stream, whatever
// the file's size. libxml2's streaming reader sees the file through an
// XmlInputFilter (repaired references and UTF-8, attachments spooled,
// entity declarations refused); it never reaches the network, never loads
// a DTD and never expands an entity.
#pragma once

#include <filesystem>

#include "desktop/formats/import_source.h"

namespace quillet {

ReadReport read_android_backup(const std::filesystem::path& path, ImportSink& sink,
                               AttachmentSink& attachments);

}  // namespace quillet
