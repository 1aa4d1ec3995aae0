// Reads the mails SMS Backup+ wrote for an Android phone's texts
// (doc/import_formats.md): a Takeout .mbox, one .eml file, or a Maildir
// folder. Mails are chosen by X-smssync-datatype (SMS, MMS; call logs and
// everything else skipped and counted); an MMS's parts are decoded as they
// stream by, its pictures going straight to the AttachmentSink. One line
// is held at a time, at most kMaxMailLineBytes; one mail's header and text
// at most kMaxMailTextBytes each: the file's size does not matter.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "desktop/formats/import_source.h"

namespace quillet {

constexpr size_t kMaxMailLineBytes = 1u << 20;
constexpr size_t kMaxMailTextBytes = 8u << 20;

// Whether the start of a file is an mbox (its first line "From "), or a
// single mail whose header names an X-smssync- field.
bool looks_like_smssync_mail(std::string_view head);

// Whether `folder` is a Maildir (it holds cur/ and new/).
bool is_maildir(const std::filesystem::path& folder);

// Reads an mbox, a single mail or a Maildir folder (its cur/ and new/,
// each in name order).
ReadReport read_smssync_mail(const std::filesystem::path& path, ImportSink& sink,
                             AttachmentSink& attachments);

}  // namespace quillet
